// A DLL planted beside a program under the name of a system DLL (rasapi32.dll,
// wininet.dll). Loading it leaves a marker beside it, "<its path>.loaded", with
// one line naming the process, and fails: a search that reaches it shows.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char marker[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(instance, marker, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return FALSE;
  lstrcpyA(marker + length, ".loaded");
  const HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    char process[MAX_PATH + 2];
    DWORD size = GetModuleFileNameA(nullptr, process, MAX_PATH);
    if (size >= MAX_PATH) size = 0;
    process[size++] = '\r';
    process[size++] = '\n';
    DWORD written = 0;
    WriteFile(file, process, size, &written, nullptr);
    CloseHandle(file);
  }
  return FALSE;  // the loader unloads it again: nothing of it ever runs
}
