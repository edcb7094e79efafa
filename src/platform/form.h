// A window described as data: the main window's form is a table of these, and
// the Win32 window host creates the controls from it and reports their events.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/main_window.h"

namespace pelnor {

enum class ControlKind {
  kGroupBox,
  kLabel,
  kEdit,
  kButton,
  kCheckBox,
  kDropDownList,  // a list the user cannot type into
  kHyperLabel,    // one line of text with <a href="...">links</a>
  kStatusBar,
  kTimer,
  kPopupMenu,
  kMenuItem,      // an item of the pop-up menu named as its parent
};

enum ControlOption : std::uint32_t {
  kOptionNone = 0,
  kOptionCentred = 1 << 0,    // text centred
  kOptionHidden = 1 << 1,     // never shown
  kOptionTextColour = 1 << 2, // draws its text in `colour`
};

struct Colour {
  std::uint8_t red, green, blue;
};

struct ControlSpec {
  Control name;
  ControlKind kind;
  Control parent;  // 主窗口 or a group box; positions are relative to it
  int x, y, width, height;
  std::string_view text;                      // initial text or caption
  std::span<const std::string_view> items{};  // list items, or status pane texts
  std::span<const int> pane_edges{};          // status bar: right edges, -1 the end
  std::uint32_t options = kOptionNone;
  Colour colour{0, 0, 0};
};

struct FormSpec {
  std::string_view caption;
  int outer_width, outer_height;  // frame and title bar included
  std::span<const ControlSpec> controls;
};

enum class FormEvent {
  kCreated,     // the window and its controls exist
  kDestroying,  // the window will be destroyed
  kClicked,     // a button or check box
  kPicked,      // the user picked an entry of a list
  kTick,        // the timer
  kFeedback,    // a label's feedback event, with two integers
  kChosen,      // a menu item
  kHotkey,      // the system's hotkey message reached the window; a = its identifier
};

class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void OnFormEvent(Control source, FormEvent event, std::int32_t a, std::int32_t b) = 0;
};

}  // namespace pelnor
