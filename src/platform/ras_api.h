// The five Remote Access Service calls the program makes, and the records it
// hands to them. The records are the oldest layouts the system accepts; their
// sizes are fixed, and handles are 32-bit as on i686, so both builds agree.
#pragma once

#include <cstdint>

namespace pelnor {

using RasHandle = std::uint32_t;  // HRASCONN; 0 is none

constexpr std::uint32_t kRasConnected = 0x2000;        // RASCS_Connected
constexpr std::uint32_t kErrorInvalidHandle = 6;       // ERROR_INVALID_HANDLE
constexpr std::uint32_t kErrorBufferTooSmall = 603;    // ERROR_BUFFER_TOO_SMALL
constexpr std::uint32_t kErrorCannotComplete = 1003;   // ERROR_CAN_NOT_COMPLETE

struct RasEntryNameA {  // RASENTRYNAMEA
  std::uint32_t dwSize;
  char szEntryName[257];
};
static_assert(sizeof(RasEntryNameA) == 264);

struct RasConnA {  // RASCONNA
  std::uint32_t dwSize;
  RasHandle hrasconn;
  char szEntryName[257];
  char szDeviceType[17];
  char szDeviceName[129];
};
static_assert(sizeof(RasConnA) == 412);

struct RasDialParamsA {  // RASDIALPARAMSA
  std::uint32_t dwSize;
  char szEntryName[257];
  char szPhoneNumber[129];
  char szCallbackNumber[129];
  char szUserName[257];
  char szPassword[257];
  char szDomain[16];
};
static_assert(sizeof(RasDialParamsA) == 1052);

struct RasConnStatusA {  // RASCONNSTATUSA
  std::uint32_t dwSize;
  std::uint32_t rasconnstate;
  std::uint32_t dwError;
  char szDeviceType[17];
  char szDeviceName[129];
};
static_assert(sizeof(RasConnStatusA) == 160);

// Each call returns the system's error code, 0 on success.
class RasApi {
 public:
  virtual ~RasApi() = default;
  // RasEnumEntriesA on the default phone book; `size_bytes` in: room, out: needed.
  virtual std::uint32_t EnumEntries(RasEntryNameA* entries, std::uint32_t* size_bytes,
                                    std::uint32_t* count) = 0;
  // RasDialA with no extensions, the default phone book and no notifier: synchronous.
  virtual std::uint32_t Dial(const RasDialParamsA& params, RasHandle* connection) = 0;
  virtual std::uint32_t HangUp(RasHandle connection) = 0;
  // RasEnumConnectionsA; `size_bytes` in: room, out: needed.
  virtual std::uint32_t EnumConnections(RasConnA* connections, std::uint32_t* size_bytes,
                                        std::uint32_t* count) = 0;
  virtual std::uint32_t GetConnectStatus(RasHandle connection, RasConnStatusA* status) = 0;
};

}  // namespace pelnor
