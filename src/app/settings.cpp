#include "app/settings.h"

#include "platform/main_window.h"
#include "platform/profile_store.h"
#include "text/gbk_text.h"

namespace pelnor {

namespace {

constexpr char kSection[] = "宽带信息";
constexpr char kIndexKey[] = "连接索引";
constexpr char kAccountKey[] = "ADSL账号";
constexpr char kPasswordKey[] = "ADSL密码";
constexpr std::uint32_t kValueRoom = 10240;

}  // namespace

Settings::Settings(ProfileStore& profile, MainWindow& window) : profile_(profile), window_(window) {
  // A trail byte of a two-byte character can be 0x5C: find the real last backslash.
  const std::string path = profile_.ModuleFileName();
  const std::size_t cut = FindLastByte(path, '\\');
  program_directory_ = cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string Settings::SettingsFilePath() const {
  // Without a directory the file is looked up where the system would, not at the drive's root.
  return program_directory_.empty() ? "Config.ini" : program_directory_ + "\\Config.ini";
}

void Settings::SaveSettings() {
  profile_.Write(SettingsFilePath(), kSection, kIndexKey,
                 IntToText(window_.Selection(Control::组合框_宽带连接)));
  profile_.Write(SettingsFilePath(), kSection, kAccountKey, window_.Text(Control::编辑框_宽带账号));
  profile_.Write(SettingsFilePath(), kSection, kPasswordKey, window_.Text(Control::编辑框_宽带密码));
}

void Settings::LoadSettings() {
  const std::string index = profile_.Read(SettingsFilePath(), kSection, kIndexKey, kValueRoom);
  const std::string account = profile_.Read(SettingsFilePath(), kSection, kAccountKey, kValueRoom);
  const std::string password = profile_.Read(SettingsFilePath(), kSection, kPasswordKey, kValueRoom);
  if (index.empty() || account.empty() || password.empty()) {
    window_.SetSelection(Control::组合框_宽带连接, 0);
    return;
  }
  window_.SetSelection(Control::组合框_宽带连接, TextToInt(index));
  window_.SetText(Control::编辑框_宽带账号, account);
  window_.SetText(Control::编辑框_宽带密码, password);
}

}  // namespace pelnor
