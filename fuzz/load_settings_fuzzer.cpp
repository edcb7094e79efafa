// LoadSettings over arbitrary Config.ini contents and phone books of 0 to 4
// entries: all three values or none reach the window, and the selection stays
// within the list.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "app/settings.h"
#include "fakes/fake_main_window.h"
#include "fakes/fake_profile_store.h"
#include "fuzz_support.h"

namespace {

using pelnor::Control;

constexpr char kPath[] = "C:\\Pelnor\\Config.ini";
constexpr std::string_view kBlanks = " \t\r\v\f";

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return lower;
}

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Config.ini read the way GetPrivateProfileStringA reads it, closely enough:
// "[name]" lines open sections, "key=value" lines are trimmed of blanks, names
// match without regard to case, the first section and key of a name count, a
// value in matching quotes loses them and ends at a zero byte, and a value
// keeps at most room - 1 bytes (the fake's own rule).
class IniFileStore : public pelnor::FakeProfileStore {
 public:
  explicit IniFileStore(std::string_view file) {
    std::set<std::string> seen_sections;
    std::map<std::string, std::string>* section = &files[kPath][""];
    bool skipping = false;  // a section already seen: its keys are never found
    while (!file.empty()) {
      const std::size_t end = std::min(file.find('\n'), file.size());
      const std::string_view line = Trim(file.substr(0, end));
      file.remove_prefix(std::min(end + 1, file.size()));
      const std::size_t close = pelnor::FindLastByte(line, ']');
      if (line.starts_with('[') && close != std::string_view::npos) {
        const std::string name = Lower(line.substr(1, close - 1));
        skipping = !seen_sections.insert(name).second;
        section = &files[kPath][name];
        continue;
      }
      const std::size_t equals = line.find('=');
      if (skipping || equals == std::string_view::npos) continue;
      std::string_view value = Trim(line.substr(equals + 1));
      value = value.substr(0, value.find('\0'));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      section->try_emplace(Lower(Trim(line.substr(0, equals))), value);
    }
  }
  std::string Read(const std::string& path, const std::string& section, const std::string& key,
                   std::uint32_t room) override {
    return FakeProfileStore::Read(path, Lower(section), Lower(key), room);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int entries = data[0] % 5;
  IniFileStore store(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  pelnor::FakeMainWindow window;
  for (int i = 0; i < entries; ++i)
    window.AddItem(Control::组合框_宽带连接, "宽带连接" + std::to_string(i));
  window.SetText(Control::编辑框_宽带账号, "原账号");
  window.SetText(Control::编辑框_宽带密码, "原密码");

  pelnor::Settings settings(store, window);
  FUZZ_CHECK(settings.SettingsFilePath() == kPath);
  settings.LoadSettings();

  const std::string index = store.Read(kPath, "宽带信息", "连接索引", 10240);
  const std::string account = store.Read(kPath, "宽带信息", "ADSL账号", 10240);
  const std::string password = store.Read(kPath, "宽带信息", "ADSL密码", 10240);
  const bool all_three = !index.empty() && !account.empty() && !password.empty();
  FUZZ_CHECK(window.Text(Control::编辑框_宽带账号) == (all_three ? account : "原账号"));
  FUZZ_CHECK(window.Text(Control::编辑框_宽带密码) == (all_three ? password : "原密码"));

  const int selection = window.Selection(Control::组合框_宽带连接);
  FUZZ_CHECK(selection >= -1 && selection <= entries - 1);
  if (!all_three) FUZZ_CHECK(selection == (entries > 0 ? 0 : -1));
  if (all_three) FUZZ_CHECK(selection == pelnor::ClampSelection(pelnor::TextToInt(index), entries));
  return 0;
}
