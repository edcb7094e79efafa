#include "app/program.h"

#include <gtest/gtest.h>

#include "fakes/fake_main_window.h"
#include "fakes/fake_message_pump.h"
#include "fakes/fake_network.h"
#include "fakes/fake_notices.h"
#include "fakes/fake_profile_store.h"
#include "fakes/fake_shell.h"
#include "triggers/hotkey_redial.h"

namespace pelnor {
namespace {

class NoHotkeys : public HotkeyApi {
 public:
  bool RegisterHotKey(WindowHandle, std::int32_t, std::uint32_t, std::uint32_t) override {
    return true;
  }
  bool UnregisterHotKey(WindowHandle, std::int32_t) override { return true; }
  void SendWindowMessage(WindowHandle, std::uint32_t, std::uint32_t, std::int32_t) override {}
};

class ProgramTest : public testing::Test {
 protected:
  ProgramTest() {
    net.ras.journal = net.internet.journal = window.journal = boxes.journal = shell.journal =
        &journal;
    net.ras.phone_book = {"宽带连接", "", "备用"};
    net.ras.address_pool = {"10.0.0.7"};
  }
  void Start() { program.OnFormEvent(Control::主窗口, FormEvent::kCreated, 0, 0); }
  int Run(bool window_loads) {
    return program.Run(
        [&] {
          journal.push_back("load window");
          if (window_loads) Start();
          return window_loads;
        },
        [&] { journal.push_back("message loop"); });
  }

  FakeNetwork net;
  FakeMainWindow window;
  FakeMessageBoxes boxes;
  FakeMessagePump pump{net.clock};
  FakeProfileStore profile;
  FakeShell shell;
  NoHotkeys hotkeys;
  FakeProcess process;
  Journal journal;
  Program program{{net.ras, net.internet, net.clock, pump, boxes, profile, window, shell, hotkeys,
                   process},
                  kEchoUrl};
};

TEST_F(ProgramTest, StartsWithADialUpConnectionUp) {
  net.ras.Add({"宽带连接", "1.2.3.4"});
  Start();
  EXPECT_EQ(journal, (Journal{"tray add", "GET /ic.asp", "pane0 当前状态：网络已连接",
                              "GET /ic.asp", "pane1 当前IP：1.2.3.4", "pane2 之前IP：无信息"}));
  EXPECT_TRUE(program.Actions().CurrentAddress().empty());  // only shown
}

TEST_F(ProgramTest, StartsWithoutNetwork) {
  Start();
  EXPECT_EQ(journal, (Journal{"tray add", "GET /ic.asp", "pane0 当前状态：网络未连接",
                              "GET /ic.asp", "pane1 当前IP：", "pane2 之前IP：无信息"}));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ProgramTest, StartsBehindARouterWithTheWarningFirst) {
  net.router_address = "192.0.2.1";
  Start();
  EXPECT_EQ(journal, (Journal{"tray add", "GET /ic.asp",
                              "box 请注意：当前网络环境为路由器上网或无线wifi网络，不支持ADSL拔号！",
                              "pane0 当前状态：网络未连接", "GET /ic.asp",
                              "pane1 当前IP：192.0.2.1", "pane2 之前IP：无信息"}));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].title, "提示");
  EXPECT_EQ(boxes.shown[0].flags, 48u);
}

TEST_F(ProgramTest, StartUpFillsTheListRestoresSettingsAndDisablesTheKeyList) {
  profile.files["C:\\Pelnor\\Config.ini"]["宽带信息"] = {
      {"连接索引", "2"}, {"ADSL账号", "acc"}, {"ADSL密码", "pw"}};
  Start();
  EXPECT_EQ(window.items[Control::组合框_宽带连接], (std::vector<std::string>{"宽带连接", "", "备用"}));
  EXPECT_EQ(window.Selection(Control::组合框_宽带连接), 2);
  EXPECT_EQ(window.texts[Control::编辑框_宽带账号], "acc");
  EXPECT_FALSE(window.IsEnabled(Control::组合框_热键));
  // The tray icon carries the program's icon and tip.
  ASSERT_FALSE(shell.requests.empty());
  EXPECT_EQ(std::string(shell.requests[0].record.szTip), kDefaultTrayTip);
  EXPECT_EQ(shell.icon_images.at(0).size(), 4264u);
}

TEST_F(ProgramTest, EntryRunsInOrderAndEndsWithZeroOnce) {
  EXPECT_EQ(Run(true), 0);
  EXPECT_EQ(shell.registered, std::vector<std::string>{"TaskbarCreated"});
  EXPECT_EQ(journal.front(), "load window");
  EXPECT_EQ(journal.back(), "message loop");
  EXPECT_EQ(process.exit_codes, std::vector<std::uint32_t>{0});
}

TEST_F(ProgramTest, EntryWithoutAWindowEndsAtOnce) {
  EXPECT_EQ(Run(false), 0);
  EXPECT_EQ(journal, Journal{"load window"});
  EXPECT_EQ(process.exit_codes, std::vector<std::uint32_t>{0});
}

TEST_F(ProgramTest, DestroyingTheWindowEndsTheProgramAndCleansUpOnce) {
  program.Run(
      [&] {
        Start();
        return true;
      },
      [&] {
        net.ras.Add({"宽带连接", "1.2.3.4"});
        program.OnFormEvent(Control::托盘菜单_断线, FormEvent::kChosen, 0, 0);
        EXPECT_EQ(program.Actions().PreviousAddress(), "1.2.3.4");
        program.OnFormEvent(Control::托盘菜单_退出, FormEvent::kChosen, 0, 0);
        EXPECT_TRUE(window.destroyed);  // queued; the toolkit carries it out
        program.Tray().WindowProc(window.Handle(Control::主窗口), kWmDestroy, 0, 0);
        EXPECT_EQ(shell.requests.back().message, kNimDelete);
        EXPECT_EQ(shell.restored.size(), 1u);
        EXPECT_TRUE(program.Actions().PreviousAddress().empty());  // released
        EXPECT_EQ(program.Tray().Record().cbSize, 0u);
        EXPECT_EQ(process.exit_codes, std::vector<std::uint32_t>{0});
        // Only the fake process returns from its end: what follows is not cleaned up again.
        net.ras.Add({"宽带连接", "5.6.7.8"});
        program.Actions().HangUp();
      });
  // The entry's own end runs no second clean-up.
  EXPECT_EQ(process.exit_codes, (std::vector<std::uint32_t>{0, 0}));
  EXPECT_FALSE(program.Actions().PreviousAddress().empty());
}

TEST_F(ProgramTest, EventTableRoutesClicksMenuChoicesTicksAndHotkeys) {
  Start();
  program.OnFormEvent(Control::按钮_拔号, FormEvent::kClicked, 0, 0);
  EXPECT_EQ(window.panes[0], "当前状态：拔号完毕");
  program.OnFormEvent(Control::按钮_断线, FormEvent::kClicked, 0, 0);
  EXPECT_EQ(window.panes[0], "当前状态：已断开网络连接");
  program.OnFormEvent(Control::托盘菜单_拔号, FormEvent::kChosen, 0, 0);
  EXPECT_EQ(net.ras.dialled.size(), 2u);
  program.OnFormEvent(Control::托盘菜单_重拔, FormEvent::kChosen, 0, 0);
  EXPECT_EQ(net.ras.dialled.size(), 3u);
  program.OnFormEvent(Control::按钮_重拔, FormEvent::kClicked, 0, 0);
  EXPECT_EQ(net.ras.dialled.size(), 4u);

  window.texts[Control::按钮_定时] = "开始定时";
  program.OnFormEvent(Control::按钮_定时, FormEvent::kClicked, 0, 0);
  EXPECT_EQ(window.timer_period_ms, 1000);
  program.OnFormEvent(Control::时钟1, FormEvent::kTick, 0, 0);
  // No interval typed: a redial on every tick.
  EXPECT_EQ(window.texts[Control::标签_倒计时], "距离下次拔号还有：Waiting...");
  EXPECT_EQ(net.ras.dialled.size(), 5u);

  window.Check(Control::选择框_热键, true);
  window.selections[Control::组合框_热键] = 0;
  program.OnFormEvent(Control::选择框_热键, FormEvent::kClicked, 0, 0);
  EXPECT_EQ(program.Hotkey().RedialHotkeyId(), 33001);
  program.OnFormEvent(Control::标签_热键标签, FormEvent::kFeedback, 33001, 0);
  EXPECT_EQ(net.ras.dialled.size(), 6u);

  program.OnFormEvent(Control::按钮_保存配置, FormEvent::kClicked, 0, 0);
  EXPECT_EQ(profile.writes.size(), 3u);
}

}  // namespace
}  // namespace pelnor
