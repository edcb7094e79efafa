#include "triggers/timed_redial.h"

#include "platform/main_window.h"
#include "text/gbk_text.h"
#include "tray/notices.h"
#include "tray/tray_icon.h"

namespace pelnor {

namespace {

constexpr char kStart[] = "开始定时";
constexpr char kStop[] = "停止定时";
constexpr char kCountdownPrefix[] = "距离下次拔号还有：";
constexpr int kTickMs = 1000;

}  // namespace

bool TimedRedial::IsRunning() { return window_.Text(Control::按钮_定时) == kStop; }

void TimedRedial::EnableConnectionButtons(bool enabled) {
  window_.Enable(Control::按钮_拔号, enabled);
  window_.Enable(Control::按钮_断线, enabled);
  window_.Enable(Control::按钮_重拔, enabled);
}

void TimedRedial::OnTimedRedialButton() {
  if (window_.Text(Control::按钮_定时) == kStart) {
    window_.SetText(Control::按钮_定时, kStop);
    EnableConnectionButtons(false);
    notices_.ShowNotice(kNoticeTitle, "已开启定时重拔！", NoticeKind::kInfo, kNoticeDelayMs, true);
    window_.SetTimerPeriod(kTickMs);
    return;
  }
  window_.SetText(Control::按钮_定时, kStart);
  window_.SetText(Control::标签_倒计时, "");
  window_.SetTimerPeriod(0);
  EnableConnectionButtons(true);
  notices_.ShowNotice(kNoticeTitle, "定时重拔已关闭！", NoticeKind::kInfo, kNoticeDelayMs, true);
  tray_.SetTrayTip(kDefaultTrayTip);
}

void TimedRedial::OnCountdownTick() {
  // Unsigned: counting past the largest value wraps instead of being undefined.
  elapsed_seconds_ =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(elapsed_seconds_) + 1u);
  const std::int64_t remaining =
      std::int64_t{TextToInt(window_.Text(Control::编辑框_定时间隔))} - elapsed_seconds_;
  window_.SetText(Control::标签_倒计时, kCountdownPrefix + IntToText(remaining) + "秒");
  tray_.SetTrayTip(window_.Text(Control::标签_倒计时));

  if (elapsed_seconds_ < TextToInt(window_.Text(Control::编辑框_定时间隔))) return;

  window_.SetText(Control::标签_倒计时, std::string(kCountdownPrefix) + "Waiting...");
  window_.RepaintNow(Control::标签_倒计时);
  elapsed_seconds_ = 0;
  window_.SetTimerPeriod(0);
  redial_();
  // A stop clicked during the redial's pause holds.
  if (IsRunning()) window_.SetTimerPeriod(kTickMs);
}

}  // namespace pelnor
