// RasApi over rasapi32.dll, loaded at run time from the system directory.
#pragma once

#include <windows.h>

#include "platform/ras_api.h"

namespace pelnor {

class Win32RasApi : public RasApi {
 public:
  Win32RasApi();
  ~Win32RasApi() override;
  Win32RasApi(const Win32RasApi&) = delete;
  Win32RasApi& operator=(const Win32RasApi&) = delete;

  std::uint32_t EnumEntries(RasEntryNameA* entries, std::uint32_t* size_bytes,
                            std::uint32_t* count) override;
  std::uint32_t Dial(const RasDialParamsA& params, RasHandle* connection) override;
  std::uint32_t HangUp(RasHandle connection) override;
  std::uint32_t EnumConnections(RasConnA* connections, std::uint32_t* size_bytes,
                                std::uint32_t* count) override;
  std::uint32_t GetConnectStatus(RasHandle connection, RasConnStatusA* status) override;

 private:
  // The system's signatures, with our records of the same layout.
  using EnumEntriesFunction = DWORD(WINAPI*)(LPCSTR, LPCSTR, RasEntryNameA*, LPDWORD, LPDWORD);
  using DialFunction = DWORD(WINAPI*)(LPVOID, LPCSTR, RasDialParamsA*, DWORD, LPVOID, HANDLE*);
  using HangUpFunction = DWORD(WINAPI*)(HANDLE);
  using EnumConnectionsFunction = DWORD(WINAPI*)(RasConnA*, LPDWORD, LPDWORD);
  using GetConnectStatusFunction = DWORD(WINAPI*)(HANDLE, RasConnStatusA*);

  HMODULE module_ = nullptr;
  EnumEntriesFunction enum_entries_ = nullptr;
  DialFunction dial_ = nullptr;
  HangUpFunction hang_up_ = nullptr;
  EnumConnectionsFunction enum_connections_ = nullptr;
  GetConnectStatusFunction get_connect_status_ = nullptr;
};

}  // namespace pelnor
