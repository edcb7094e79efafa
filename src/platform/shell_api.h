// The notification area and the window plumbing the tray icon needs:
// Shell_NotifyIconA with its record, subclassing, icons, timers, the cursor.
#pragma once

#include <cstdint>
#include <string>

#include "platform/main_window.h"

namespace pelnor {

using IconHandle = std::uint32_t;  // HICON; 0 is none
using ProcHandle = std::uint32_t;  // WNDPROC; 0 is none

constexpr std::uint32_t kNimAdd = 0;
constexpr std::uint32_t kNimModify = 1;
constexpr std::uint32_t kNimDelete = 2;
constexpr std::uint32_t kNifMessage = 1;
constexpr std::uint32_t kNifIcon = 2;
constexpr std::uint32_t kNifTip = 4;
constexpr std::uint32_t kNifInfo = 16;
constexpr std::uint32_t kWmDestroy = 2;
constexpr std::uint32_t kWmGetIcon = 0x7F;
constexpr std::uint32_t kIconSmall = 0;
constexpr std::int32_t kWmRButtonDown = 516;

// NOTIFYICONDATAA up to and including dwInfoFlags.
struct TrayIconRecord {
  std::uint32_t cbSize;
  WindowHandle hWnd;
  std::uint32_t uID;
  std::uint32_t uFlags;
  std::uint32_t uCallbackMessage;
  IconHandle hIcon;
  char szTip[128];
  std::uint32_t dwState;
  std::uint32_t dwStateMask;
  char szInfo[256];
  std::uint32_t uTimeout;
  char szInfoTitle[64];
  std::uint32_t dwInfoFlags;
};
static_assert(sizeof(TrayIconRecord) == 488);

// A window procedure that a module puts in front of a window's own.
class WindowProcedure {
 public:
  virtual ~WindowProcedure() = default;
  virtual std::int32_t WindowProc(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                                  std::int32_t lparam) = 0;
};

// What a timer set with a target calls when it fires.
class TimerTarget {
 public:
  virtual ~TimerTarget() = default;
  virtual void OnTimer(std::uint32_t id) = 0;
};

class ShellApi {
 public:
  virtual ~ShellApi() = default;
  // Shell_NotifyIconA; nonzero on success.
  virtual std::uint32_t NotifyIcon(std::uint32_t message, const TrayIconRecord& record) = 0;
  virtual std::uint32_t RegisterMessage(const std::string& name) = 0;
  // SetWindowLongA(GWL_WNDPROC) with a procedure that calls `procedure`;
  // returns the window procedure it replaced.
  virtual ProcHandle Subclass(WindowHandle window, WindowProcedure& procedure) = 0;
  // SetWindowLongA(GWL_WNDPROC) with a procedure that Subclass returned.
  virtual void RestoreWindowProc(WindowHandle window, ProcHandle previous) = 0;
  virtual std::int32_t CallPreviousProc(ProcHandle previous, WindowHandle window,
                                      std::uint32_t message, std::uint32_t wparam,
                                      std::int32_t lparam) = 0;
  virtual std::int32_t SendWindowMessage(WindowHandle window, std::uint32_t message,
                                   std::uint32_t wparam, std::int32_t lparam) = 0;
  // CreateIconFromResource(bytes, size, TRUE, 0x30000): an icon, 0 on failure.
  virtual IconHandle CreateIconFromResource(const std::uint8_t* bytes, std::uint32_t size) = 0;
  // SetTimer on a window with a timer procedure that calls `target`.
  virtual void SetTimer(WindowHandle window, std::uint32_t id, std::uint32_t ms,
                        TimerTarget& target) = 0;
  virtual void KillTimer(WindowHandle window, std::uint32_t id) = 0;
  virtual bool GetCursorPos(int* x, int* y) = 0;
};

}  // namespace pelnor
