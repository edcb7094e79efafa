// The simulated network's state file: UTF-8 text, one "key=value" a line,
// lists as repeated keys, order kept. Unknown keys and comments survive a
// rewrite, so the tests and the echo server can keep their own keys in it.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

class StateFile {
 public:
  // Missing or unreadable file: an empty state.
  static StateFile Load(const std::wstring& path);
  // Writes a temporary file beside the target and moves it over the target,
  // so a reader never sees half a file.
  bool Save(const std::wstring& path) const;

  std::string Get(std::string_view key, std::string_view fallback = {}) const;
  long long GetInt(std::string_view key, long long fallback) const;
  std::vector<std::string> GetAll(std::string_view key) const;
  bool Has(std::string_view key) const;

  // Replaces the first line of the key, or appends one.
  void Set(std::string_view key, std::string_view value);
  void RemoveAll(std::string_view key);
  // Removes the first line of the key; false when there is none.
  bool PopFirst(std::string_view key, std::string* value);
  void Append(std::string_view key, std::string_view value);

 private:
  // A line that is not "key=value" (comment, blank) has an empty key and is kept as text.
  std::vector<std::pair<std::string, std::string>> lines_;
};

// Splits a value at tabs.
std::vector<std::string> SplitTabs(std::string_view value);
std::string JoinTabs(const std::vector<std::string>& fields);

}  // namespace sim
