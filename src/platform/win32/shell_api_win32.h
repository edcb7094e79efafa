// ShellApi and HotkeyApi over shell32 and user32; ProcessControl over kernel32.
#pragma once

#include <windows.h>

#include <map>

#include "platform/hotkey_api.h"
#include "platform/process_control.h"
#include "platform/shell_api.h"

namespace pelnor {

class Win32ShellApi : public ShellApi {
 public:
  Win32ShellApi();
  ~Win32ShellApi() override;

  std::uint32_t NotifyIcon(std::uint32_t message, const TrayIconRecord& record) override;
  std::uint32_t RegisterMessage(const std::string& name) override;
  ProcHandle Subclass(WindowHandle window, WindowProcedure& procedure) override;
  void RestoreWindowProc(WindowHandle window, ProcHandle previous) override;
  std::int32_t CallPreviousProc(ProcHandle previous, WindowHandle window, std::uint32_t message,
                              std::uint32_t wparam, std::int32_t lparam) override;
  std::int32_t SendWindowMessage(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                           std::int32_t lparam) override;
  IconHandle CreateIconFromResource(const std::uint8_t* bytes, std::uint32_t size) override;
  void SetTimer(WindowHandle window, std::uint32_t id, std::uint32_t ms,
                TimerTarget& target) override;
  void KillTimer(WindowHandle window, std::uint32_t id) override;
  bool GetCursorPos(int* x, int* y) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

  std::map<HWND, WindowProcedure*> procedures_;
  std::map<UINT_PTR, TimerTarget*> timers_;
};

class Win32HotkeyApi : public HotkeyApi {
 public:
  bool RegisterHotKey(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                      std::uint32_t virtual_key) override;
  bool UnregisterHotKey(WindowHandle window, std::int32_t id) override;
  void SendWindowMessage(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                   std::int32_t lparam) override;
};

class Win32ProcessControl : public ProcessControl {
 public:
  [[noreturn]] void ExitProcess(std::uint32_t exit_code) override { ::ExitProcess(exit_code); }
};

}  // namespace pelnor
