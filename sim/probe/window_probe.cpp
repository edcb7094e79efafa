// window_probe.exe: a small ANSI window with the kinds of controls the
// program has, so the driver can be proven without the program. Each action
// leaves a visible trace in the status bar: pane 0 the last click, pane 1 the
// last pick in the list, pane 2 the last menu item, hotkey or broadcast.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include <cstdio>
#include <initializer_list>

namespace {

enum : int {
  kGroup = 1001,
  kList = 1003,
  kAccount = 1005,
  kDialButton = 1010,
  kCheck = 1014,
  kStatus = 1024,
  kMenuFirst = 2001,
  kMenuQuit = 2004,
};
constexpr UINT kTrayCallback = 123456;
constexpr int kExitCode = 5;

HWND g_main, g_status;
WNDPROC g_group_proc;
UINT g_taskbar_created;
int g_hotkeys;

void SetPane(int index, const char* text) {
  SendMessageA(g_status, SB_SETTEXTA, index, reinterpret_cast<LPARAM>(text));
}

// A group box does not pass its children's notifications on; the main window handles them.
LRESULT CALLBACK GroupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND) return SendMessageA(g_main, msg, wp, lp);
  return CallWindowProcA(g_group_proc, hwnd, msg, wp, lp);
}

HWND Child(HWND parent, const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
           int id) {
  HWND hwnd = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              GetModuleHandleA(nullptr), nullptr);
  SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return hwnd;
}

void CreateControls(HWND hwnd) {
  HWND group = Child(hwnd, "BUTTON", "", BS_GROUPBOX, 4, 1, 272, 95, kGroup);
  g_group_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(group, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GroupProc)));
  HWND list = Child(group, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 41, 15, 102, 200, kList);
  for (const char* item : {"宽带连接", "ADSL", ""})
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  Child(group, "EDIT", "账号", ES_AUTOHSCROLL | WS_BORDER, 41, 42, 100, 18, kAccount);
  Child(group, "BUTTON", "拔号", BS_PUSHBUTTON, 208, 38, 56, 22, kDialButton);
  Child(group, "BUTTON", "热键重拔：", BS_AUTOCHECKBOX, 6, 64, 82, 24, kCheck);
  g_status = Child(hwnd, STATUSCLASSNAMEA, "", 0, 0, 0, 0, 0, kStatus);
  int edges[3] = {200, 350, -1};
  SendMessageA(g_status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  SetPane(0, "当前状态：");
  SetPane(1, "当前IP：");
  SetPane(2, "之前IP：");
}

void PopUpMenu(HWND hwnd) {
  HMENU menu = CreatePopupMenu();
  const char* items[] = {"断线", "拔号", "重拔", "退出"};
  for (int i = 0; i < 4; ++i) AppendMenuA(menu, MF_STRING, kMenuFirst + i, items[i]);
  POINT at{100, 100};
  SetForegroundWindow(hwnd);
  int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr);
  DestroyMenu(menu);
  char text[32];
  snprintf(text, sizeof text, "menu:%d", chosen);
  SetPane(2, text);
  if (chosen == kMenuQuit) DestroyWindow(hwnd);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  char text[64];
  switch (msg) {
    case WM_CREATE:
      CreateControls(hwnd);
      RegisterHotKey(hwnd, 1, 0, VK_F1);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kDialButton && HIWORD(wp) == BN_CLICKED) {
        SetPane(0, "当前状态：拔号完毕");
        MessageBoxA(nullptr, "拔号完毕！", "信息：", MB_TASKMODAL);
      } else if (LOWORD(wp) == kList && HIWORD(wp) == CBN_SELCHANGE) {
        snprintf(text, sizeof text, "selected:%d",
                 static_cast<int>(SendMessageA(reinterpret_cast<HWND>(lp), CB_GETCURSEL, 0, 0)));
        SetPane(1, text);
      }
      return 0;
    case WM_HOTKEY:
      snprintf(text, sizeof text, "hotkey:%d", ++g_hotkeys);
      SetPane(2, text);
      return 0;
    case WM_SIZE:
      SendMessageA(g_status, WM_SIZE, 0, 0);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(kExitCode);
      return 0;
  }
  if (msg == kTrayCallback && lp == WM_RBUTTONDOWN) {
    PopUpMenu(hwnd);
    return 0;
  }
  if (msg == g_taskbar_created && msg != 0) {
    SetPane(2, "taskbar");
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  g_taskbar_created = RegisterWindowMessageA("TaskbarCreated");
  WNDCLASSA wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "PelnorProbeWindow";
  RegisterClassA(&wc);
  int x = (GetSystemMetrics(SM_CXSCREEN) - 505) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - 168) / 2;
  g_main = CreateWindowExA(0, wc.lpszClassName, "PelnorProbe 探针",
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 505, 168,
                           nullptr, nullptr, instance, nullptr);
  ShowWindow(g_main, SW_SHOW);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return static_cast<int>(m.wParam);
}
