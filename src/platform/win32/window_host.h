// Creates a window from its form and implements MainWindow over it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/form.h"
#include "platform/main_window.h"

namespace pelnor {

class WindowHost : public MainWindow {
 public:
  explicit WindowHost(HINSTANCE instance) : instance_(instance) {}
  ~WindowHost() override;
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  // Creates, centres and shows the window, then raises its created event.
  // False when the window cannot be created.
  bool Load(const FormSpec& form, FormEvents& events);
  bool Exists() const { return main_ != nullptr && IsWindow(main_); }
  // Dispatches one message the way the message loop does (dialog keys included).
  void Dispatch(MSG& msg);

  std::string Text(Control control) override;
  void SetText(Control control, std::string_view text) override;
  void AddItem(Control list, std::string_view item) override;
  int Selection(Control list) override;
  void SetSelection(Control list, int index) override;
  bool IsChecked(Control box) override;
  void Enable(Control control, bool enabled) override;
  void RepaintNow(Control control) override;
  void SetTimerPeriod(int period_ms) override;
  void SetStatusPane(int index, std::string_view text) override;
  WindowHandle Handle(Control control) override;
  void PopUpTrayMenu(int x, int y) override;
  void Destroy() override;

 private:
  static LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK HotkeyLabelProc(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam);
  LRESULT HandleMain(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void StackOverlappingControls();
  HWND ParentOf(const ControlSpec& spec) const;
  const ControlSpec* Find(Control control) const;
  HWND Hwnd(Control control) const;
  void Raise(Control source, FormEvent event, int a = 0, int b = 0);
  LRESULT ColourStatic(HWND control, HDC dc);

  HINSTANCE instance_;
  const FormSpec* form_ = nullptr;
  FormEvents* events_ = nullptr;
  HWND main_ = nullptr;
  HMENU tray_menu_ = nullptr;
  HFONT gui_font_ = nullptr;
  HBRUSH background_ = nullptr;
  int timer_period_ = 0;
  WNDPROC static_proc_ = nullptr;
};

}  // namespace pelnor
