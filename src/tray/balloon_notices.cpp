#include "tray/balloon_notices.h"

#include "tray/tray_icon.h"

namespace pelnor {

std::uint32_t BalloonNotices::SetBalloon(std::string_view title, std::string_view text,
                                         NoticeKind kind) {
  TrayIconRecord& record = tray_.Record();
  // The balloon alone: tip, icon and callback are not sent again.
  record.uFlags = kNifInfo;
  CopyToField(record.szInfoTitle, sizeof(record.szInfoTitle), title);
  CopyToField(record.szInfo, sizeof(record.szInfo), text);
  record.dwInfoFlags = static_cast<std::uint32_t>(kind);
  return shell_.NotifyIcon(kNimModify, record);
}

void BalloonNotices::ShowNotice(std::string_view title, std::string_view text, NoticeKind kind,
                                std::uint32_t delay_ms, bool auto_clear) {
  SetBalloon(title, text, kind);
  // The same window and identifier replace a pending timer: one clearing for
  // the latest notice. Without a tray window there is nothing to time.
  if (auto_clear && tray_.TrayWindow() != 0) {
    shell_.SetTimer(tray_.TrayWindow(), kNoticeTimerId, delay_ms, *this);
  }
}

void BalloonNotices::ClearNotice() {
  shell_.KillTimer(tray_.TrayWindow(), kNoticeTimerId);
  SetBalloon("", "", NoticeKind::kNone);
}

void BalloonNotices::OnTimer(std::uint32_t id) {
  if (id == kNoticeTimerId) ClearNotice();
}

}  // namespace pelnor
