// The notification area and window plumbing as records: every Shell_NotifyIcon
// request with a copy of the record, subclassing, icons made, timers pending.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fakes/journal.h"
#include "platform/process_control.h"
#include "platform/shell_api.h"

namespace pelnor {

class FakeShell : public ShellApi {
 public:
  struct Request {
    std::uint32_t message;
    TrayIconRecord record;
  };
  struct Forwarded {
    ProcHandle proc;
    std::uint32_t message;
    std::uint32_t wparam;
    std::int32_t lparam;
  };
  struct Timer {
    WindowHandle window;
    std::uint32_t ms;
    TimerTarget* target;
  };

  std::uint32_t NotifyIcon(std::uint32_t message, const TrayIconRecord& record) override {
    requests.push_back({message, record});
    Note(journal, message == kNimAdd ? "tray add" : message == kNimDelete ? "tray delete" : "tray modify");
    return shell_running ? 1 : 0;
  }
  std::uint32_t RegisterMessage(const std::string& name) override {
    registered.push_back(name);
    return kTaskbarCreated;
  }
  ProcHandle Subclass(WindowHandle window, WindowProcedure& procedure) override {
    subclassed.push_back(window);
    procedure_ = &procedure;
    return kPreviousProc;
  }
  void RestoreWindowProc(WindowHandle window, ProcHandle previous) override {
    restored.push_back({window, previous});
  }
  std::int32_t CallPreviousProc(ProcHandle previous, WindowHandle, std::uint32_t message,
                              std::uint32_t wparam, std::int32_t lparam) override {
    forwarded.push_back({previous, message, wparam, lparam});
    return 77;
  }
  std::int32_t SendWindowMessage(WindowHandle, std::uint32_t message, std::uint32_t,
                           std::int32_t) override {
    return message == kWmGetIcon ? static_cast<std::int32_t>(small_icon) : 0;
  }
  IconHandle CreateIconFromResource(const std::uint8_t* bytes, std::uint32_t size) override {
    icon_images.emplace_back(reinterpret_cast<const char*>(bytes), size);
    return icons_fail ? 0 : 0x500 + static_cast<IconHandle>(icon_images.size());
  }
  void SetTimer(WindowHandle window, std::uint32_t id, std::uint32_t ms,
                TimerTarget& target) override {
    timers[id] = {window, ms, &target};
    ++timers_set;
  }
  void KillTimer(WindowHandle, std::uint32_t id) override {
    timers.erase(id);
    ++timers_killed;
  }
  bool GetCursorPos(int* x, int* y) override {
    *x = cursor_x;
    *y = cursor_y;
    return true;
  }

  // The system calling the timer procedure of a pending timer.
  void Fire(std::uint32_t id) {
    const auto found = timers.find(id);
    if (found != timers.end()) found->second.target->OnTimer(id);
  }

  static constexpr std::uint32_t kTaskbarCreated = 0xC0DE;
  static constexpr ProcHandle kPreviousProc = 0x401000;

  bool shell_running = true;
  bool icons_fail = false;
  IconHandle small_icon = 0;
  int cursor_x = 0;
  int cursor_y = 0;
  std::vector<Request> requests;
  std::vector<std::string> registered;
  std::vector<WindowHandle> subclassed;
  std::vector<std::pair<WindowHandle, ProcHandle>> restored;
  std::vector<Forwarded> forwarded;
  std::vector<std::string> icon_images;
  std::map<std::uint32_t, Timer> timers;
  int timers_set = 0;
  int timers_killed = 0;
  WindowProcedure* procedure_ = nullptr;
  Journal* journal = nullptr;
};

class FakeProcess : public ProcessControl {
 public:
  void ExitProcess(std::uint32_t exit_code) override { exit_codes.push_back(exit_code); }
  std::vector<std::uint32_t> exit_codes;
};

}  // namespace pelnor
