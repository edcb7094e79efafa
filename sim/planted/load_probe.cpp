// load_probe.exe [-system32] <dll>...: loads each DLL by its bare name, the way
// a program that does not restrict the search does (or, with -system32, from
// the system directory only), and prints one JSON line a DLL:
// {"dll": "rasapi32.dll", "loaded": false, "error": 1114}
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  bool system32 = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-system32") == 0) {
      system32 = true;
      continue;
    }
    SetLastError(0);
    const HMODULE module =
        system32 ? LoadLibraryExA(argv[i], nullptr, kSearchSystem32) : LoadLibraryA(argv[i]);
    const DWORD error = GetLastError();
    char path[MAX_PATH] = "";
    if (module != nullptr) GetModuleFileNameA(module, path, MAX_PATH);
    for (char* c = path; *c; ++c) {
      if (*c == '\\') *c = '/';
    }
    std::printf(
        "{\"dll\": \"%s\", \"system32\": %s, \"loaded\": %s, \"error\": %lu, \"path\": \"%s\"}\n",
        argv[i], system32 ? "true" : "false", module != nullptr ? "true" : "false",
        static_cast<unsigned long>(module != nullptr ? 0 : error), path);
  }
  return 0;
}
