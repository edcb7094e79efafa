// Private-profile files in memory: path -> section -> key -> value, with the
// writes in order, a program path, and files that refuse writes.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/profile_store.h"

namespace pelnor {

class FakeProfileStore : public ProfileStore {
 public:
  std::string Read(const std::string& path, const std::string& section, const std::string& key,
                   std::uint32_t room) override {
    reads.push_back(key);
    const std::string& value = files[path][section][key];
    return room == 0 ? std::string() : value.substr(0, room - 1);
  }
  bool Write(const std::string& path, const std::string& section, const std::string& key,
             const std::string& value) override {
    if (read_only.count(path)) return false;
    writes.push_back(path + "|" + section + "|" + key + "=" + value);
    files[path][section][key] = value;
    return true;
  }
  std::string ModuleFileName() override { return module_file_name; }

  std::string module_file_name = "C:\\Pelnor\\Pelnor.exe";
  std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> files;
  std::set<std::string> read_only;
  std::vector<std::string> reads;
  std::vector<std::string> writes;
};

}  // namespace pelnor
