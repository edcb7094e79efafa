#include "tray/tray_icon.h"

#include <cstring>

#include "text/gbk_text.h"

namespace pelnor {

namespace {

constexpr std::uint32_t kAllIconFields = kNifMessage | kNifIcon | kNifTip;

std::uint32_t ReadLittleEndian32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

}  // namespace

void CopyToField(char* field, std::size_t width, std::string_view text) {
  // Texts come from web pages too: never past the field, never half a character.
  const std::string_view cut = CutToCharBoundary(text, width - 1);
  std::memset(field, 0, width);
  std::memcpy(field, cut.data(), cut.size());
}

void TrayIcon::InitTrayState() {
  record_ = TrayIconRecord{};
  tray_window_ = 0;
  previous_proc_ = 0;
  callback_ = nullptr;
}

void TrayIcon::RegisterTaskbarCreated() {
  taskbar_created_message_ = shell_.RegisterMessage("TaskbarCreated");
}

void TrayIcon::AddTrayIcon(WindowHandle window, std::optional<std::string_view> icon_bytes,
                           std::optional<std::string_view> tip, Callback callback) {
  tray_window_ = window;
  if (previous_proc_ != 0) {
    if (icon_bytes) SetTrayIcon(*icon_bytes);
    if (tip) SetTrayTip(*tip);
    return;
  }
  IconHandle icon = 0;
  if (icon_bytes) {
    icon = IconFromIcoBytes(*icon_bytes, 0);
  } else {
    icon = static_cast<IconHandle>(shell_.SendWindowMessage(window, kWmGetIcon, kIconSmall, 0));
    if (icon == 0) return;
  }
  record_.hIcon = icon;
  previous_proc_ = shell_.Subclass(window, *this);
  if (callback) callback_ = std::move(callback);
  record_.cbSize = sizeof(TrayIconRecord);
  record_.hWnd = window;
  record_.uID = kTrayIconId;
  record_.uFlags = kAllIconFields;
  record_.uCallbackMessage = kTrayCallbackMessage;
  CopyToField(record_.szTip, sizeof(record_.szTip), tip.value_or(""));
  // Unanswered while the shell is not running: TaskbarCreated adds it later.
  shell_.NotifyIcon(kNimAdd, record_);
}

std::uint32_t TrayIcon::SetTrayIcon(std::string_view icon_bytes) {
  const IconHandle icon = IconFromIcoBytes(icon_bytes, 0);
  if (icon == 0) return 0;
  // The icon it replaces lives on: icons made here last until the process ends.
  record_.uFlags = kAllIconFields;
  record_.hIcon = icon;
  return shell_.NotifyIcon(kNimModify, record_);
}

std::uint32_t TrayIcon::SetTrayTip(std::string_view tip) {
  record_.uFlags = kAllIconFields;
  CopyToField(record_.szTip, sizeof(record_.szTip), tip);
  return shell_.NotifyIcon(kNimModify, record_);
}

std::uint32_t TrayIcon::RemoveTrayIcon() {
  if (previous_proc_ != 0) shell_.RestoreWindowProc(tray_window_, previous_proc_);
  previous_proc_ = 0;
  return shell_.NotifyIcon(kNimDelete, record_);
}

IconHandle TrayIcon::IconFromIcoBytes(std::string_view bytes, int index) {
  // Compared before multiplying: 16 * index must not wrap on a 32-bit size_t.
  if (index < 0 || bytes.size() < 22 ||
      static_cast<std::size_t>(index) > (bytes.size() - 22) / 16) {
    return 0;
  }
  const std::size_t entry = 6 + 16 * static_cast<std::size_t>(index);
  const std::uint32_t image_size = ReadLittleEndian32(bytes, entry + 8);
  const std::uint32_t image_offset = ReadLittleEndian32(bytes, entry + 12);
  if (image_offset >= bytes.size()) return 0;
  // Hand over only the bytes that are there, with their real count: a short
  // file must not make the system read past its end.
  const std::size_t available = bytes.size() - image_offset;
  const std::size_t taken = image_size < available ? image_size : available;
  if (taken == 0) return 0;
  return shell_.CreateIconFromResource(
      reinterpret_cast<const std::uint8_t*>(bytes.data()) + image_offset,
      static_cast<std::uint32_t>(taken));
}

std::int32_t TrayIcon::WindowProc(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                                  std::int32_t lparam) {
  if (message == kWmDestroy) {
    RemoveTrayIcon();
    end_program_(0);
    return 0;
  }
  if (message == kTrayCallbackMessage && callback_) {
    callback_(lparam);
    return 0;
  }
  if (taskbar_created_message_ != 0 && message == taskbar_created_message_) {
    // The record as it stands: after a balloon its flags are NIF_INFO alone.
    shell_.NotifyIcon(kNimAdd, record_);
  }
  return shell_.CallPreviousProc(previous_proc_, window, message, wparam, lparam);
}

void TrayIcon::OnTrayMouse(std::int32_t mouse_message) {
  if (mouse_message != kWmRButtonDown) return;
  int x = 0;
  int y = 0;
  shell_.GetCursorPos(&x, &y);
  window_.PopUpTrayMenu(x + 3, y + 3);
}

void TrayIcon::Release() { record_ = TrayIconRecord{}; }

}  // namespace pelnor
