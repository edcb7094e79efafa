#include "platform/win32/window_host.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "platform/win32/hyper_label.h"

namespace pelnor {

namespace {

constexpr char kClassName[] = "PelnorMainWindow";
constexpr char kOldProcProperty[] = "PelnorOldProc";
// Destruction requested by the program: carried out when the queue is next read.
constexpr UINT kDestroyRequest = WM_APP + 1;
// What a label turns into its feedback event.
constexpr UINT kFeedbackMessage = 32885;
// Room below a drop-down list's field for its opened list.
constexpr int kDropDownRoom = 160;

WindowHandle FromHwnd(HWND window) {
  return static_cast<WindowHandle>(reinterpret_cast<UINT_PTR>(window));
}

HMENU IdAsMenu(Control control) {
  return reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<int>(control)));
}

}  // namespace

WindowHost::~WindowHost() {
  if (tray_menu_) DestroyMenu(tray_menu_);
}

bool WindowHost::Load(const FormSpec& form, FormEvents& events) {
  form_ = &form;
  events_ = &events;

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterHyperLabelClass(instance_);

  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = MainProc;
  window_class.hInstance = instance_;
  window_class.hIcon = static_cast<HICON>(
      LoadImageA(instance_, MAKEINTRESOURCEA(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                 GetSystemMetrics(SM_CYICON), 0));
  window_class.hIconSm = static_cast<HICON>(
      LoadImageA(instance_, MAKEINTRESOURCEA(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                 GetSystemMetrics(SM_CYSMICON), 0));
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  if (!RegisterClassExA(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return false;
  }

  gui_font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const int x = (GetSystemMetrics(SM_CXSCREEN) - form.outer_width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - form.outer_height) / 2;
  const std::string caption(form.caption);
  main_ = CreateWindowExA(0, kClassName, caption.c_str(),
                          WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                          x, y, form.outer_width, form.outer_height, nullptr, nullptr, instance_,
                          this);
  if (!main_) return false;
  CreateControls();
  StackOverlappingControls();
  ShowWindow(main_, SW_SHOW);
  UpdateWindow(main_);
  Raise(Control::主窗口, FormEvent::kCreated);
  return true;
}

// Some controls overlap their neighbours (a label runs under a list, the
// separator under a check box). Siblings clip each other; labels lie beneath
// everything, and a list lies just above an earlier sibling it overlaps, so
// nothing a user works with is covered. The rest keeps the creation order,
// which is also the tab order.
void WindowHost::StackOverlappingControls() {
  for (const ControlSpec& spec : form_->controls) {
    const HWND control = Hwnd(spec.name);
    if (!control) continue;
    if (spec.kind == ControlKind::kLabel) {
      SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      continue;
    }
    if (spec.kind != ControlKind::kDropDownList) continue;
    RECT mine;
    GetWindowRect(control, &mine);
    for (HWND sibling = GetWindow(GetParent(control), GW_CHILD); sibling && sibling != control;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
      RECT theirs;
      RECT overlap;
      GetWindowRect(sibling, &theirs);
      if (IntersectRect(&overlap, &mine, &theirs)) {
        const HWND above = GetWindow(sibling, GW_HWNDPREV);
        SetWindowPos(control, above ? above : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
      }
    }
  }
}

void WindowHost::CreateControls() {
  for (const ControlSpec& spec : form_->controls) {
    const std::string text(spec.text);
    const HWND parent = ParentOf(spec);
    const DWORD visible = (spec.options & kOptionHidden) ? 0 : WS_VISIBLE;
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | visible;
    HWND control = nullptr;
    switch (spec.kind) {
      case ControlKind::kGroupBox:
        control = CreateWindowExA(WS_EX_CONTROLPARENT, "BUTTON", text.c_str(),
                                  child | BS_GROUPBOX | WS_CLIPCHILDREN, spec.x, spec.y,
                                  spec.width, spec.height, parent, IdAsMenu(spec.name), instance_,
                                  nullptr);
        // Controls inside a group box are its children: their notifications go on
        // to the main window, where the handlers are.
        SetPropA(control, kOldProcProperty,
                 reinterpret_cast<HANDLE>(SetWindowLongPtrA(
                     control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ContainerProc))));
        break;
      case ControlKind::kLabel:
        control = CreateWindowExA(0, "STATIC", text.c_str(), child | SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                  spec.x, spec.y, spec.width, spec.height, parent,
                                  IdAsMenu(spec.name), instance_, nullptr);
        if (spec.name == Control::标签_热键标签) {
          static_proc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
              control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HotkeyLabelProc)));
        }
        break;
      case ControlKind::kEdit:
        control = CreateWindowExA(
            WS_EX_CLIENTEDGE, "EDIT", text.c_str(),
            child | WS_TABSTOP | ES_AUTOHSCROLL | ((spec.options & kOptionCentred) ? ES_CENTER : 0),
            spec.x, spec.y, spec.width, spec.height, parent, IdAsMenu(spec.name), instance_,
            nullptr);
        break;
      case ControlKind::kButton:
      case ControlKind::kCheckBox:
        control = CreateWindowExA(
            0, "BUTTON", text.c_str(),
            child | WS_TABSTOP | (spec.kind == ControlKind::kButton ? BS_PUSHBUTTON : BS_AUTOCHECKBOX),
            spec.x, spec.y, spec.width, spec.height, parent, IdAsMenu(spec.name), instance_,
            nullptr);
        break;
      case ControlKind::kDropDownList:
        control = CreateWindowExA(0, "COMBOBOX", "", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                  spec.x, spec.y, spec.width, spec.height + kDropDownRoom, parent,
                                  IdAsMenu(spec.name), instance_, nullptr);
        break;
      case ControlKind::kHyperLabel:
        control = CreateWindowExA(0, kHyperLabelClass, text.c_str(), child, spec.x, spec.y,
                                  spec.width, spec.height, parent, IdAsMenu(spec.name), instance_,
                                  nullptr);
        break;
      case ControlKind::kStatusBar: {
        control = CreateWindowExA(0, STATUSCLASSNAMEA, "", child, 0, 0, 0, 0, parent,
                                  IdAsMenu(spec.name), instance_, nullptr);
        std::vector<int> edges(spec.pane_edges.begin(), spec.pane_edges.end());
        SendMessageA(control, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
        break;
      }
      case ControlKind::kPopupMenu:
        tray_menu_ = CreatePopupMenu();
        break;
      case ControlKind::kMenuItem:
        AppendMenuA(tray_menu_, MF_STRING, static_cast<UINT_PTR>(spec.name), text.c_str());
        break;
      case ControlKind::kTimer:
        break;
    }
    if (!control) continue;
    if (spec.kind != ControlKind::kHyperLabel) {
      SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(gui_font_), FALSE);
    }
    for (const std::string_view item : spec.items) AddItem(spec.name, item);
    if (spec.kind == ControlKind::kStatusBar) {
      for (int pane = 0; pane < static_cast<int>(spec.items.size()); ++pane) {
        SetStatusPane(pane, spec.items[pane]);
      }
    } else if (spec.kind == ControlKind::kDropDownList && !spec.items.empty()) {
      SendMessageA(control, CB_SETCURSEL, 0, 0);
    }
  }
}

HWND WindowHost::ParentOf(const ControlSpec& spec) const {
  return spec.parent == Control::主窗口 ? main_ : Hwnd(spec.parent);
}

const ControlSpec* WindowHost::Find(Control control) const {
  if (!form_) return nullptr;
  const auto found = std::find_if(form_->controls.begin(), form_->controls.end(),
                                  [control](const ControlSpec& spec) { return spec.name == control; });
  return found == form_->controls.end() ? nullptr : &*found;
}

HWND WindowHost::Hwnd(Control control) const {
  if (control == Control::主窗口) return main_;
  const ControlSpec* spec = Find(control);
  if (!spec || !main_) return nullptr;
  const HWND parent = ParentOf(*spec);
  return parent ? GetDlgItem(parent, static_cast<int>(control)) : nullptr;
}

void WindowHost::Raise(Control source, FormEvent event, int a, int b) {
  if (events_) events_->OnFormEvent(source, event, a, b);
}

void WindowHost::Dispatch(MSG& msg) {
  if (main_ && IsDialogMessageA(main_, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

LRESULT CALLBACK WindowHost::MainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* host = reinterpret_cast<WindowHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!host) return DefWindowProcA(window, message, wparam, lparam);
  return host->HandleMain(window, message, wparam, lparam);
}

LRESULT WindowHost::HandleMain(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      const auto id = static_cast<Control>(LOWORD(wparam));
      const ControlSpec* spec = Find(id);
      if (!spec) return 0;
      const UINT code = HIWORD(wparam);
      if (lparam == 0 && spec->kind == ControlKind::kMenuItem) {
        Raise(id, FormEvent::kChosen);
      } else if ((spec->kind == ControlKind::kButton || spec->kind == ControlKind::kCheckBox) &&
                 code == BN_CLICKED) {
        Raise(id, FormEvent::kClicked);
      } else if (spec->kind == ControlKind::kDropDownList && code == CBN_SELCHANGE) {
        Raise(id, FormEvent::kPicked);
      }
      return 0;
    }
    case WM_TIMER:
      if (wparam == static_cast<WPARAM>(Control::时钟1)) {
        Raise(Control::时钟1, FormEvent::kTick);
        return 0;
      }
      break;
    case WM_HOTKEY:
      Raise(Control::主窗口, FormEvent::kHotkey, static_cast<int>(wparam), 0);
      break;
    case WM_CTLCOLORSTATIC:
      return ColourStatic(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam));
    case kDestroyRequest:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      Raise(Control::主窗口, FormEvent::kDestroying);
      SetTimerPeriod(0);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT WindowHost::ColourStatic(HWND control, HDC dc) {
  const ControlSpec* spec = Find(static_cast<Control>(GetDlgCtrlID(control)));
  if (spec && (spec->options & kOptionTextColour)) {
    SetTextColor(dc, RGB(spec->colour.red, spec->colour.green, spec->colour.blue));
  }
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK WindowHost::ContainerProc(HWND window, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return SendMessageA(GetAncestor(window, GA_ROOT), message, wparam, lparam);
    case WM_ERASEBKGND: {
      // A group box draws only its frame; its inside is the window's background.
      RECT client;
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    default:
      break;
  }
  const auto old_proc = reinterpret_cast<WNDPROC>(GetPropA(window, kOldProcProperty));
  if (message == WM_NCDESTROY) RemovePropA(window, kOldProcProperty);
  return CallWindowProcA(old_proc, window, message, wparam, lparam);
}

LRESULT CALLBACK WindowHost::HotkeyLabelProc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
  auto* host =
      reinterpret_cast<WindowHost*>(GetWindowLongPtrA(GetAncestor(window, GA_ROOT), GWLP_USERDATA));
  if (message == kFeedbackMessage && host) {
    host->Raise(Control::标签_热键标签, FormEvent::kFeedback, static_cast<std::int32_t>(wparam),
                static_cast<std::int32_t>(lparam));
    return 0;
  }
  return CallWindowProcA(host ? host->static_proc_ : DefWindowProcA, window, message, wparam, lparam);
}

std::string WindowHost::Text(Control control) {
  const HWND window = Hwnd(control);
  if (!window) return {};
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void WindowHost::SetText(Control control, std::string_view text) {
  if (const HWND window = Hwnd(control)) SetWindowTextA(window, std::string(text).c_str());
}

void WindowHost::AddItem(Control list, std::string_view item) {
  if (const HWND window = Hwnd(list)) {
    SendMessageA(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::string(item).c_str()));
  }
}

int WindowHost::Selection(Control list) {
  const HWND window = Hwnd(list);
  return window ? static_cast<int>(SendMessageA(window, CB_GETCURSEL, 0, 0)) : -1;
}

void WindowHost::SetSelection(Control list, int index) {
  const HWND window = Hwnd(list);
  if (!window) return;
  const int count = static_cast<int>(SendMessageA(window, CB_GETCOUNT, 0, 0));
  SendMessageA(window, CB_SETCURSEL, static_cast<WPARAM>(ClampSelection(index, count)), 0);
}

bool WindowHost::IsChecked(Control box) {
  const HWND window = Hwnd(box);
  return window && SendMessageA(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowHost::Enable(Control control, bool enabled) {
  if (const HWND window = Hwnd(control)) EnableWindow(window, enabled);
}

void WindowHost::RepaintNow(Control control) {
  if (const HWND window = Hwnd(control)) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
}

void WindowHost::SetTimerPeriod(int period_ms) {
  const int period = std::max(period_ms, 0);
  if (period == timer_period_ || !main_) return;
  timer_period_ = period;
  const auto id = static_cast<UINT_PTR>(Control::时钟1);
  if (period > 0) {
    SetTimer(main_, id, static_cast<UINT>(period), nullptr);
  } else {
    KillTimer(main_, id);
  }
}

void WindowHost::SetStatusPane(int index, std::string_view text) {
  if (index < 0 || index > 2) return;
  if (const HWND bar = Hwnd(Control::状态条1)) {
    SendMessageA(bar, SB_SETTEXTA, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(std::string(text).c_str()));
  }
}

WindowHandle WindowHost::Handle(Control control) { return FromHwnd(Hwnd(control)); }

void WindowHost::PopUpTrayMenu(int x, int y) {
  if (tray_menu_ && main_) TrackPopupMenu(tray_menu_, TPM_RIGHTBUTTON, x, y, 0, main_, nullptr);
}

void WindowHost::Destroy() {
  if (main_) PostMessageA(main_, kDestroyRequest, 0, 0);
}

}  // namespace pelnor
