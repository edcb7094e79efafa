#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/app_icon_bytes.h"
#include "fakes/fake_main_window.h"
#include "fakes/fake_shell.h"
#include "tray/balloon_notices.h"

namespace pelnor {
namespace {

constexpr WindowHandle kMain = 0x10001;
constexpr WindowHandle kOther = 0x20002;

std::string Field(const char* field, std::size_t width) {
  return std::string(field, strnlen(field, width));
}

class TrayTest : public testing::Test {
 protected:
  TrayTest() {
    tray_.InitTrayState();
    tray_.RegisterTaskbarCreated();
  }
  void Add(std::optional<std::string_view> tip = "tip") {
    tray_.AddTrayIcon(kMain, AppIconBytes(), tip, [this](std::int32_t m) { mouse_.push_back(m); });
  }
  const TrayIconRecord& Last() const { return shell_.requests.back().record; }

  FakeShell shell_;
  FakeMainWindow window_;
  std::vector<std::uint32_t> ended_;
  std::vector<std::int32_t> mouse_;
  TrayIcon tray_{shell_, window_, [this](std::uint32_t code) { ended_.push_back(code); }};
  BalloonNotices notices_{shell_, tray_};
};

TEST_F(TrayTest, AddFillsTheRecordAndSubclassesOnce) {
  Add("Vantrel(www.vantrel.net)PelnorV1.0");
  ASSERT_EQ(shell_.requests.size(), 1u);
  EXPECT_EQ(shell_.requests[0].message, kNimAdd);
  const TrayIconRecord& record = Last();
  EXPECT_EQ(record.cbSize, 488u);
  EXPECT_EQ(record.hWnd, kMain);
  EXPECT_EQ(record.uID, 1u);
  EXPECT_EQ(record.uFlags, 7u);
  EXPECT_EQ(record.uCallbackMessage, 123456u);
  EXPECT_EQ(record.hIcon, 0x501u);
  EXPECT_EQ(Field(record.szTip, 128), "Vantrel(www.vantrel.net)PelnorV1.0");
  EXPECT_EQ(record.dwState | record.dwStateMask | record.uTimeout | record.dwInfoFlags, 0u);
  EXPECT_EQ(shell_.subclassed, std::vector<WindowHandle>{kMain});
  EXPECT_EQ(shell_.registered, std::vector<std::string>{"TaskbarCreated"});
}

TEST_F(TrayTest, SecondAddOnlyChangesImageAndTip) {
  Add();
  tray_.AddTrayIcon(kOther, AppIconBytes(), "second", nullptr);
  ASSERT_EQ(shell_.requests.size(), 3u);
  EXPECT_EQ(shell_.requests[1].message, kNimModify);  // the image
  EXPECT_EQ(shell_.requests[1].record.hIcon, 0x502u);
  EXPECT_EQ(shell_.requests[2].message, kNimModify);  // the tip
  EXPECT_EQ(Field(Last().szTip, 128), "second");
  EXPECT_EQ(shell_.subclassed.size(), 1u);
  EXPECT_EQ(tray_.TrayWindow(), kOther);
  // The first callback stays.
  tray_.WindowProc(kMain, kTrayCallbackMessage, 1, 513);
  EXPECT_EQ(mouse_, std::vector<std::int32_t>{513});
}

TEST_F(TrayTest, WithoutIconBytesTheWindowsSmallIconOrNothing) {
  tray_.AddTrayIcon(kMain, std::nullopt, "tip", nullptr);
  EXPECT_TRUE(shell_.requests.empty());
  EXPECT_TRUE(shell_.subclassed.empty());
  EXPECT_FALSE(tray_.IsAdded());

  shell_.small_icon = 0x777;
  tray_.AddTrayIcon(kMain, std::nullopt, "tip", nullptr);
  ASSERT_EQ(shell_.requests.size(), 1u);
  EXPECT_EQ(Last().hIcon, 0x777u);
}

TEST_F(TrayTest, IconBytesThatMakeNoIconStillAddTheIcon) {
  shell_.icons_fail = true;
  Add();
  ASSERT_EQ(shell_.requests.size(), 1u);
  EXPECT_EQ(Last().hIcon, 0u);
  EXPECT_EQ(tray_.SetTrayIcon(AppIconBytes()), 0u);
  EXPECT_EQ(shell_.requests.size(), 1u);  // nothing sent
}

TEST_F(TrayTest, TipsAreCutAtACharacterBoundaryWithinTheField) {
  Add();
  const struct {
    std::string tip;
    std::string stored;
  } cases[] = {
      {std::string(127, 'a'), std::string(127, 'a')},
      {std::string(200, 'b'), std::string(127, 'b')},
      {std::string(126, 'c') + "当前", std::string(126, 'c')},  // 当 would end past byte 127
      {std::string(125, 'd') + "当前", std::string(125, 'd') + "当"},
  };
  for (const auto& c : cases) {
    tray_.SetTrayTip(c.tip);
    EXPECT_EQ(Last().uFlags, 7u);
    EXPECT_EQ(Last().szTip[127], '\0');
    EXPECT_EQ(Field(Last().szTip, 128), c.stored) << c.tip.size();
  }
}

TEST_F(TrayTest, IconFromIcoBytesHandsOverOnlyTheBytesThatAreThere) {
  const std::string ico(AppIconBytes());
  ASSERT_EQ(ico.size(), 4286u);
  EXPECT_NE(tray_.IconFromIcoBytes(ico), 0u);
  EXPECT_EQ(shell_.icon_images.back(), ico.substr(22));  // 4264 bytes at offset 22

  EXPECT_NE(tray_.IconFromIcoBytes(ico.substr(0, 1000)), 0u);
  EXPECT_EQ(shell_.icon_images.back().size(), 978u);  // not the 4264 the entry claims

  const std::size_t made = shell_.icon_images.size();
  EXPECT_EQ(tray_.IconFromIcoBytes(ico.substr(0, 21)), 0u);  // entry cut short
  EXPECT_EQ(tray_.IconFromIcoBytes(ico.substr(0, 22)), 0u);  // image offset at the end
  EXPECT_EQ(tray_.IconFromIcoBytes(ico, 300), 0u);           // entry past the end
  EXPECT_EQ(tray_.IconFromIcoBytes(ico, 1 << 28), 0u);       // 16 * index wraps on i686
  EXPECT_EQ(tray_.IconFromIcoBytes(""), 0u);
  std::string far = ico;
  far[21] = '\x7F';  // image offset (bytes 18-21) far beyond the bytes
  EXPECT_EQ(tray_.IconFromIcoBytes(far), 0u);
  EXPECT_EQ(shell_.icon_images.size(), made);
}

TEST_F(TrayTest, DestroyRemovesTheIconAndEndsTheProgram) {
  Add();
  EXPECT_EQ(tray_.WindowProc(kMain, kWmDestroy, 0, 0), 0);
  EXPECT_EQ(shell_.requests.back().message, kNimDelete);
  EXPECT_EQ(shell_.restored, (std::vector<std::pair<WindowHandle, ProcHandle>>{
                                 {kMain, FakeShell::kPreviousProc}}));
  EXPECT_EQ(ended_, std::vector<std::uint32_t>{0});
  EXPECT_TRUE(shell_.forwarded.empty());
  EXPECT_FALSE(tray_.IsAdded());

  // A second removal leaves the window procedure alone.
  tray_.RemoveTrayIcon();
  EXPECT_EQ(shell_.restored.size(), 1u);
  EXPECT_EQ(shell_.requests.back().message, kNimDelete);
}

TEST_F(TrayTest, CallbackMessageGoesToTheCallbackOnly) {
  Add();
  EXPECT_EQ(tray_.WindowProc(kMain, kTrayCallbackMessage, 1, 516), 0);
  EXPECT_EQ(mouse_, std::vector<std::int32_t>{516});
  EXPECT_TRUE(shell_.forwarded.empty());
}

TEST_F(TrayTest, CallbackMessageWithoutCallbackIsForwarded) {
  tray_.AddTrayIcon(kMain, AppIconBytes(), "tip", nullptr);
  EXPECT_EQ(tray_.WindowProc(kMain, kTrayCallbackMessage, 1, 516), 77);
  ASSERT_EQ(shell_.forwarded.size(), 1u);
  EXPECT_EQ(shell_.forwarded[0].proc, FakeShell::kPreviousProc);
}

TEST_F(TrayTest, TaskbarCreatedReAddsTheRecordAsItStands) {
  Add();
  tray_.SetTrayTip("countdown");
  tray_.WindowProc(kMain, FakeShell::kTaskbarCreated, 0, 0);
  EXPECT_EQ(shell_.requests.back().message, kNimAdd);
  EXPECT_EQ(Last().uFlags, 7u);
  EXPECT_EQ(Field(Last().szTip, 128), "countdown");

  notices_.ShowNotice("提示", "正在重拔....", NoticeKind::kInfo, 2000, true);
  tray_.WindowProc(kMain, FakeShell::kTaskbarCreated, 0, 0);
  EXPECT_EQ(shell_.requests.back().message, kNimAdd);
  EXPECT_EQ(Last().uFlags, 16u);
  // Both reached the window's own procedure too.
  EXPECT_EQ(shell_.forwarded.size(), 2u);
}

TEST_F(TrayTest, OtherMessagesReachTheReplacedProcedure) {
  Add();
  EXPECT_EQ(tray_.WindowProc(kMain, 0x0312 /* WM_HOTKEY */, 33001, 0x700000), 77);
  ASSERT_EQ(shell_.forwarded.size(), 1u);
  EXPECT_EQ(shell_.forwarded[0].message, 0x0312u);
  EXPECT_EQ(shell_.forwarded[0].wparam, 33001u);
}

TEST_F(TrayTest, MenuOnlyOnRightButtonPressAtTheCursorPlusThree) {
  shell_.cursor_x = 1000;
  shell_.cursor_y = 740;
  for (const std::int32_t other : {512, 513, 514, 515, 517, 518}) tray_.OnTrayMouse(other);
  EXPECT_TRUE(window_.tray_menu_points.empty());
  tray_.OnTrayMouse(516);
  EXPECT_EQ(window_.tray_menu_points, (std::vector<std::array<int, 2>>{{1003, 743}}));
}

TEST_F(TrayTest, NoticeShowsTheBalloonAndClearsItOnce) {
  Add();
  notices_.ShowNotice("提示", "拔号失败！", NoticeKind::kError, 2000, true);
  EXPECT_EQ(shell_.requests.back().message, kNimModify);
  EXPECT_EQ(Last().uFlags, 16u);
  EXPECT_EQ(Field(Last().szInfoTitle, 64), "提示");
  EXPECT_EQ(Field(Last().szInfo, 256), "拔号失败！");
  EXPECT_EQ(Last().dwInfoFlags, 3u);
  EXPECT_EQ(Field(Last().szTip, 128), "tip");  // untouched, though not sent
  ASSERT_EQ(shell_.timers.count(kNoticeTimerId), 1u);
  EXPECT_EQ(shell_.timers[kNoticeTimerId].window, kMain);
  EXPECT_EQ(shell_.timers[kNoticeTimerId].ms, 2000u);

  // A second notice 500 ms later replaces the first and its timer.
  notices_.ShowNotice("提示", "正在重拔....", NoticeKind::kInfo, 2000, true);
  EXPECT_EQ(shell_.timers.size(), 1u);
  const std::size_t before = shell_.requests.size();
  shell_.Fire(kNoticeTimerId);
  shell_.Fire(kNoticeTimerId);  // the timer was killed: nothing more
  EXPECT_EQ(shell_.requests.size(), before + 1);
  EXPECT_EQ(Last().uFlags, 16u);
  EXPECT_EQ(Field(Last().szInfo, 256), "");
  EXPECT_EQ(Field(Last().szInfoTitle, 64), "");
  EXPECT_EQ(Last().dwInfoFlags, 0u);
  EXPECT_EQ(shell_.timers_killed, 1);
}

TEST_F(TrayTest, NoticeWithoutAutoClearSetsNoTimer) {
  Add();
  notices_.ShowNotice("提示", "x", NoticeKind::kInfo, 2000, false);
  EXPECT_TRUE(shell_.timers.empty());
}

TEST_F(TrayTest, TipChangeDuringABalloonDoesNotResendIt) {
  Add();
  notices_.ShowNotice("提示", "已开启定时重拔！", NoticeKind::kInfo, 2000, true);
  tray_.SetTrayTip("距离下次拔号还有：59秒");
  EXPECT_EQ(Last().uFlags, 7u);  // no NIF_INFO: the balloon on display stays as it is
}

TEST_F(TrayTest, LongBalloonTextsAreCutWithinTheirFields) {
  Add();
  const std::string address(300, '9');
  notices_.ShowNotice(std::string(70, 't') + "当", "重拔完毕，当前IP与之前IP重复：" + address,
                      NoticeKind::kInfo, 2000, true);
  EXPECT_EQ(Field(Last().szInfoTitle, 64), std::string(63, 't'));
  const std::string text = Field(Last().szInfo, 256);
  EXPECT_LE(text.size(), 255u);
  EXPECT_EQ(text, ("重拔完毕，当前IP与之前IP重复：" + address).substr(0, 255));
  // A cut that would split a character leaves it out whole.
  notices_.ShowNotice("提示", std::string(254, 'x') + "当", NoticeKind::kInfo, 2000, true);
  EXPECT_EQ(Field(Last().szInfo, 256), std::string(254, 'x'));
}

TEST_F(TrayTest, BalloonBeforeTheIconIsAddedIsRefusedQuietly) {
  shell_.shell_running = false;
  EXPECT_EQ(notices_.SetBalloon("提示", "x", NoticeKind::kInfo), 0u);
  EXPECT_EQ(Last().cbSize, 0u);
  notices_.ShowNotice("提示", "x", NoticeKind::kInfo, 2000, true);
  EXPECT_TRUE(shell_.timers.empty());  // no tray window to time on
}

}  // namespace
}  // namespace pelnor
