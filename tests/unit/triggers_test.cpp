#include <gtest/gtest.h>

#include <cstring>

#include "fakes/fake_main_window.h"
#include "fakes/fake_notices.h"
#include "fakes/fake_shell.h"
#include "tray/tray_icon.h"
#include "triggers/hotkey_redial.h"
#include "triggers/timed_redial.h"

namespace pelnor {
namespace {

class TimedRedialTest : public testing::Test {
 protected:
  TimedRedialTest() {
    window_.texts[Control::按钮_定时] = "开始定时";
    window_.texts[Control::编辑框_定时间隔] = "60";
    tray_.InitTrayState();
    tray_.AddTrayIcon(0x10000, std::nullopt, "tip", nullptr);
  }
  std::string Label() { return window_.texts[Control::标签_倒计时]; }
  std::string Tip() { return tray_.Record().szTip; }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) timed_.OnCountdownTick();
  }

  FakeMainWindow window_;
  FakeNotices notices_;
  FakeShell shell_;
  TrayIcon tray_{shell_, window_, [](std::uint32_t) {}};
  std::vector<int> periods_during_redial_;
  std::function<void()> during_redial_;
  TimedRedial timed_{window_, notices_, tray_, [this] {
                       periods_during_redial_.push_back(window_.timer_period_ms);
                       if (during_redial_) during_redial_();
                     }};
};

TEST_F(TimedRedialTest, StartAndStopSwitchCaptionButtonsTimerAndTip) {
  timed_.OnTimedRedialButton();
  EXPECT_EQ(window_.texts[Control::按钮_定时], "停止定时");
  for (Control button : {Control::按钮_拔号, Control::按钮_断线, Control::按钮_重拔}) {
    EXPECT_FALSE(window_.IsEnabled(button));
  }
  EXPECT_EQ(window_.timer_period_ms, 1000);
  EXPECT_EQ(Label(), "");  // the first tick writes it
  ASSERT_EQ(notices_.shown.size(), 1u);
  EXPECT_EQ(notices_.shown[0].text, "已开启定时重拔！");

  Ticks(1);
  EXPECT_EQ(Label(), "距离下次拔号还有：59秒");
  EXPECT_EQ(Tip(), "距离下次拔号还有：59秒");

  timed_.OnTimedRedialButton();
  EXPECT_EQ(window_.texts[Control::按钮_定时], "开始定时");
  EXPECT_EQ(Label(), "");
  EXPECT_EQ(window_.timer_period_ms, 0);
  for (Control button : {Control::按钮_拔号, Control::按钮_断线, Control::按钮_重拔}) {
    EXPECT_TRUE(window_.IsEnabled(button));
  }
  EXPECT_EQ(notices_.shown.back().text, "定时重拔已关闭！");
  EXPECT_EQ(Tip(), kDefaultTrayTip);
}

TEST_F(TimedRedialTest, IntervalOfThreeCountsDownThenRedials) {
  window_.texts[Control::编辑框_定时间隔] = "3";
  timed_.OnTimedRedialButton();
  Ticks(1);
  EXPECT_EQ(Label(), "距离下次拔号还有：2秒");
  Ticks(1);
  EXPECT_EQ(Label(), "距离下次拔号还有：1秒");
  EXPECT_TRUE(periods_during_redial_.empty());
  Ticks(1);
  EXPECT_EQ(Tip(), "距离下次拔号还有：0秒");  // the tip keeps the last count
  EXPECT_EQ(Label(), "距离下次拔号还有：Waiting...");
  EXPECT_EQ(window_.repainted, std::vector<Control>{Control::标签_倒计时});
  EXPECT_EQ(periods_during_redial_, std::vector<int>{0});  // no ticks during the redial
  EXPECT_EQ(window_.timer_period_ms, 1000);
  EXPECT_EQ(timed_.ElapsedSeconds(), 0);
  Ticks(1);
  EXPECT_EQ(Label(), "距离下次拔号还有：2秒");  // from the full interval again
}

TEST_F(TimedRedialTest, StopAndStartContinueTheCount) {
  timed_.OnTimedRedialButton();
  Ticks(40);
  timed_.OnTimedRedialButton();
  timed_.OnTimedRedialButton();
  Ticks(1);
  EXPECT_EQ(Label(), "距离下次拔号还有：19秒");
}

TEST_F(TimedRedialTest, IntervalIsReadAfreshOnEveryTick) {
  const struct {
    const char* interval;
    int ticks_before;
    const char* shown;
    bool redials;
  } cases[] = {
      {"3", 5, "距离下次拔号还有：-3秒", true},  // lowered below the count
      {"", 0, "距离下次拔号还有：-1秒", true},
      {"abc", 0, "距离下次拔号还有：-1秒", true},
      {"1", 0, "距离下次拔号还有：0秒", true},
      {"-5", 0, "距离下次拔号还有：-6秒", true},
      {"３０", 0, "距离下次拔号还有：29秒", false},  // full-width digits
      {"2147483647", 0, "距离下次拔号还有：2147483646秒", false},
  };
  for (const auto& c : cases) {
    FakeMainWindow window;
    window.texts[Control::按钮_定时] = "停止定时";
    window.texts[Control::编辑框_定时间隔] = "100";
    int redials = 0;
    TimedRedial timed(window, notices_, tray_, [&redials] { ++redials; });
    for (int i = 0; i < c.ticks_before; ++i) timed.OnCountdownTick();
    window.texts[Control::编辑框_定时间隔] = c.interval;
    timed.OnCountdownTick();
    SCOPED_TRACE(c.interval);
    EXPECT_EQ(Tip(), c.shown);
    EXPECT_EQ(redials, c.redials ? 1 : 0);
  }
}

TEST_F(TimedRedialTest, RemainderIsComputedWithoutWrapping) {
  window_.texts[Control::编辑框_定时间隔] = "-2147483648";
  Ticks(1);
  EXPECT_EQ(Tip(), "距离下次拔号还有：-2147483649秒");
}

TEST_F(TimedRedialTest, StopClickedDuringTheRedialHolds) {
  window_.texts[Control::编辑框_定时间隔] = "1";
  timed_.OnTimedRedialButton();
  during_redial_ = [this] { timed_.OnTimedRedialButton(); };  // clicked in the pause
  Ticks(1);
  EXPECT_EQ(window_.texts[Control::按钮_定时], "开始定时");
  EXPECT_EQ(window_.timer_period_ms, 0);
  EXPECT_TRUE(window_.IsEnabled(Control::按钮_重拔));
}

class FakeHotkeys : public HotkeyApi {
 public:
  bool RegisterHotKey(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                      std::uint32_t key) override {
    calls.push_back("register " + std::to_string(id) + " key " + std::to_string(key) + " mods " +
                    std::to_string(modifiers) + " on " + std::to_string(window));
    return !refuse;
  }
  bool UnregisterHotKey(WindowHandle, std::int32_t id) override {
    calls.push_back("unregister " + std::to_string(id));
    return true;
  }
  void SendWindowMessage(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                   std::int32_t lparam) override {
    sent.push_back(std::to_string(window) + " " + std::to_string(message) + " " +
                   std::to_string(wparam) + " " + std::to_string(lparam));
  }
  bool refuse = false;
  std::vector<std::string> calls;
  std::vector<std::string> sent;
};

class HotkeyRedialTest : public testing::Test {
 protected:
  HotkeyRedialTest() {
    window_.items[Control::组合框_热键] = {"F1", "F2", "F3", "F4"};
    window_.selections[Control::组合框_热键] = 0;
  }
  void Tick(bool checked) {
    window_.Check(Control::选择框_热键, checked);
    redial_.OnHotkeyCheckBox();
  }
  void Pick(int index) {
    window_.selections[Control::组合框_热键] = index;
    redial_.OnHotkeyKeySelected();
  }

  const std::string main_ = std::to_string(0x10000);
  FakeMainWindow window_;
  FakeHotkeys hotkeys_;
  HotkeyFacility facility_{hotkeys_};
  int redials_ = 0;
  HotkeyRedial redial_{facility_, window_, [this] { ++redials_; }};
};

TEST_F(HotkeyRedialTest, IdentifiersAcrossCheckPickUncheckAndRecheck) {
  Tick(true);
  EXPECT_TRUE(window_.IsEnabled(Control::组合框_热键));
  EXPECT_EQ(redial_.RedialHotkeyId(), 33001);
  Pick(2);
  EXPECT_EQ(redial_.RedialHotkeyId(), 33002);
  Tick(false);
  EXPECT_FALSE(window_.IsEnabled(Control::组合框_热键));
  Tick(true);
  EXPECT_EQ(redial_.RedialHotkeyId(), 33003);
  EXPECT_EQ(hotkeys_.calls, (std::vector<std::string>{
                                "register 33001 key 112 mods 0 on " + main_,
                                "unregister 33001",
                                "register 33002 key 114 mods 0 on " + main_,
                                "unregister 33002",
                                "register 33003 key 114 mods 0 on " + main_,
                            }));
}

TEST_F(HotkeyRedialTest, RefusedKeyLeavesNoIdentifierButUsesOneUp) {
  hotkeys_.refuse = true;
  Tick(true);
  EXPECT_EQ(redial_.RedialHotkeyId(), 0);
  Tick(false);
  hotkeys_.refuse = false;
  Tick(true);
  EXPECT_EQ(redial_.RedialHotkeyId(), 33002);
}

TEST_F(HotkeyRedialTest, NoKeySelectedRegistersNothing) {
  Tick(true);
  Pick(-1);
  EXPECT_EQ(hotkeys_.calls.back(), "unregister 33001");
  EXPECT_EQ(redial_.RedialHotkeyId(), 33001);  // keeps its value
}

TEST_F(HotkeyRedialTest, ForwardsOnlyIdentifiersHandedOut) {
  facility_.ForwardHotkey(33001);  // nothing handed out yet
  Tick(true);
  Pick(1);
  for (std::int32_t id : {33000, 33001, 33002, 33003, 1}) facility_.ForwardHotkey(id);
  const std::string label = std::to_string(0x10000 + static_cast<int>(Control::标签_热键标签));
  EXPECT_EQ(hotkeys_.sent, (std::vector<std::string>{label + " 32885 33001 0",
                                                     label + " 32885 33002 0"}));
}

TEST_F(HotkeyRedialTest, FeedbackRedialsOnlyForTheCurrentKey) {
  Tick(true);
  Pick(1);
  redial_.OnHotkeyFeedback(33001, 0);  // the key given up
  EXPECT_EQ(redials_, 0);
  redial_.OnHotkeyFeedback(33002, 7);
  EXPECT_EQ(redials_, 1);
}

}  // namespace
}  // namespace pelnor
