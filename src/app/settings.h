// Config.ini beside the program: the selected phone-book entry, the account and
// the password, saved on request and restored once at start.
#pragma once

#include <string>

namespace pelnor {

class MainWindow;
class ProfileStore;

class Settings {
 public:
  // Fixes the program's directory from its own path.
  Settings(ProfileStore& profile, MainWindow& window);

  std::string SettingsFilePath() const;
  void SaveSettings();
  void LoadSettings();

 private:
  ProfileStore& profile_;
  MainWindow& window_;
  std::string program_directory_;
};

}  // namespace pelnor
