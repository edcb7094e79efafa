// The program's one icon in the notification area: its record, its tip and
// image, its return after a taskbar restart, and the right-button menu.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/shell_api.h"

namespace pelnor {

constexpr std::uint32_t kTrayCallbackMessage = 123456;
constexpr std::uint32_t kTrayIconId = 1;
// The tip whenever no countdown is shown.
constexpr std::string_view kDefaultTrayTip = "Vantrel(www.vantrel.net)PelnorV1.0";

class TrayIcon : public WindowProcedure {
 public:
  using Callback = std::function<void(std::int32_t mouse_message)>;
  using EndProgram = std::function<void(std::uint32_t exit_code)>;

  TrayIcon(ShellApi& shell, MainWindow& window, EndProgram end_program)
      : shell_(shell), window_(window), end_program_(std::move(end_program)) {}

  void InitTrayState();
  void RegisterTaskbarCreated();
  void AddTrayIcon(WindowHandle window, std::optional<std::string_view> icon_bytes,
                   std::optional<std::string_view> tip, Callback callback);
  std::uint32_t SetTrayIcon(std::string_view icon_bytes);
  std::uint32_t SetTrayTip(std::string_view tip);
  std::uint32_t RemoveTrayIcon();
  IconHandle IconFromIcoBytes(std::string_view bytes, int index = 0);
  // TrayWindowProc: in front of the main window's own procedure.
  std::int32_t WindowProc(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                          std::int32_t lparam) override;
  // The program's TrayCallback: the menu on a right-button press.
  void OnTrayMouse(std::int32_t mouse_message);
  // Part of the program's clean-up at its end.
  void Release();

  TrayIconRecord& Record() { return record_; }
  WindowHandle TrayWindow() const { return tray_window_; }
  bool IsAdded() const { return previous_proc_ != 0; }

 private:
  ShellApi& shell_;
  MainWindow& window_;
  EndProgram end_program_;
  TrayIconRecord record_{};
  WindowHandle tray_window_ = 0;
  ProcHandle previous_proc_ = 0;
  Callback callback_;
  std::uint32_t taskbar_created_message_ = 0;
};

// Copies `text` into a fixed field of `width` bytes: cut at a character
// boundary, NUL-ended, the rest zero.
void CopyToField(char* field, std::size_t width, std::string_view text);

}  // namespace pelnor
