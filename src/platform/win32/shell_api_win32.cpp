#include "platform/win32/shell_api_win32.h"

#include <shellapi.h>

namespace pelnor {

namespace {

// Window and timer procedures are plain functions: they reach their targets
// through this one pointer.
Win32ShellApi* g_shell = nullptr;

HWND ToHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(handle)); }

}  // namespace

Win32ShellApi::Win32ShellApi() { g_shell = this; }

Win32ShellApi::~Win32ShellApi() {
  if (g_shell == this) g_shell = nullptr;
}

std::uint32_t Win32ShellApi::NotifyIcon(std::uint32_t message, const TrayIconRecord& record) {
  // The record is NOTIFYICONDATAA as far as dwInfoFlags, and says so in cbSize.
  auto* data = reinterpret_cast<NOTIFYICONDATAA*>(const_cast<TrayIconRecord*>(&record));
  return Shell_NotifyIconA(message, data) ? 1 : 0;
}

std::uint32_t Win32ShellApi::RegisterMessage(const std::string& name) {
  return RegisterWindowMessageA(name.c_str());
}

ProcHandle Win32ShellApi::Subclass(WindowHandle window, WindowProcedure& procedure) {
  procedures_[ToHwnd(window)] = &procedure;
  return static_cast<ProcHandle>(
      SetWindowLongA(ToHwnd(window), GWL_WNDPROC, reinterpret_cast<LONG>(SubclassProc)));
}

void Win32ShellApi::RestoreWindowProc(WindowHandle window, ProcHandle previous) {
  SetWindowLongA(ToHwnd(window), GWL_WNDPROC, static_cast<LONG>(previous));
}

std::int32_t Win32ShellApi::CallPreviousProc(ProcHandle previous, WindowHandle window,
                                           std::uint32_t message, std::uint32_t wparam,
                                           std::int32_t lparam) {
  return static_cast<std::int32_t>(CallWindowProcA(reinterpret_cast<WNDPROC>(previous),
                                                   ToHwnd(window), message, wparam, lparam));
}

std::int32_t Win32ShellApi::SendWindowMessage(WindowHandle window, std::uint32_t message,
                                        std::uint32_t wparam, std::int32_t lparam) {
  return static_cast<std::int32_t>(SendMessageA(ToHwnd(window), message, wparam, lparam));
}

IconHandle Win32ShellApi::CreateIconFromResource(const std::uint8_t* bytes, std::uint32_t size) {
  return static_cast<IconHandle>(reinterpret_cast<UINT_PTR>(
      ::CreateIconFromResource(const_cast<PBYTE>(bytes), size, TRUE, 0x30000)));
}

void Win32ShellApi::SetTimer(WindowHandle window, std::uint32_t id, std::uint32_t ms,
                             TimerTarget& target) {
  timers_[id] = &target;
  ::SetTimer(ToHwnd(window), id, ms, TimerProc);
}

void Win32ShellApi::KillTimer(WindowHandle window, std::uint32_t id) {
  ::KillTimer(ToHwnd(window), id);
}

bool Win32ShellApi::GetCursorPos(int* x, int* y) {
  POINT point{};
  if (!::GetCursorPos(&point)) return false;
  *x = point.x;
  *y = point.y;
  return true;
}

LRESULT CALLBACK Win32ShellApi::SubclassProc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
  if (g_shell) {
    const auto found = g_shell->procedures_.find(window);
    if (found != g_shell->procedures_.end()) {
      return found->second->WindowProc(
          static_cast<WindowHandle>(reinterpret_cast<UINT_PTR>(window)), message,
          static_cast<std::uint32_t>(wparam), static_cast<std::int32_t>(lparam));
    }
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

void CALLBACK Win32ShellApi::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  if (!g_shell) return;
  const auto found = g_shell->timers_.find(id);
  if (found != g_shell->timers_.end()) found->second->OnTimer(static_cast<std::uint32_t>(id));
}

bool Win32HotkeyApi::RegisterHotKey(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                                    std::uint32_t virtual_key) {
  return ::RegisterHotKey(ToHwnd(window), id, modifiers, virtual_key) != 0;
}

bool Win32HotkeyApi::UnregisterHotKey(WindowHandle window, std::int32_t id) {
  return ::UnregisterHotKey(ToHwnd(window), id) != 0;
}

void Win32HotkeyApi::SendWindowMessage(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                                 std::int32_t lparam) {
  SendMessageA(ToHwnd(window), message, wparam, lparam);
}

}  // namespace pelnor
