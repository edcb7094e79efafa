#include "platform/win32/system_services_win32.h"

#include <string>
#include <vector>

#include "platform/win32/window_host.h"

namespace pelnor {

bool Win32MessagePump::DispatchPending() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave it for the message loop: the program is ending.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return true;
    }
    host_.Dispatch(msg);
  }
  return false;
}

void Win32MessagePump::WaitForMessage(std::uint32_t ms) {
  MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

void Win32MessageBoxes::Show(std::string_view text, std::string_view title, std::uint32_t flags) {
  MessageBoxA(nullptr, std::string(text).c_str(), std::string(title).c_str(),
              flags | MB_TASKMODAL);
}

std::string Win32ProfileStore::Read(const std::string& path, const std::string& section,
                                    const std::string& key, std::uint32_t room) {
  if (room == 0) return {};
  std::vector<char> buffer(room, '\0');
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                room, path.c_str());
  return std::string(buffer.data(), length);
}

bool Win32ProfileStore::Write(const std::string& path, const std::string& section,
                              const std::string& key, const std::string& value) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
}

std::string Win32ProfileStore::ModuleFileName() {
  // Paths may be longer than MAX_PATH: grow until the name fits.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace pelnor
