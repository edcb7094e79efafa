#include "app/settings.h"

#include <gtest/gtest.h>

#include "fakes/fake_main_window.h"
#include "fakes/fake_profile_store.h"

namespace pelnor {
namespace {

constexpr char kSection[] = "宽带信息";

struct PathCase {
  const char* module;
  const char* settings;
};

TEST(SettingsFilePath, CutsAtTheLastRealBackslash) {
  const PathCase cases[] = {
      {"D:\\Tools\\Dialer\\Pelnor.exe", "D:\\Tools\\Dialer\\Config.ini"},
      {"C:\\Pelnor.exe", "C:\\Config.ini"},
      // 淺 is 0x9C 0x5C: its trail byte is not a path separator
      {"C:\\工具\\淺拨号.exe", "C:\\工具\\Config.ini"},
      {"C:\\下载淺\\Pelnor.exe", "C:\\下载淺\\Config.ini"},
      {"Pelnor.exe", "Config.ini"},
  };
  for (const auto& c : cases) {
    FakeProfileStore profile;
    FakeMainWindow window;
    profile.module_file_name = c.module;
    EXPECT_EQ(Settings(profile, window).SettingsFilePath(), c.settings) << c.module;
  }
}

class SettingsTest : public testing::Test {
 protected:
  SettingsTest() {
    window_.items[Control::组合框_宽带连接] = {"宽带连接", "ADSL", "备用"};
  }
  std::map<std::string, std::string>& Stored() { return profile_.files[kPath][kSection]; }

  static constexpr char kPath[] = "C:\\Pelnor\\Config.ini";  // beside the fake's program
  FakeProfileStore profile_;
  FakeMainWindow window_;
  Settings settings_{profile_, window_};
};

TEST_F(SettingsTest, SaveWritesTheThreeKeysInOrder) {
  window_.selections[Control::组合框_宽带连接] = 1;
  window_.texts[Control::编辑框_宽带账号] = "user@isp";
  window_.texts[Control::编辑框_宽带密码] = "密码 1";
  settings_.SaveSettings();
  EXPECT_EQ(profile_.writes, (std::vector<std::string>{
                                 std::string(kPath) + "|宽带信息|连接索引=1",
                                 std::string(kPath) + "|宽带信息|ADSL账号=user@isp",
                                 std::string(kPath) + "|宽带信息|ADSL密码=密码 1",
                             }));
}

TEST_F(SettingsTest, SaveWritesNoSelectionAndEmptyValues) {
  settings_.SaveSettings();
  EXPECT_EQ(Stored()["连接索引"], "-1");
  EXPECT_EQ(Stored().count("ADSL账号"), 1u);
  EXPECT_EQ(Stored()["ADSL账号"], "");
  EXPECT_EQ(Stored()["ADSL密码"], "");
}

TEST_F(SettingsTest, LoadWithoutFileSelectsFirstEntryAndKeepsTheBoxes) {
  window_.texts[Control::编辑框_宽带账号] = "typed";
  settings_.LoadSettings();
  EXPECT_EQ(window_.Selection(Control::组合框_宽带连接), 0);
  EXPECT_EQ(window_.texts[Control::编辑框_宽带账号], "typed");
  EXPECT_EQ(window_.texts[Control::编辑框_宽带密码], "");
  EXPECT_EQ(profile_.reads, (std::vector<std::string>{"连接索引", "ADSL账号", "ADSL密码"}));
}

struct LoadCase {
  const char* index;
  const char* account;
  const char* password;
  int selection;
  bool boxes_filled;
};

TEST_F(SettingsTest, LoadAppliesAllThreeOrOnlyTheFirstEntry) {
  const LoadCase cases[] = {
      {"1", "user", "pass", 1, true},
      {"1", "user", "", 0, false},  // an empty password restores neither box
      {"", "user", "pass", 0, false},
      {"-1", "user", "pass", -1, true},
      {"5", "user", "pass", 2, true},  // beyond the list: the last entry
      {" 2", "user", "pass", 2, true},
      {"2x", "user", "pass", 2, true},
      {"abc", "user", "pass", 0, true},
      {"-3", "user", "pass", -1, true},
      {"２", "user", "pass", 2, true},
  };
  for (const auto& c : cases) {
    FakeMainWindow window;
    window.items[Control::组合框_宽带连接] = {"a", "b", "c"};
    window.texts[Control::编辑框_宽带账号] = "before";
    Settings settings(profile_, window);
    Stored() = {{"连接索引", c.index}, {"ADSL账号", c.account}, {"ADSL密码", c.password}};
    settings.LoadSettings();
    SCOPED_TRACE(std::string("index '") + c.index + "' account '" + c.account + "' password '" +
                 c.password + "'");
    EXPECT_EQ(window.Selection(Control::组合框_宽带连接), c.selection);
    EXPECT_EQ(window.texts[Control::编辑框_宽带账号], c.boxes_filled ? c.account : "before");
    EXPECT_EQ(window.texts[Control::编辑框_宽带密码], c.boxes_filled ? c.password : "");
  }
}

TEST_F(SettingsTest, LoadWithAnEmptyListSelectsNothing) {
  window_.items.clear();
  Stored() = {{"连接索引", "1"}, {"ADSL账号", "u"}, {"ADSL密码", "p"}};
  settings_.LoadSettings();
  EXPECT_EQ(window_.Selection(Control::组合框_宽带连接), -1);
  EXPECT_EQ(window_.texts[Control::编辑框_宽带账号], "u");
}

TEST_F(SettingsTest, LoadKeepsAtMostTheFirst10239BytesOfAValue) {
  Stored() = {{"连接索引", "0"}, {"ADSL账号", std::string(20000, 'a')}, {"ADSL密码", "p"}};
  settings_.LoadSettings();
  EXPECT_EQ(window_.texts[Control::编辑框_宽带账号].size(), 10239u);
}

TEST_F(SettingsTest, SaveToAReadOnlyFileChangesNothing) {
  profile_.read_only.insert(kPath);
  window_.texts[Control::编辑框_宽带账号] = "user";
  settings_.SaveSettings();
  EXPECT_TRUE(profile_.files[kPath].empty());
  EXPECT_EQ(window_.texts[Control::编辑框_宽带账号], "user");
}

}  // namespace
}  // namespace pelnor
