#include "triggers/hotkey_redial.h"

namespace pelnor {

namespace {

constexpr std::uint32_t kNoModifiers = 0;

// F1 to F4 by the selection of the key list; 0 for anything else.
std::uint32_t VirtualKeyOf(int selection) {
  constexpr std::uint32_t kKeys[] = {112, 113, 114, 115};
  return selection >= 0 && selection < 4 ? kKeys[selection] : 0;
}

}  // namespace

std::int32_t HotkeyFacility::RegisterGlobalHotkey(WindowHandle window, WindowHandle target_label,
                                                  std::uint32_t modifiers,
                                                  std::uint32_t virtual_key) {
  const std::int32_t id = ++last_id_;
  target_label_ = target_label;
  return hotkeys_.RegisterHotKey(window, id, modifiers, virtual_key) ? id : 0;
}

void HotkeyFacility::UnregisterGlobalHotkey(WindowHandle window, std::int32_t id) {
  hotkeys_.UnregisterHotKey(window, id);
}

void HotkeyFacility::ForwardHotkey(std::int32_t id) {
  if (id >= kFirstHotkeyId && id <= last_id_) {
    hotkeys_.SendWindowMessage(target_label_, kHotkeyFeedbackMessage, static_cast<std::uint32_t>(id), 0);
  }
}

void HotkeyRedial::OnHotkeyCheckBox() {
  if (window_.IsChecked(Control::选择框_热键)) {
    window_.Enable(Control::组合框_热键, true);
    RegisterRedialHotkey();
  } else {
    window_.Enable(Control::组合框_热键, false);
    facility_.UnregisterGlobalHotkey(window_.Handle(Control::主窗口), redial_hotkey_id_);
  }
}

void HotkeyRedial::OnHotkeyKeySelected() {
  facility_.UnregisterGlobalHotkey(window_.Handle(Control::主窗口), redial_hotkey_id_);
  RegisterRedialHotkey();
}

void HotkeyRedial::RegisterRedialHotkey() {
  const std::uint32_t key = VirtualKeyOf(window_.Selection(Control::组合框_热键));
  if (key == 0) return;
  redial_hotkey_id_ = facility_.RegisterGlobalHotkey(
      window_.Handle(Control::主窗口), window_.Handle(Control::标签_热键标签), kNoModifiers, key);
}

void HotkeyRedial::OnHotkeyFeedback(std::int32_t first, std::int32_t) {
  if (first == redial_hotkey_id_) redial_();
}

}  // namespace pelnor
