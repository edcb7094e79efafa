// The program entry: the platform's services and the program's modules, made
// once, then the main window and its message loop.
#include <windows.h>

#include "app/main_form.h"
#include "app/program.h"
#include "build_config.h"
#include "platform/win32/internet_api_win32.h"
#include "platform/win32/ras_api_win32.h"
#include "platform/win32/shell_api_win32.h"
#include "platform/win32/system_services_win32.h"
#include "platform/win32/window_host.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace pelnor;
  WindowHost host(instance);
  Win32Clock clock;
  Win32MessagePump pump(host);
  Win32MessageBoxes boxes;
  Win32ProfileStore profile;
  Win32RasApi ras;
  Win32InternetApi internet;
  Win32ShellApi shell;
  Win32HotkeyApi hotkeys;
  Win32ProcessControl process;
  Program program({ras, internet, clock, pump, boxes, profile, host, shell, hotkeys, process},
                  PELNOR_IP_ECHO_URL);

  return program.Run([&] { return host.Load(MainForm(), program) && host.Exists(); },
                     [&] {
                       MSG msg;
                       while (GetMessageA(&msg, nullptr, 0, 0) > 0) host.Dispatch(msg);
                     });
}
