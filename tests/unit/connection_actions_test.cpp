#include "connection/connection_actions.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "address/external_address.h"
#include "connection/dialup_service.h"
#include "connection/event_pause.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_main_window.h"
#include "fakes/fake_message_pump.h"
#include "fakes/fake_network.h"
#include "fakes/fake_notices.h"

namespace pelnor {
namespace {

// ---- EventPause

class EventPauseTest : public testing::Test {
 protected:
  FakeClock clock;
  FakeMessagePump pump{clock};
  std::vector<std::uint32_t> ran_at;  // ticks since the start at which events ran
  const std::uint32_t start = clock.ticks;
};

TEST_F(EventPauseTest, NothingForZeroOrLess) {
  EventPause(pump, clock, 0);
  EventPause(pump, clock, -5);
  EXPECT_EQ(pump.dispatch_calls, 0);
  EXPECT_EQ(clock.ticks, start);
}

TEST_F(EventPauseTest, WaitsForMessagesUntilJustOverTheTime) {
  EventPause(pump, clock, 1000);
  EXPECT_EQ(clock.ticks - start, 1001u);
  EXPECT_EQ(pump.waits, std::vector<std::uint32_t>{1001});
  EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(EventPauseTest, RunsEventsAsTheyArrive) {
  pump.Post([&] { ran_at.push_back(clock.ticks - start); });
  pump.PostAfter(300, [&] { ran_at.push_back(clock.ticks - start); });
  pump.PostAfter(700, [&] { ran_at.push_back(clock.ticks - start); });
  EventPause(pump, clock, 1000);
  EXPECT_EQ(ran_at, (std::vector<std::uint32_t>{0, 300, 700}));
  EXPECT_EQ(clock.ticks - start, 1001u);
  EXPECT_EQ(pump.waits, (std::vector<std::uint32_t>{1001, 701, 301}));
}

TEST_F(EventPauseTest, EndsRightAfterAHandlerThatRanLonger) {
  pump.PostAfter(100, [&] { clock.Advance(5000); });
  pump.PostAfter(2000, [&] { ran_at.push_back(clock.ticks - start); });
  EventPause(pump, clock, 1000);
  // What arrived meanwhile still runs; then the pause is over, with no wait.
  EXPECT_EQ(ran_at, std::vector<std::uint32_t>{5100});
  EXPECT_EQ(clock.ticks - start, 5100u);
  EXPECT_EQ(pump.waits, std::vector<std::uint32_t>{1001});
}

TEST_F(EventPauseTest, SleepsWhileAQuitMessageIsQueued) {
  pump.quit_pending = true;
  EventPause(pump, clock, 1000);
  EXPECT_EQ(clock.ticks - start, 1001u);
  EXPECT_TRUE(pump.waits.empty());
  EXPECT_EQ(clock.sleeps, std::vector<std::uint32_t>{1001});
}

TEST_F(EventPauseTest, LastsItsTimeAcrossTheTickCountWrap) {
  clock.ticks = 0xFFFFFE00u;
  EventPause(pump, clock, 1000);
  EXPECT_EQ(clock.ticks - 0xFFFFFE00u, 1001u);
}

// ---- Dial, HangUp, Redial

// Public members: the scenario table's setup functions reach into the fixture.
class ConnectionActionsTest : public testing::Test {
 public:
  ConnectionActionsTest() {
    net.ras.journal = net.internet.journal = window.journal = notices.journal = boxes.journal =
        &journal;
    window.items[Control::组合框_宽带连接] = {"宽带连接", "ADSL"};
    window.selections[Control::组合框_宽带连接] = 0;
    window.texts[Control::编辑框_宽带账号] = "user";
    window.texts[Control::编辑框_宽带密码] = "pw";
  }

  // A connection up before the action, made by another program.
  void ConnectedAs(const char* address) { net.ras.Add({"宽带连接", address}); }

  FakeNetwork net;
  FakeMainWindow window;
  FakeNotices notices;
  FakeMessageBoxes boxes;
  FakeMessagePump pump{net.clock};
  DialUpService dialup{net.ras, net.clock};
  ExternalAddress address{net.internet, kEchoUrl};
  ConnectionActions actions{dialup, address, window, notices, boxes, pump, net.clock};
  Journal journal;
};

struct Scenario {
  const char* name;
  void (*setup)(ConnectionActionsTest&);
  void (ConnectionActions::*action)();
  std::vector<std::string> journal;
  const char* current;
  const char* previous;
};

void PrintTo(const Scenario& s, std::ostream* os) {
  *os << s.name;
}

class ScenarioTest : public ConnectionActionsTest, public testing::WithParamInterface<Scenario> {};

TEST_P(ScenarioTest, TellsTheUserEveryStep) {
  const Scenario& s = GetParam();
  s.setup(*this);
  (actions.*s.action)();
  EXPECT_EQ(journal, s.journal);
  EXPECT_EQ(actions.CurrentAddress(), s.current);
  EXPECT_EQ(actions.PreviousAddress(), s.previous);
  for (const auto& notice : notices.shown) {
    EXPECT_EQ(notice.title, "提示");
    EXPECT_EQ(notice.delay_ms, 2000u);
    EXPECT_TRUE(notice.auto_clear);
  }
  for (const auto& box : boxes.shown) {
    EXPECT_EQ(box.title, "信息：");
    EXPECT_EQ(box.flags, 0u);
  }
}

using F = ConnectionActionsTest;
constexpr auto kDial = &ConnectionActions::Dial;
constexpr auto kHangUp = &ConnectionActions::HangUp;
constexpr auto kRedial = &ConnectionActions::Redial;

INSTANTIATE_TEST_SUITE_P(
    Dial, ScenarioTest,
    testing::Values(Scenario{"offline",
                             [](F& f) { f.net.ras.address_pool = {"1.1.1.1"}; },
                             kDial,
                             {"dial 宽带连接 user pw", "GET /ic.asp", "pane0 当前状态：拔号完毕",
                              "pane1 当前IP：1.1.1.1", "notice1 拔号完毕，当前IP为\"1.1.1.1\""},
                             "1.1.1.1",
                             ""},
                    Scenario{"second entry",
                             [](F& f) {
                               f.net.ras.address_pool = {"1.1.1.1"};
                               f.window.selections[Control::组合框_宽带连接] = 1;
                             },
                             kDial,
                             {"dial ADSL user pw", "GET /ic.asp", "pane0 当前状态：拔号完毕",
                              "pane1 当前IP：1.1.1.1", "notice1 拔号完毕，当前IP为\"1.1.1.1\""},
                             "1.1.1.1",
                             ""},
                    Scenario{"online",
                             [](F& f) { f.ConnectedAs("9.9.9.9"); },
                             kDial,
                             {"box 当前已有网络链接，请断线后再拔号！"},
                             "",
                             ""},
                    Scenario{"wrong password",
                             [](F& f) { f.net.ras.password = "secret"; },
                             kDial,
                             {"dial 宽带连接 user pw", "hangup 宽带连接", "notice3 拔号失败！",
                              "pane0 当前状态：拔号失败"},
                             "",
                             ""},
                    Scenario{"nothing selected",
                             [](F& f) { f.window.selections[Control::组合框_宽带连接] = -1; },
                             kDial,
                             {"notice3 拔号失败！", "pane0 当前状态：拔号失败"},
                             "",
                             ""},
                    Scenario{"lookup fails",
                             [](F& f) { f.net.echo_down = true; },
                             kDial,
                             {"dial 宽带连接 user pw", "GET /ic.asp", "pane0 当前状态：拔号完毕",
                              "pane1 当前IP：", "notice1 拔号完毕，当前IP为\"\""},
                             "",
                             ""}));

INSTANTIATE_TEST_SUITE_P(
    HangUp, ScenarioTest,
    testing::Values(Scenario{"online",
                             [](F& f) { f.ConnectedAs("9.9.9.9"); },
                             kHangUp,
                             {"GET /ic.asp", "pane2 之前IP：9.9.9.9", "hangup 宽带连接",
                              "pane0 当前状态：已断开网络连接", "notice1 已断开网络连接"},
                             "",
                             "9.9.9.9"},
                    Scenario{
                        "offline", [](F&) {}, kHangUp, {"box 当前无拔号连接，无需断线！"}, "", ""},
                    Scenario{"behind a router",
                             [](F& f) { f.net.router_address = "7.7.7.7"; },
                             kHangUp,
                             {"box 当前无拔号连接，无需断线！"},
                             "",
                             ""}));

INSTANTIATE_TEST_SUITE_P(
    Redial, ScenarioTest,
    testing::Values(
        Scenario{"new address",
                 [](F& f) {
                   f.ConnectedAs("9.9.9.9");
                   f.net.ras.address_pool = {"1.1.1.1"};
                 },
                 kRedial,
                 {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp",
                  "hangup 宽带连接", "dial 宽带连接 user pw", "GET /ic.asp",
                  "pane1 当前IP：1.1.1.1", "pane2 之前IP：9.9.9.9",
                  "notice1 重拔完毕！\r\n当前IP为\"1.1.1.1\"\r\n之前IP为\"9.9.9.9\"",
                  "pane0 当前状态：重拔完毕"},
                 "1.1.1.1",
                 "9.9.9.9"},
        Scenario{"offline: no lookup, hang-up or pause first",
                 [](F& f) { f.net.ras.address_pool = {"1.1.1.1"}; },
                 kRedial,
                 {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "dial 宽带连接 user pw",
                  "GET /ic.asp", "pane1 当前IP：1.1.1.1", "pane2 之前IP：",
                  "notice1 重拔完毕！\r\n当前IP为\"1.1.1.1\"\r\n之前IP为\"\"",
                  "pane0 当前状态：重拔完毕"},
                 "1.1.1.1",
                 ""},
        Scenario{"same address, not ticked",
                 [](F& f) {
                   f.ConnectedAs("1.1.1.1");
                   f.net.ras.address_pool = {"1.1.1.1"};
                 },
                 kRedial,
                 {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp",
                  "hangup 宽带连接", "dial 宽带连接 user pw", "GET /ic.asp",
                  "pane1 当前IP：1.1.1.1", "pane2 之前IP：1.1.1.1",
                  "notice1 重拔完毕，当前IP与之前IP重复：1.1.1.1", "pane0 当前状态：重拔完毕"},
                 "1.1.1.1",
                 "1.1.1.1"},
        Scenario{"same address, ticked: again until it changes",
                 [](F& f) {
                   f.ConnectedAs("1.1.1.1");
                   f.net.ras.address_pool = {"1.1.1.1", "2.2.2.2"};
                   f.window.Check(Control::选择框_IP重复, true);
                 },
                 kRedial,
                 {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp",
                  "hangup 宽带连接", "dial 宽带连接 user pw", "GET /ic.asp",
                  "pane1 当前IP：1.1.1.1", "pane2 之前IP：1.1.1.1", "notice2 IP重复，继续进行重拔",
                  // the second pass
                  "pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp",
                  "hangup 宽带连接", "dial 宽带连接 user pw", "GET /ic.asp",
                  "pane1 当前IP：2.2.2.2", "pane2 之前IP：1.1.1.1",
                  "notice1 重拔完毕！\r\n当前IP为\"2.2.2.2\"\r\n之前IP为\"1.1.1.1\"",
                  "pane0 当前状态：重拔完毕"},
                 "2.2.2.2",
                 "1.1.1.1"},
        Scenario{"a dial that fails",
                 [](F& f) {
                   f.ConnectedAs("9.9.9.9");
                   f.net.ras.password = "secret";
                 },
                 kRedial,
                 {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp",
                  "hangup 宽带连接", "dial 宽带连接 user pw", "hangup 宽带连接",
                  "notice3 重拔失败！", "pane0 当前状态：重拔失败"},
                 "",
                 "9.9.9.9"},
        Scenario{
            "Dial clicked during the pause",
            [](F& f) {
              f.ConnectedAs("9.9.9.9");
              f.net.ras.address_pool = {"1.1.1.1", "2.2.2.2"};
              f.pump.PostAfter(200, [&f] { f.actions.Dial(); });
            },
            kRedial,
            {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp", "hangup 宽带连接",
             // the nested Dial
             "dial 宽带连接 user pw", "GET /ic.asp", "pane0 当前状态：拔号完毕",
             "pane1 当前IP：1.1.1.1", "notice1 拔号完毕，当前IP为\"1.1.1.1\"",
             // the Redial resumes: its dial first drops the Dial's connection
             "hangup 宽带连接", "dial 宽带连接 user pw", "GET /ic.asp", "pane1 当前IP：2.2.2.2",
             "pane2 之前IP：9.9.9.9",
             "notice1 重拔完毕！\r\n当前IP为\"2.2.2.2\"\r\n之前IP为\"9.9.9.9\"",
             "pane0 当前状态：重拔完毕"},
            "2.2.2.2",
            "9.9.9.9"},
        Scenario{"HangUp clicked during the pause",
                 [](F& f) {
                   f.ConnectedAs("9.9.9.9");
                   f.net.ras.address_pool = {"1.1.1.1"};
                   f.pump.PostAfter(200, [&f] { f.actions.HangUp(); });
                 },
                 kRedial,
                 {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp",
                  "hangup 宽带连接", "box 当前无拔号连接，无需断线！", "dial 宽带连接 user pw",
                  "GET /ic.asp", "pane1 当前IP：1.1.1.1", "pane2 之前IP：9.9.9.9",
                  "notice1 重拔完毕！\r\n当前IP为\"1.1.1.1\"\r\n之前IP为\"9.9.9.9\"",
                  "pane0 当前状态：重拔完毕"},
                 "1.1.1.1",
                 "9.9.9.9"},
        Scenario{
            "Redial by the timer during the pause",
            [](F& f) {
              f.ConnectedAs("9.9.9.9");
              f.net.ras.address_pool = {"1.1.1.1", "2.2.2.2"};
              f.pump.PostAfter(200, [&f] { f.actions.Redial(); });
            },
            kRedial,
            {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp", "hangup 宽带连接",
             // the nested Redial finds no connection: no lookup, hang-up or pause
             "pane0 当前状态：正在重拔", "notice1 正在重拔....", "dial 宽带连接 user pw",
             "GET /ic.asp", "pane1 当前IP：1.1.1.1", "pane2 之前IP：9.9.9.9",
             "notice1 重拔完毕！\r\n当前IP为\"1.1.1.1\"\r\n之前IP为\"9.9.9.9\"",
             "pane0 当前状态：重拔完毕",
             // the first one resumes
             "hangup 宽带连接", "dial 宽带连接 user pw", "GET /ic.asp", "pane1 当前IP：2.2.2.2",
             "pane2 之前IP：9.9.9.9",
             "notice1 重拔完毕！\r\n当前IP为\"2.2.2.2\"\r\n之前IP为\"9.9.9.9\"",
             "pane0 当前状态：重拔完毕"},
            "2.2.2.2",
            "9.9.9.9"},
        Scenario{
            "inputs changed during the pause",
            [](F& f) {
              f.ConnectedAs("9.9.9.9");
              f.net.ras.address_pool = {"1.1.1.1"};
              f.pump.PostAfter(200, [&f] {
                f.window.selections[Control::组合框_宽带连接] = 1;
                f.window.texts[Control::编辑框_宽带账号] = "新账号";
                f.window.texts[Control::编辑框_宽带密码] = "";
              });
            },
            kRedial,
            {"pane0 当前状态：正在重拔", "notice1 正在重拔....", "GET /ic.asp", "hangup 宽带连接",
             "dial ADSL 新账号 ", "GET /ic.asp", "pane1 当前IP：1.1.1.1", "pane2 之前IP：9.9.9.9",
             "notice1 重拔完毕！\r\n当前IP为\"1.1.1.1\"\r\n之前IP为\"9.9.9.9\"",
             "pane0 当前状态：重拔完毕"},
            "1.1.1.1",
            "9.9.9.9"}));

TEST_F(ConnectionActionsTest, RedialPausesJustOverASecondBetweenHangUpAndDial) {
  ConnectedAs("9.9.9.9");
  net.ras.address_pool = {"1.1.1.1"};
  net.internet.journal = nullptr;
  window.journal = notices.journal = nullptr;
  actions.Redial();
  ASSERT_EQ(journal, (Journal{"hangup 宽带连接", "dial 宽带连接 user pw"}));
  // Waited for messages rather than polled them.
  EXPECT_EQ(pump.waits, std::vector<std::uint32_t>{1001});
  EXPECT_TRUE(net.clock.sleeps.empty());
}

TEST_F(ConnectionActionsTest, RepeatsWhileLookupsFailUntilUnticked) {
  ConnectedAs("9.9.9.9");
  net.echo_down = true;
  window.Check(Control::选择框_IP重复, true);
  // The passes are lookup-free apart from their pauses, so the third pause
  // begins about 2 s in.
  pump.PostAfter(2500, [this] { window.Check(Control::选择框_IP重复, false); });
  actions.Redial();
  EXPECT_EQ(net.ras.dialled.size(), 3u);
  ASSERT_GE(notices.shown.size(), 2u);
  EXPECT_EQ(notices.shown.back().text, "重拔完毕，当前IP与之前IP重复：");
  EXPECT_EQ(window.panes[0], "当前状态：重拔完毕");
  EXPECT_EQ(window.panes[1], "当前IP：");
  EXPECT_EQ(window.panes[2], "之前IP：");
}

TEST_F(ConnectionActionsTest, HangUpKeepsTheCurrentAddressPane) {
  net.ras.address_pool = {"1.1.1.1"};
  actions.Dial();
  actions.HangUp();
  EXPECT_EQ(window.panes[0], "当前状态：已断开网络连接");
  EXPECT_EQ(window.panes[1], "当前IP：1.1.1.1");
  EXPECT_EQ(window.panes[2], "之前IP：1.1.1.1");
  EXPECT_TRUE(net.ras.connections.empty());
}

}  // namespace
}  // namespace pelnor
