// The floor for the start-up benchmark: the least a Win32 program with a
// window and a status bar does before it shows a text, built and started the
// way Pelnor.exe is.
#include <windows.h>
#include <commctrl.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    const HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                     window, nullptr, nullptr, nullptr);
    SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("ready"));
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = "PelnorBenchMinimal";
  RegisterClassA(&window_class);
  CreateWindowExA(0, "PelnorBenchMinimal", "PelnorBench minimal window",
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE,
                  CW_USEDEFAULT, CW_USEDEFAULT, 505, 168, nullptr, nullptr, instance, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
