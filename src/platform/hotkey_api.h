// System-wide hotkeys registered on a window, and the message that forwards
// a press to its target label.
#pragma once

#include <cstdint>

#include "platform/main_window.h"

namespace pelnor {

class HotkeyApi {
 public:
  virtual ~HotkeyApi() = default;
  // RegisterHotKey; false when the system refuses the key.
  virtual bool RegisterHotKey(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                              std::uint32_t virtual_key) = 0;
  virtual bool UnregisterHotKey(WindowHandle window, std::int32_t id) = 0;
  virtual void SendWindowMessage(WindowHandle window, std::uint32_t message, std::uint32_t wparam,
                           std::int32_t lparam) = 0;
};

}  // namespace pelnor
