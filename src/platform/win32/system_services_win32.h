// Clock, MessagePump, MessageBoxes and ProfileStore over the Windows API.
#pragma once

#include <windows.h>

#include "platform/profile_store.h"
#include "platform/system_services.h"

namespace pelnor {

class WindowHost;

class Win32Clock : public Clock {
 public:
  std::uint32_t TickCount() override { return GetTickCount(); }
  void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
};

class Win32MessagePump : public MessagePump {
 public:
  explicit Win32MessagePump(WindowHost& host) : host_(host) {}
  bool DispatchPending() override;
  void WaitForMessage(std::uint32_t ms) override;

 private:
  WindowHost& host_;
};

class Win32MessageBoxes : public MessageBoxes {
 public:
  void Show(std::string_view text, std::string_view title, std::uint32_t flags) override;
};

class Win32ProfileStore : public ProfileStore {
 public:
  std::string Read(const std::string& path, const std::string& section, const std::string& key,
                   std::uint32_t room) override;
  bool Write(const std::string& path, const std::string& section, const std::string& key,
             const std::string& value) override;
  std::string ModuleFileName() override;
};

}  // namespace pelnor
