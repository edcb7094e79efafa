// A replacement rasapi32.dll for Wine: a dial-up network whose phone book,
// accounts, address pool and connections live in a state file that tests
// read and change between steps. Every call is logged as one JSON line.
//
// The state is re-read on every call and written back (atomically) only when
// a call changes it; a named mutex serialises the read-modify-write between
// the Wine processes of one prefix.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../common/sim_text.h"
#include "state_file.h"

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorBufferTooSmall = 603;
constexpr DWORD kErrorCannotFindEntry = 623;
constexpr DWORD kErrorUserDisconnection = 631;
constexpr DWORD kErrorInvalidSize = 632;
constexpr DWORD kErrorAuthenticationFailure = 691;

constexpr DWORD kRasConnected = 0x2000;     // RASCS_Connected
constexpr DWORD kRasDisconnected = 0x2001;  // RASCS_Disconnected
constexpr DWORD kRasAuthenticate = 5;       // RASCS_Authenticate: still connecting

constexpr char kDeviceType[] = "PPPoE";
constexpr char kDeviceName[] = "WAN Miniport (PPPOE)";

// The record sizes the system accepts on i686: the oldest layout first, then
// the larger ones that later headers declare.
constexpr DWORD kEntryNameSizes[] = {264, 532};
constexpr DWORD kConnSizes[] = {412, 676, 692, 704, 720};
constexpr DWORD kDialParamsSizes[] = {1052, 1060, 1064};
constexpr DWORD kConnStatusSizes[] = {160, 288, 332};

template <size_t N>
bool Accepted(const DWORD (&sizes)[N], DWORD size) {
  for (DWORD s : sizes)
    if (s == size) return true;
  return false;
}

// The common beginnings of the records, whatever their dwSize.
struct EntryNameHead {
  DWORD dwSize;
  char szEntryName[257];
};
struct ConnHead {
  DWORD dwSize;
  DWORD hrasconn;
  char szEntryName[257];
  char szDeviceType[17];
  char szDeviceName[129];
};
struct DialParamsHead {
  DWORD dwSize;
  char szEntryName[257];
  char szPhoneNumber[129];
  char szCallbackNumber[129];
  char szUserName[257];
  char szPassword[257];
  char szDomain[16];
};
struct ConnStatusHead {
  DWORD dwSize;
  DWORD rasconnstate;
  DWORD dwError;
  char szDeviceType[17];
  char szDeviceName[129];
};
static_assert(sizeof(EntryNameHead) == 264 && sizeof(ConnHead) == 412 &&
              sizeof(DialParamsHead) == 1052 && sizeof(ConnStatusHead) == 160);

// One "conn=" line: handle, state, entry, address, owner, error, until_ms.
struct Connection {
  std::uint32_t handle = 0;
  std::string state;  // connected, connecting, failed, hangingup
  std::string entry;  // UTF-8, as in the file
  std::string address;
  std::string owner;
  DWORD error = 0;
  std::int64_t until_ms = 0;  // hangingup: when the handle disappears
};

std::vector<Connection> ReadConnections(const sim::StateFile& state) {
  std::vector<Connection> out;
  for (const auto& line : state.GetAll("conn")) {
    auto f = sim::SplitTabs(line);
    f.resize(7);
    Connection c;
    c.handle = static_cast<std::uint32_t>(strtoul(f[0].c_str(), nullptr, 0));
    c.state = f[1];
    c.entry = f[2];
    c.address = f[3];
    c.owner = f[4];
    c.error = strtoul(f[5].c_str(), nullptr, 0);
    c.until_ms = strtoll(f[6].c_str(), nullptr, 0);
    if (c.handle != 0) out.push_back(c);
  }
  return out;
}

void WriteConnections(sim::StateFile& state, const std::vector<Connection>& connections) {
  state.RemoveAll("conn");
  for (const auto& c : connections)
    state.Append("conn",
                 sim::JoinTabs({std::to_string(c.handle), c.state, c.entry, c.address, c.owner,
                                std::to_string(c.error), std::to_string(c.until_ms)}));
}

// A connection that enumerations list: up or still being set up.
bool IsListed(const Connection& c) {
  return c.state == "connected" || c.state == "connecting";
}

std::wstring StatePath() {
  return sim::PathFromEnvironment(L"PELNOR_SIM_STATE");
}

// Holds the state mutex for one read-modify-write.
class StateLock {
 public:
  StateLock() : mutex_(CreateMutexW(nullptr, FALSE, L"PelnorSimRasState")) {
    if (mutex_) WaitForSingleObject(mutex_, 10000);
  }
  ~StateLock() {
    if (mutex_) {
      ReleaseMutex(mutex_);
      CloseHandle(mutex_);
    }
  }
  StateLock(const StateLock&) = delete;
  StateLock& operator=(const StateLock&) = delete;

 private:
  HANDLE mutex_;
};

std::string ProcessName() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  size_t slash = p.find_last_of(L"\\/");
  return sim::FromWide(slash == std::wstring::npos ? p : p.substr(slash + 1), CP_UTF8);
}

// Appends one call to the log: the function, its arguments and its result.
void Log(const char* function, sim::JsonObject args, DWORD result) {
  std::wstring path = sim::PathFromEnvironment(L"PELNOR_SIM_RAS_LOG");
  if (path.empty()) return;
  sim::JsonObject line;
  line.Int("t", sim::UnixMs())
      .Int("pid", GetCurrentProcessId())
      .Str("process", ProcessName())
      .Str("fn", function)
      .Raw("args", args.Done())
      .Int("result", result);
  std::string text = line.Done() + "\n";
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD wrote = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr);
  CloseHandle(file);
}

std::string OptionalText(const char* text) {
  return text ? sim::JsonString(sim::GbkToUtf8(text)) : std::string("null");
}

std::string NamesJson(const std::vector<std::string>& utf8_names) {
  std::string out = "[";
  for (size_t i = 0; i < utf8_names.size(); ++i)
    out += (i ? "," : "") + sim::JsonString(utf8_names[i]);
  return out + "]";
}

// Drops hung-up handles whose linger time has passed; true when any went.
bool ExpireHangingUp(std::vector<Connection>& connections) {
  std::int64_t now = sim::UnixMs();
  size_t before = connections.size();
  std::erase_if(connections,
                [&](const Connection& c) { return c.state == "hangingup" && now >= c.until_ms; });
  return connections.size() != before;
}

bool CredentialsAccepted(const sim::StateFile& state, const std::string& entry,
                         const std::string& user, const std::string& password) {
  auto global = state.GetAll("account");
  auto per_entry = state.GetAll("entry_account");
  if (global.empty() && per_entry.empty()) return true;
  for (const auto& a : global) {
    auto f = sim::SplitTabs(a);
    f.resize(2);
    if (f[0] == user && f[1] == password) return true;
  }
  for (const auto& a : per_entry) {
    auto f = sim::SplitTabs(a);
    f.resize(3);
    if (f[0] == entry && f[1] == user && f[2] == password) return true;
  }
  return false;
}

}  // namespace

extern "C" {

DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR phonebook, EntryNameHead* entries,
                             LPDWORD size_bytes, LPDWORD count) {
  sim::JsonObject args;
  args.Raw("reserved", OptionalText(reserved)).Raw("phonebook", OptionalText(phonebook));
  args.Raw("dwSize", entries ? std::to_string(entries->dwSize) : "null");
  args.Raw("cb_in", size_bytes ? std::to_string(*size_bytes) : "null");
  auto finish = [&](DWORD result) {
    if (size_bytes) args.Int("cb_out", *size_bytes);
    if (count) args.Int("count", *count);
    Log("RasEnumEntriesA", args, result);
    return result;
  };
  if (!size_bytes || !count) return finish(kErrorInvalidParameter);
  if (entries && !Accepted(kEntryNameSizes, entries->dwSize)) return finish(kErrorInvalidSize);
  if (!entries && *size_bytes != 0) return finish(kErrorInvalidParameter);

  sim::StateFile state;
  {
    StateLock lock;
    state = sim::StateFile::Load(StatePath());
  }
  if (DWORD forced = static_cast<DWORD>(state.GetInt("enum_entries_error", 0))) {
    *count = 0;
    return finish(forced);
  }
  std::vector<std::string> names = state.GetAll("entry");
  DWORD record = entries ? entries->dwSize : 532;
  DWORD needed = static_cast<DWORD>(names.size()) * record;
  args.Raw("entries", NamesJson(names));
  if (*size_bytes < needed) {
    *size_bytes = needed;
    *count = static_cast<DWORD>(names.size());
    return finish(kErrorBufferTooSmall);
  }
  auto* bytes = reinterpret_cast<char*>(entries);
  for (size_t i = 0; i < names.size(); ++i) {
    auto* e = reinterpret_cast<EntryNameHead*>(bytes + i * record);
    memset(e, 0, record);
    e->dwSize = record;
    sim::SetField(e->szEntryName, sizeof e->szEntryName, sim::Utf8ToGbk(names[i]));
  }
  *size_bytes = needed;
  *count = static_cast<DWORD>(names.size());
  return finish(0);
}

DWORD WINAPI RasEnumConnectionsA(ConnHead* connections, LPDWORD size_bytes, LPDWORD count) {
  sim::JsonObject args;
  args.Raw("dwSize", connections ? std::to_string(connections->dwSize) : "null");
  args.Raw("cb_in", size_bytes ? std::to_string(*size_bytes) : "null");
  auto finish = [&](DWORD result) {
    if (size_bytes) args.Int("cb_out", *size_bytes);
    if (count) args.Int("count", *count);
    Log("RasEnumConnectionsA", args, result);
    return result;
  };
  if (!size_bytes || !count) return finish(kErrorInvalidParameter);
  if (connections && !Accepted(kConnSizes, connections->dwSize)) return finish(kErrorInvalidSize);
  if (!connections && *size_bytes != 0) return finish(kErrorInvalidParameter);

  std::vector<Connection> listed;
  DWORD forced = 0;
  {
    StateLock lock;
    sim::StateFile state = sim::StateFile::Load(StatePath());
    forced = static_cast<DWORD>(state.GetInt("enum_connections_error", 0));
    auto all = ReadConnections(state);
    if (ExpireHangingUp(all)) {
      WriteConnections(state, all);
      state.Save(StatePath());
    }
    for (const auto& c : all)
      if (IsListed(c)) listed.push_back(c);
  }
  if (forced) {
    *count = 0;
    return finish(forced);
  }
  DWORD record = connections ? connections->dwSize : 720;
  DWORD needed = static_cast<DWORD>(listed.size()) * record;
  std::string handles = "[";
  for (size_t i = 0; i < listed.size(); ++i)
    handles += (i ? "," : "") + std::to_string(listed[i].handle);
  args.Raw("handles", handles + "]");
  if (*size_bytes < needed) {
    *size_bytes = needed;
    *count = static_cast<DWORD>(listed.size());
    return finish(kErrorBufferTooSmall);
  }
  auto* bytes = reinterpret_cast<char*>(connections);
  for (size_t i = 0; i < listed.size(); ++i) {
    auto* c = reinterpret_cast<ConnHead*>(bytes + i * record);
    memset(c, 0, record);
    c->dwSize = record;
    c->hrasconn = listed[i].handle;
    sim::SetField(c->szEntryName, sizeof c->szEntryName, sim::Utf8ToGbk(listed[i].entry));
    sim::SetField(c->szDeviceType, sizeof c->szDeviceType, kDeviceType);
    sim::SetField(c->szDeviceName, sizeof c->szDeviceName, kDeviceName);
  }
  *size_bytes = needed;
  *count = static_cast<DWORD>(listed.size());
  return finish(0);
}

DWORD WINAPI RasGetConnectStatusA(HANDLE connection, ConnStatusHead* status) {
  auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(connection));
  sim::JsonObject args;
  args.Int("handle", handle).Raw("dwSize", status ? std::to_string(status->dwSize) : "null");
  if (!status) {
    Log("RasGetConnectStatusA", args, kErrorInvalidParameter);
    return kErrorInvalidParameter;
  }
  if (!Accepted(kConnStatusSizes, status->dwSize)) {
    Log("RasGetConnectStatusA", args, kErrorInvalidSize);
    return kErrorInvalidSize;
  }
  Connection found;
  {
    StateLock lock;
    sim::StateFile state = sim::StateFile::Load(StatePath());
    auto all = ReadConnections(state);
    if (ExpireHangingUp(all)) {
      WriteConnections(state, all);
      state.Save(StatePath());
    }
    for (const auto& c : all)
      if (c.handle == handle) found = c;
  }
  if (found.handle == 0) {
    Log("RasGetConnectStatusA", args, kErrorInvalidHandle);
    return kErrorInvalidHandle;
  }
  DWORD size = status->dwSize;
  memset(status, 0, size);
  status->dwSize = size;
  if (found.state == "connected") {
    status->rasconnstate = kRasConnected;
  } else if (found.state == "connecting") {
    status->rasconnstate = kRasAuthenticate;
  } else {
    status->rasconnstate = kRasDisconnected;
    status->dwError = found.error;
  }
  sim::SetField(status->szDeviceType, sizeof status->szDeviceType, kDeviceType);
  sim::SetField(status->szDeviceName, sizeof status->szDeviceName, kDeviceName);
  args.Int("rasconnstate", status->rasconnstate)
      .Int("dwError", status->dwError)
      .Str("state", found.state);
  Log("RasGetConnectStatusA", args, 0);
  return 0;
}

DWORD WINAPI RasHangUpA(HANDLE connection) {
  auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(connection));
  sim::JsonObject args;
  args.Int("handle", handle);
  DWORD result = kErrorInvalidHandle;
  {
    StateLock lock;
    sim::StateFile state = sim::StateFile::Load(StatePath());
    auto all = ReadConnections(state);
    bool changed = ExpireHangingUp(all);
    long long linger = state.GetInt("hangup_linger_ms", 0);
    for (auto it = all.begin(); it != all.end(); ++it) {
      if (it->handle != handle) continue;
      result = 0;
      args.Str("entry", it->entry).Str("state", it->state).Str("owner", it->owner);
      if (it->state == "hangingup") break;
      if (linger > 0 && IsListed(*it)) {
        it->state = "hangingup";
        it->until_ms = sim::UnixMs() + linger;
      } else {
        all.erase(it);
      }
      changed = true;
      break;
    }
    if (changed) {
      WriteConnections(state, all);
      state.Save(StatePath());
    }
  }
  Log("RasHangUpA", args, result);
  return result;
}

DWORD WINAPI RasDialA(void* extensions, LPCSTR phonebook, DialParamsHead* params,
                      DWORD notifier_type, void* notifier, HANDLE* connection) {
  sim::JsonObject args;
  args.Bool("extensions", extensions != nullptr).Raw("phonebook", OptionalText(phonebook));
  args.Raw("dwSize", params ? std::to_string(params->dwSize) : "null");
  args.Int("notifier_type", notifier_type).Bool("notifier", notifier != nullptr);
  args.Raw("handle_in",
           connection ? std::to_string(reinterpret_cast<std::uintptr_t>(*connection)) : "null");
  if (!params || !connection) {
    Log("RasDialA", args, kErrorInvalidParameter);
    return kErrorInvalidParameter;
  }
  if (!Accepted(kDialParamsSizes, params->dwSize)) {
    Log("RasDialA", args, kErrorInvalidSize);
    return kErrorInvalidSize;
  }
  std::string entry_gbk = sim::FieldText(params->szEntryName, sizeof params->szEntryName);
  std::string user_gbk = sim::FieldText(params->szUserName, sizeof params->szUserName);
  std::string password_gbk = sim::FieldText(params->szPassword, sizeof params->szPassword);
  args.Gbk("entry", entry_gbk)
      .Gbk("phone", sim::FieldText(params->szPhoneNumber, sizeof params->szPhoneNumber))
      .Gbk("callback", sim::FieldText(params->szCallbackNumber, sizeof params->szCallbackNumber))
      .Gbk("user", user_gbk)
      .Gbk("password", password_gbk)
      .Gbk("domain", sim::FieldText(params->szDomain, sizeof params->szDomain));
  std::string entry = sim::GbkToUtf8(entry_gbk);
  std::string user = sim::GbkToUtf8(user_gbk);
  std::string password = sim::GbkToUtf8(password_gbk);

  // Starting: the attempt gets its handle at once and shows as connecting.
  Connection attempt;
  long long delay = 0;
  bool known_entry = false;
  {
    StateLock lock;
    sim::StateFile state = sim::StateFile::Load(StatePath());
    auto all = ReadConnections(state);
    ExpireHangingUp(all);
    attempt.handle = static_cast<std::uint32_t>(state.GetInt("next_handle", 0x1000));
    state.Set("next_handle", std::to_string(attempt.handle + 4));
    attempt.entry = entry;
    attempt.owner = "pid:" + std::to_string(GetCurrentProcessId());
    for (const auto& name : state.GetAll("entry"))
      if (sim::Utf8ToGbk(name) == entry_gbk) known_entry = true;
    if (known_entry) {
      attempt.state = "connecting";
      delay = state.GetInt("dial_delay_ms", 0);
    } else {
      attempt.state = "failed";
      attempt.error = kErrorCannotFindEntry;
    }
    all.push_back(attempt);
    WriteConnections(state, all);
    state.Save(StatePath());
  }
  *connection = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(attempt.handle));
  args.Int("handle", attempt.handle);
  if (!known_entry) {
    Log("RasDialA", args, kErrorCannotFindEntry);
    return kErrorCannotFindEntry;
  }
  if (delay > 0) Sleep(static_cast<DWORD>(delay));

  // Ending: the state as it is now decides the outcome.
  DWORD result = 0;
  {
    StateLock lock;
    sim::StateFile state = sim::StateFile::Load(StatePath());
    auto all = ReadConnections(state);
    ExpireHangingUp(all);
    Connection* mine = nullptr;
    for (auto& c : all)
      if (c.handle == attempt.handle) mine = &c;
    if (!mine || mine->state != "connecting") {
      result = kErrorUserDisconnection;  // hung up while dialling
    } else {
      // A queued outcome ("0": a normal dial) goes before the standing one.
      std::string once;
      DWORD forced = state.PopFirst("dial_error_once", &once)
                         ? strtoul(once.c_str(), nullptr, 0)
                         : static_cast<DWORD>(state.GetInt("dial_error", 0));
      if (forced)
        result = forced;
      else if (!CredentialsAccepted(state, entry, user, password))
        result = kErrorAuthenticationFailure;
    }
    if (mine && mine->state == "connecting") {
      if (result == 0) {
        auto pool = state.GetAll("pool");
        long long next = state.GetInt("pool_next", 0);
        if (!pool.empty()) {
          mine->address = pool[static_cast<size_t>(next) % pool.size()];
          state.Set("pool_next", std::to_string((next + 1) % static_cast<long long>(pool.size())));
        }
        mine->state = "connected";
        args.Str("address", mine->address);
      } else {
        mine->state = "failed";
        mine->error = result;
      }
    }
    WriteConnections(state, all);
    state.Save(StatePath());
  }
  Log("RasDialA", args, result);
  return result;
}

}  // extern "C"
