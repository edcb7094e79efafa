#include "app/program.h"

#include "app/app_icon_bytes.h"
#include "app/main_form.h"
#include "platform/main_window.h"
#include "platform/process_control.h"

namespace pelnor {

namespace {

constexpr char kRouterWarning[] = "请注意：当前网络环境为路由器上网或无线wifi网络，不支持ADSL拔号！";

}  // namespace

struct Program::Binding {
  Control source;
  FormEvent event;
  void (*handler)(Program& program, std::int32_t a, std::int32_t b);
};

// clang-format off
const Program::Binding Program::kEventTable[] = {
  {Control::主窗口,        FormEvent::kCreated,    [](Program& p, auto, auto) { p.OnMainWindowCreated(); }},
  {Control::主窗口,        FormEvent::kDestroying, [](Program& p, auto, auto) { p.OnMainWindowDestroying(); }},
  {Control::按钮_断线,     FormEvent::kClicked,    [](Program& p, auto, auto) { p.actions_.HangUp(); }},
  {Control::按钮_拔号,     FormEvent::kClicked,    [](Program& p, auto, auto) { p.actions_.Dial(); }},
  {Control::按钮_重拔,     FormEvent::kClicked,    [](Program& p, auto, auto) { p.actions_.Redial(); }},
  {Control::按钮_保存配置, FormEvent::kClicked,    [](Program& p, auto, auto) { p.settings_.SaveSettings(); }},
  {Control::按钮_定时,     FormEvent::kClicked,    [](Program& p, auto, auto) { p.timed_redial_.OnTimedRedialButton(); }},
  {Control::时钟1,         FormEvent::kTick,       [](Program& p, auto, auto) { p.timed_redial_.OnCountdownTick(); }},
  {Control::选择框_热键,   FormEvent::kClicked,    [](Program& p, auto, auto) { p.hotkey_redial_.OnHotkeyCheckBox(); }},
  {Control::组合框_热键,   FormEvent::kPicked,     [](Program& p, auto, auto) { p.hotkey_redial_.OnHotkeyKeySelected(); }},
  {Control::标签_热键标签, FormEvent::kFeedback,   [](Program& p, auto a, auto b) { p.hotkey_redial_.OnHotkeyFeedback(a, b); }},
  {Control::主窗口,        FormEvent::kHotkey,     [](Program& p, auto a, auto) { p.hotkey_facility_.ForwardHotkey(a); }},
  {Control::托盘菜单_断线, FormEvent::kChosen,     [](Program& p, auto, auto) { p.actions_.HangUp(); }},
  {Control::托盘菜单_拔号, FormEvent::kChosen,     [](Program& p, auto, auto) { p.actions_.Dial(); }},
  {Control::托盘菜单_重拔, FormEvent::kChosen,     [](Program& p, auto, auto) { p.actions_.Redial(); }},
  {Control::托盘菜单_退出, FormEvent::kChosen,     [](Program& p, auto, auto) { p.OnTrayExit(); }},
};
// clang-format on

Program::Program(const Platform& platform, std::string echo_url)
    : platform_(platform),
      dialup_(platform.ras, platform.clock),
      address_(platform.internet, std::move(echo_url)),
      tray_(platform.shell, platform.window, [this](std::uint32_t code) { EndProgram(code); }),
      notices_(platform.shell, tray_),
      actions_(dialup_, address_, platform.window, notices_, platform.boxes, platform.pump,
               platform.clock),
      settings_(platform.profile, platform.window),
      timed_redial_(platform.window, notices_, tray_, [this] { actions_.Redial(); }),
      hotkey_facility_(platform.hotkeys),
      hotkey_redial_(hotkey_facility_, platform.window, [this] { actions_.Redial(); }) {}

int Program::Run(const std::function<bool()>& load_main_window,
                 const std::function<void()>& message_loop) {
  tray_.InitTrayState();
  clean_up_registered_ = true;
  tray_.RegisterTaskbarCreated();
  if (load_main_window()) message_loop();
  EndProgram(0);
  return 0;
}

void Program::EndProgram(std::uint32_t exit_code) {
  if (clean_up_registered_ && !cleaned_up_) {
    cleaned_up_ = true;
    ReleaseModuleState();
  }
  platform_.process.ExitProcess(exit_code);
}

void Program::ReleaseModuleState() {
  actions_.ReleaseAddresses();
  tray_.Release();
}

void Program::OnFormEvent(Control source, FormEvent event, std::int32_t a, std::int32_t b) {
  for (const Binding& binding : kEventTable) {
    if (binding.source == source && binding.event == event) binding.handler(*this, a, b);
  }
}

void Program::OnMainWindowCreated() {
  MainWindow& window = platform_.window;
  tray_.AddTrayIcon(window.Handle(Control::主窗口), AppIconBytes(), kDefaultTrayTip,
                    [this](std::int32_t mouse_message) { tray_.OnTrayMouse(mouse_message); });
  if (address_.ClassifyNetworkEnvironment(dialup_) == NetworkEnvironment::kRouterOrWireless) {
    platform_.boxes.Show(kRouterWarning, "提示", kMbIconExclamation);
  }
  const int count = dialup_.GetEntryCount();
  for (int i = 0; i < count; ++i) window.AddItem(Control::组合框_宽带连接, dialup_.GetEntryName(i));
  settings_.LoadSettings();
  window.SetStatusPane(0, dialup_.IsOnline() ? "当前状态：网络已连接" : "当前状态：网络未连接");
  window.SetStatusPane(1, "当前IP：" + address_.LookUpExternalAddress());
  window.SetStatusPane(2, "之前IP：无信息");
  window.Enable(Control::组合框_热键, false);
}

void Program::OnMainWindowDestroying() { tray_.RemoveTrayIcon(); }

void Program::OnTrayExit() { platform_.window.Destroy(); }

}  // namespace pelnor
