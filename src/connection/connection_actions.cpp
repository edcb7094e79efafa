#include "connection/connection_actions.h"

#include "address/external_address.h"
#include "connection/dialup_service.h"
#include "connection/event_pause.h"
#include "platform/main_window.h"
#include "platform/system_services.h"
#include "text/gbk_text.h"
#include "tray/notices.h"

namespace pelnor {

namespace {

constexpr std::string_view kMessageBoxTitle = "信息：";
constexpr int kRedialPauseMs = 1000;

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

}  // namespace

void ConnectionActions::Notice(std::string_view text, NoticeKind kind) {
  notices_.ShowNotice(kNoticeTitle, text, kind, kNoticeDelayMs, true);
}

// The inputs are read only now: during a Redial's pause the user may have
// changed them, and the resumed Redial dials what the window shows.
bool ConnectionActions::DialSelectedEntry() {
  const std::string target = "@" + IntToText(window_.Selection(Control::组合框_宽带连接));
  const std::string account = window_.Text(Control::编辑框_宽带账号);
  const std::string password = window_.Text(Control::编辑框_宽带密码);
  dialup_.DialEntry(target, account, password, true);
  return dialup_.IsOnline();
}

void ConnectionActions::ReleaseAddresses() {
  std::string().swap(current_address_);
  std::string().swap(previous_address_);
}

void ConnectionActions::Dial() {
  if (dialup_.IsOnline()) {
    boxes_.Show("当前已有网络链接，请断线后再拔号！", kMessageBoxTitle, 0);
    return;
  }
  if (!DialSelectedEntry()) {
    Notice("拔号失败！", NoticeKind::kError);
    window_.SetStatusPane(0, "当前状态：拔号失败");
    return;
  }
  current_address_ = address_.LookUpExternalAddress();
  window_.SetStatusPane(0, "当前状态：拔号完毕");
  window_.SetStatusPane(1, "当前IP：" + current_address_);
  Notice("拔号完毕，当前IP为" + Quoted(current_address_), NoticeKind::kInfo);
}

void ConnectionActions::HangUp() {
  if (!dialup_.IsOnline()) {
    boxes_.Show("当前无拔号连接，无需断线！", kMessageBoxTitle, 0);
    return;
  }
  previous_address_ = address_.LookUpExternalAddress();
  window_.SetStatusPane(2, "之前IP：" + previous_address_);
  dialup_.HangUpAll();
  window_.SetStatusPane(0, "当前状态：已断开网络连接");
  Notice("已断开网络连接", NoticeKind::kInfo);
}

void ConnectionActions::Redial() {
  // Repeating passes loop here rather than recurse, so the stack stays flat
  // however long the provider keeps handing out the same address.
  for (;;) {
    window_.SetStatusPane(0, "当前状态：正在重拔");
    Notice("正在重拔....", NoticeKind::kInfo);
    if (dialup_.IsOnline()) {
      previous_address_ = address_.LookUpExternalAddress();
      dialup_.HangUpAll();
      // Clicks, ticks and hotkeys that arrive now run their actions nested.
      EventPause(pump_, clock_, kRedialPauseMs);
    }
    if (!DialSelectedEntry()) {
      Notice("重拔失败！", NoticeKind::kError);
      window_.SetStatusPane(0, "当前状态：重拔失败");
      return;
    }
    current_address_ = address_.LookUpExternalAddress();
    window_.SetStatusPane(1, "当前IP：" + current_address_);
    window_.SetStatusPane(2, "之前IP：" + previous_address_);
    if (current_address_ != previous_address_) {
      Notice("重拔完毕！\r\n当前IP为" + Quoted(current_address_) + "\r\n之前IP为" +
                 Quoted(previous_address_),
             NoticeKind::kInfo);
      window_.SetStatusPane(0, "当前状态：重拔完毕");
      return;
    }
    if (!window_.IsChecked(Control::选择框_IP重复)) {
      Notice("重拔完毕，当前IP与之前IP重复：" + current_address_, NoticeKind::kInfo);
      window_.SetStatusPane(0, "当前状态：重拔完毕");
      return;
    }
    Notice("IP重复，继续进行重拔", NoticeKind::kWarning);
  }
}

}  // namespace pelnor
