// Redial on a global F1-F4 hotkey: the hotkey facility that hands out
// identifiers and forwards presses to a label, and the handlers over it.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/hotkey_api.h"

namespace pelnor {

constexpr std::int32_t kFirstHotkeyId = 33001;
// What the target label turns into its feedback event.
constexpr std::uint32_t kHotkeyFeedbackMessage = 32885;

class HotkeyFacility {
 public:
  explicit HotkeyFacility(HotkeyApi& hotkeys) : hotkeys_(hotkeys) {}

  // Uses up the next identifier whether or not the system accepts the key;
  // returns it, or 0 when the system refused.
  std::int32_t RegisterGlobalHotkey(WindowHandle window, WindowHandle target_label,
                                    std::uint32_t modifiers, std::uint32_t virtual_key);
  void UnregisterGlobalHotkey(WindowHandle window, std::int32_t id);
  // The system's hotkey message: identifiers handed out here go on to the
  // target label as its feedback event.
  void ForwardHotkey(std::int32_t id);

 private:
  HotkeyApi& hotkeys_;
  std::int32_t last_id_ = kFirstHotkeyId - 1;
  WindowHandle target_label_ = 0;
};

class HotkeyRedial {
 public:
  HotkeyRedial(HotkeyFacility& facility, MainWindow& window, std::function<void()> redial)
      : facility_(facility), window_(window), redial_(std::move(redial)) {}

  void OnHotkeyCheckBox();
  void OnHotkeyKeySelected();
  void RegisterRedialHotkey();
  void OnHotkeyFeedback(std::int32_t first, std::int32_t second);

  std::int32_t RedialHotkeyId() const { return redial_hotkey_id_; }

 private:
  HotkeyFacility& facility_;
  MainWindow& window_;
  std::function<void()> redial_;
  std::int32_t redial_hotkey_id_ = 0;
};

}  // namespace pelnor
