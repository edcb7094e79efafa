// RasApi over rasapi32.dll.
#include "platform/win32/ras_api_win32.h"

#include <cstdint>

#include "platform/win32/system_library.h"

namespace pelnor {

namespace {

// The records carry handles as 32 bits, which is only the system's layout on i686.
static_assert(sizeof(HANDLE) == sizeof(RasHandle), "RAS records need a 32-bit build");

HANDLE ToSystem(RasHandle connection) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(connection));
}

RasHandle FromSystem(HANDLE connection) {
  return static_cast<RasHandle>(reinterpret_cast<std::uintptr_t>(connection));
}

}  // namespace

Win32RasApi::Win32RasApi() : module_(LoadSystemLibrary("rasapi32.dll")) {
  enum_entries_ = SystemFunction<EnumEntriesFunction>(module_, "RasEnumEntriesA");
  dial_ = SystemFunction<DialFunction>(module_, "RasDialA");
  hang_up_ = SystemFunction<HangUpFunction>(module_, "RasHangUpA");
  enum_connections_ = SystemFunction<EnumConnectionsFunction>(module_, "RasEnumConnectionsA");
  get_connect_status_ = SystemFunction<GetConnectStatusFunction>(module_, "RasGetConnectStatusA");
}

Win32RasApi::~Win32RasApi() {
  if (module_ != nullptr) FreeLibrary(module_);
}

std::uint32_t Win32RasApi::EnumEntries(RasEntryNameA* entries, std::uint32_t* size_bytes,
                                       std::uint32_t* count) {
  if (enum_entries_ == nullptr) return kErrorCannotComplete;
  DWORD size = *size_bytes;
  DWORD listed = 0;
  const DWORD error = enum_entries_(nullptr, nullptr, entries, &size, &listed);
  *size_bytes = size;
  *count = listed;
  return error;
}

std::uint32_t Win32RasApi::Dial(const RasDialParamsA& params, RasHandle* connection) {
  *connection = 0;
  if (dial_ == nullptr) return kErrorCannotComplete;
  HANDLE made = nullptr;  // must be NULL on the way in
  // RasDialA only reads the parameters; its declaration is not const.
  const DWORD error =
      dial_(nullptr, nullptr, const_cast<RasDialParamsA*>(&params), 0, nullptr, &made);
  *connection = FromSystem(made);
  return error;
}

std::uint32_t Win32RasApi::HangUp(RasHandle connection) {
  if (hang_up_ == nullptr) return kErrorCannotComplete;
  return hang_up_(ToSystem(connection));
}

std::uint32_t Win32RasApi::EnumConnections(RasConnA* connections, std::uint32_t* size_bytes,
                                           std::uint32_t* count) {
  if (enum_connections_ == nullptr) return kErrorCannotComplete;
  DWORD size = *size_bytes;
  DWORD listed = 0;
  const DWORD error = enum_connections_(connections, &size, &listed);
  *size_bytes = size;
  *count = listed;
  return error;
}

std::uint32_t Win32RasApi::GetConnectStatus(RasHandle connection, RasConnStatusA* status) {
  if (get_connect_status_ == nullptr) return kErrorCannotComplete;
  return get_connect_status_(ToSystem(connection), status);
}

}  // namespace pelnor
