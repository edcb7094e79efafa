// Loading a system DLL from the system directory only, so that a DLL of the
// same name beside the program or in the current directory is never picked up.
#pragma once

#include <windows.h>

#include <string>

namespace pelnor {

inline HMODULE LoadSystemLibrary(const char* name) {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  HMODULE module = LoadLibraryExA(name, nullptr, kSearchSystem32);
  // Systems without the search flags refuse it; give them the full path instead.
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  char directory[MAX_PATH];
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string path(directory, length);
  path += '\\';
  path += name;
  return LoadLibraryA(path.c_str());
}

// A function of a loaded DLL; nullptr when the DLL or the function is missing.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through void (*)(): the one function pointer type every other converts to quietly.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace pelnor
