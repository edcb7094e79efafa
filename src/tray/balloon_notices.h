// Notices shown as balloons from the tray icon, each cleared once, a delay
// after the latest one.
#pragma once

#include "platform/shell_api.h"
#include "tray/notices.h"

namespace pelnor {

class TrayIcon;

constexpr std::uint32_t kNoticeTimerId = 741852;

class BalloonNotices : public Notices, public TimerTarget {
 public:
  BalloonNotices(ShellApi& shell, TrayIcon& tray) : shell_(shell), tray_(tray) {}

  void ShowNotice(std::string_view title, std::string_view text, NoticeKind kind,
                  std::uint32_t delay_ms, bool auto_clear) override;
  std::uint32_t SetBalloon(std::string_view title, std::string_view text, NoticeKind kind);
  void ClearNotice();
  void OnTimer(std::uint32_t id) override;

 private:
  ShellApi& shell_;
  TrayIcon& tray_;
};

}  // namespace pelnor
