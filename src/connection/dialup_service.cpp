#include "connection/dialup_service.h"

#include <algorithm>
#include <cstring>

#include "text/gbk_text.h"

namespace pelnor {

namespace {

constexpr std::size_t kInitialRoom = 38;  // records asked for before RAS says how many it has
constexpr int kListAttempts = 4;          // the list can grow between asking and listing
constexpr std::uint32_t kHangUpWaitMs = 3000;
constexpr std::uint32_t kHangUpPollMs = 10;
constexpr std::size_t kCredentialRoom = 256;  // bytes of szUserName and szPassword before the NUL

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

template <std::size_t N>
void CopyField(char (&field)[N], std::string_view text) {
  const std::size_t length = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

// Lists RAS records into room for 38, and again into the room RAS reports as
// needed, so that a long phone book or many connections are listed whole.
// `enumerate` is the RAS call: (records, size in/out, count out) -> error.
template <typename Record, std::uint32_t kRecordSize, typename Enumerate>
bool ListRecords(Enumerate enumerate, std::vector<Record>* records) {
  static_assert(sizeof(Record) == kRecordSize);
  std::size_t room = kInitialRoom;
  for (int attempt = 0; attempt < kListAttempts; ++attempt) {
    records->assign(room, Record{});
    for (Record& record : *records) record.dwSize = kRecordSize;
    auto size_bytes = static_cast<std::uint32_t>(room * kRecordSize);
    std::uint32_t count = 0;
    const std::uint32_t error = enumerate(records->data(), &size_bytes, &count);
    if (error == 0) {
      records->resize(std::min<std::size_t>(count, room));
      return true;
    }
    const std::size_t needed = (size_bytes + kRecordSize - 1) / kRecordSize;
    if (error != kErrorBufferTooSmall || needed <= room) break;
    room = needed;
  }
  records->clear();
  return false;
}

}  // namespace

std::vector<RasEntryNameA> DialUpService::ListEntries() {
  std::vector<RasEntryNameA> entries;
  ListRecords<RasEntryNameA, 264>(
      [this](RasEntryNameA* records, std::uint32_t* size, std::uint32_t* count) {
        return ras_.EnumEntries(records, size, count);
      },
      &entries);
  return entries;
}

std::vector<RasConnA> DialUpService::ListConnections(bool* ok) {
  std::vector<RasConnA> connections;
  *ok = ListRecords<RasConnA, 412>(
      [this](RasConnA* records, std::uint32_t* size, std::uint32_t* count) {
        return ras_.EnumConnections(records, size, count);
      },
      &connections);
  return connections;
}

int DialUpService::GetEntryCount() {
  return static_cast<int>(ListEntries().size());
}

std::string DialUpService::GetEntryName(int index) {
  const std::vector<RasEntryNameA> entries = ListEntries();
  if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return {};
  return FieldText(entries[static_cast<std::size_t>(index)].szEntryName);
}

bool DialUpService::DialEntry(std::string_view target, std::string_view user,
                              std::string_view password, bool /*wait*/) {
  HangUpRemembered();

  const std::vector<RasEntryNameA> entries = ListEntries();
  if (target.empty() || target.front() != '@') return false;
  const std::int32_t index = TextToInt(target.substr(1));
  if (index < 0 || static_cast<std::size_t>(index) >= entries.size()) return false;

  // Cutting a credential would dial with a wrong one and could lock the account.
  if (user.size() > kCredentialRoom || password.size() > kCredentialRoom) return false;

  RasDialParamsA params{};
  params.dwSize = sizeof(RasDialParamsA);
  std::memcpy(params.szEntryName, entries[static_cast<std::size_t>(index)].szEntryName,
              sizeof(params.szEntryName));
  params.szEntryName[sizeof(params.szEntryName) - 1] = '\0';
  CopyField(params.szUserName, user);
  CopyField(params.szPassword, password);

  // No notifier is ever passed, so the dial is synchronous whatever `wait` says.
  RasHandle connection = 0;
  const std::uint32_t error = ras_.Dial(params, &connection);
  // The password should not linger in freed stack memory.
  volatile char* secret = params.szPassword;
  for (std::size_t i = 0; i < sizeof(params.szPassword); ++i) secret[i] = 0;

  remembered_ = connection;
  if (error != 0) {
    // A failed RasDial can still hand out a handle that holds the port.
    HangUpRemembered();
    return false;
  }
  return true;
}

void DialUpService::HangUpAll() {
  HangUpRemembered();
  bool ok = false;
  for (const RasConnA& connection : ListConnections(&ok)) HangUpOne(connection.hrasconn);
}

bool DialUpService::IsOnline() {
  if (remembered_ != 0 && IsConnected(remembered_)) return true;
  bool ok = false;
  for (const RasConnA& connection : ListConnections(&ok)) {
    if (IsConnected(connection.hrasconn)) return true;
  }
  return false;
}

bool DialUpService::IsConnected(RasHandle connection) {
  RasConnStatusA status{};
  status.dwSize = sizeof(RasConnStatusA);
  return ras_.GetConnectStatus(connection, &status) == 0 && status.rasconnstate == kRasConnected;
}

// RasHangUp returns before the port is released; dialing again before the
// handle is gone can fail, so wait for it, a few milliseconds at a time.
void DialUpService::HangUpOne(RasHandle connection) {
  const std::uint32_t start = clock_.TickCount();
  ras_.HangUp(connection);
  for (;;) {
    RasConnStatusA status{};
    status.dwSize = sizeof(RasConnStatusA);
    if (ras_.GetConnectStatus(connection, &status) == kErrorInvalidHandle) return;
    if (clock_.TickCount() - start >= kHangUpWaitMs) return;
    clock_.Sleep(kHangUpPollMs);
  }
}

void DialUpService::HangUpRemembered() {
  if (remembered_ == 0) return;
  const RasHandle connection = remembered_;
  remembered_ = 0;
  HangUpOne(connection);
}

}  // namespace pelnor
