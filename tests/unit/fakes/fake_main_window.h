// The main window as plain state: texts, list items, selections, checks and
// the status panes, by control. Pane writes also go to an optional journal.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/journal.h"
#include "platform/main_window.h"

namespace pelnor {

class FakeMainWindow : public MainWindow {
 public:
  std::string Text(Control control) override { return texts[control]; }
  void SetText(Control control, std::string_view text) override {
    texts[control] = std::string(text);
  }
  void AddItem(Control list, std::string_view item) override { items[list].emplace_back(item); }
  int Selection(Control list) override {
    const auto found = selections.find(list);
    return found == selections.end() ? -1 : found->second;
  }
  void SetSelection(Control list, int index) override {
    selections[list] = ClampSelection(index, static_cast<int>(items[list].size()));
  }
  bool IsChecked(Control box) override { return checks[box]; }
  void Enable(Control control, bool enabled) override { disabled[control] = !enabled; }
  void RepaintNow(Control control) override { repainted.push_back(control); }
  void SetTimerPeriod(int period_ms) override { timer_period_ms = period_ms; }
  void SetStatusPane(int index, std::string_view text) override {
    if (index < 0 || index >= static_cast<int>(panes.size())) return;
    panes[static_cast<std::size_t>(index)] = std::string(text);
    Note(journal, "pane" + std::to_string(index) + " " + std::string(text));
  }
  WindowHandle Handle(Control control) override {
    return 0x10000 + static_cast<WindowHandle>(control);
  }
  void PopUpTrayMenu(int x, int y) override { tray_menu_points.push_back({x, y}); }
  void Destroy() override { destroyed = true; }

  // Test helpers: what a user does to the inputs.
  void Check(Control box, bool checked) { checks[box] = checked; }
  bool IsEnabled(Control control) { return !disabled[control]; }

  std::map<Control, std::string> texts;
  std::map<Control, std::vector<std::string>> items;
  std::map<Control, int> selections;
  std::map<Control, bool> checks;
  std::map<Control, bool> disabled;
  std::vector<Control> repainted;
  int timer_period_ms = 0;
  std::array<std::string, 3> panes;
  std::vector<std::array<int, 2>> tray_menu_points;
  bool destroyed = false;
  Journal* journal = nullptr;
};

}  // namespace pelnor
