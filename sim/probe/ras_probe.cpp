// ras_probe.exe: calls the dial-up service and fetches the IP-echo page the
// way the program does (same record sizes, same WinINet calls), printing one
// JSON line per action. Actions run in the order given:
//   entries [room]          RasEnumEntriesA with room for `room` records (38)
//   dial <entry> <user> <password>   RasDialA (1052); "@n" names the n-th entry
//   status [handle|last]    RasGetConnectStatusA (160)
//   hangup [handle|last]    RasHangUpA
//   conns [room]            RasEnumConnectionsA (412)
//   badsize                 RasEnumEntriesA with a wrong dwSize
//   fetch [url]             WinINet GET, the body's first bracketed text
#include <windows.h>
// After windows.h, which they need.
#include <wininet.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../../src/platform/ras_api.h"
#include "../common/sim_text.h"

using pelnor::RasConnA;
using pelnor::RasConnStatusA;
using pelnor::RasDialParamsA;
using pelnor::RasEntryNameA;

extern "C" {
DWORD WINAPI RasEnumEntriesA(LPCSTR, LPCSTR, RasEntryNameA*, LPDWORD, LPDWORD);
DWORD WINAPI RasDialA(void*, LPCSTR, RasDialParamsA*, DWORD, void*, HANDLE*);
DWORD WINAPI RasHangUpA(HANDLE);
DWORD WINAPI RasEnumConnectionsA(RasConnA*, LPDWORD, LPDWORD);
DWORD WINAPI RasGetConnectStatusA(HANDLE, RasConnStatusA*);
}

namespace {

void Print(const sim::JsonObject& o) {
  std::string line = o.Done() + "\n";
  fwrite(line.data(), 1, line.size(), stdout);
  fflush(stdout);
}

std::vector<std::string> EntryNames(DWORD* result) {
  std::vector<RasEntryNameA> entries(38);
  entries[0].dwSize = sizeof(RasEntryNameA);
  DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RasEntryNameA)), count = 0;
  *result = RasEnumEntriesA(nullptr, nullptr, entries.data(), &bytes, &count);
  std::vector<std::string> names;
  if (*result == 0)
    for (DWORD i = 0; i < count; ++i) names.push_back(entries[i].szEntryName);
  return names;
}

std::string Fetch(const std::string& url, sim::JsonObject* out) {
  // One client handle for the probe's life, as the program keeps one.
  static HINTERNET root = InternetOpenA("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)",
                                        INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  char host[256] = {}, path[2048] = {};
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  std::string body;
  if (!root || !InternetCrackUrlA(url.c_str(), 0, 0, &parts)) {
    out->Str("error", "open or crack failed");
    return body;
  }
  HINTERNET connection =
      InternetConnectA(root, host, parts.nPort, "", "", INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = connection
                          ? HttpOpenRequestA(connection, "GET", path, "HTTP/1.0", nullptr, nullptr,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                          : nullptr;
  const char headers[] = "Accept: */*\r\n";
  DWORD started = GetTickCount();
  if (request &&
      HttpSendRequestA(request, headers, static_cast<DWORD>(strlen(headers)), nullptr, 0)) {
    DWORD status = 0, size = sizeof status;
    if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                       nullptr))
      out->Int("status", status);
    char buf[10240];
    DWORD got = 0;
    while (InternetReadFile(request, buf, sizeof buf, &got) && got > 0) body.append(buf, got);
  } else {
    out->Int("error", GetLastError());
  }
  out->Int("ms", GetTickCount() - started);
  if (request) InternetCloseHandle(request);
  if (connection) InternetCloseHandle(connection);
  return body;
}

HANDLE HandleArg(const std::vector<std::string>& args, size_t* i, HANDLE last) {
  if (*i + 1 < args.size() && args[*i + 1] != "last" &&
      isdigit(static_cast<unsigned char>(args[*i + 1][0])))
    return reinterpret_cast<HANDLE>(
        static_cast<std::uintptr_t>(strtoul(args[++*i].c_str(), nullptr, 0)));
  if (*i + 1 < args.size() && args[*i + 1] == "last") ++*i;
  return last;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(sim::FromWide(argv[i], sim::kGbk));
  HANDLE last = nullptr;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& action = args[i];
    sim::JsonObject o;
    o.Str("action", action);
    if (action == "entries") {
      DWORD room = (i + 1 < args.size() && isdigit(static_cast<unsigned char>(args[i + 1][0])))
                       ? strtoul(args[++i].c_str(), nullptr, 0)
                       : 38;
      std::vector<RasEntryNameA> entries(room ? room : 1);
      entries[0].dwSize = sizeof(RasEntryNameA);
      DWORD bytes = room * sizeof(RasEntryNameA), count = 0;
      DWORD result = RasEnumEntriesA(nullptr, nullptr, entries.data(), &bytes, &count);
      std::string names = "[";
      for (DWORD k = 0; result == 0 && k < count; ++k)
        names += (k ? "," : "") + sim::JsonString(sim::GbkToUtf8(entries[k].szEntryName));
      o.Int("result", result).Int("bytes", bytes).Int("count", count).Raw("names", names + "]");
    } else if (action == "dial" && i + 3 < args.size()) {
      std::string entry = args[++i], user = args[++i], password = args[++i];
      if (entry.size() > 1 && entry[0] == '@') {
        DWORD listed = 0;
        auto names = EntryNames(&listed);
        size_t index = strtoul(entry.c_str() + 1, nullptr, 10);
        entry = index < names.size() ? names[index] : std::string();
      }
      RasDialParamsA params{};
      params.dwSize = sizeof params;
      sim::SetField(params.szEntryName, sizeof params.szEntryName, entry);
      sim::SetField(params.szUserName, sizeof params.szUserName, user);
      sim::SetField(params.szPassword, sizeof params.szPassword, password);
      HANDLE handle = nullptr;
      DWORD started = GetTickCount();
      DWORD result = RasDialA(nullptr, nullptr, &params, 0, nullptr, &handle);
      last = handle;
      o.Gbk("entry", entry)
          .Int("result", result)
          .Int("handle", reinterpret_cast<std::uintptr_t>(handle));
      o.Int("ms", GetTickCount() - started);
    } else if (action == "status") {
      HANDLE handle = HandleArg(args, &i, last);
      RasConnStatusA status{};
      status.dwSize = sizeof status;
      DWORD result = RasGetConnectStatusA(handle, &status);
      o.Int("handle", reinterpret_cast<std::uintptr_t>(handle)).Int("result", result);
      o.Int("state", status.rasconnstate)
          .Int("error", status.dwError)
          .Gbk("device", status.szDeviceType);
    } else if (action == "hangup") {
      HANDLE handle = HandleArg(args, &i, last);
      o.Int("handle", reinterpret_cast<std::uintptr_t>(handle)).Int("result", RasHangUpA(handle));
    } else if (action == "conns") {
      DWORD room = (i + 1 < args.size() && isdigit(static_cast<unsigned char>(args[i + 1][0])))
                       ? strtoul(args[++i].c_str(), nullptr, 0)
                       : 38;
      std::vector<RasConnA> conns(room ? room : 1);
      conns[0].dwSize = sizeof(RasConnA);
      DWORD bytes = room * sizeof(RasConnA), count = 0;
      DWORD result = RasEnumConnectionsA(conns.data(), &bytes, &count);
      std::string list = "[";
      for (DWORD k = 0; result == 0 && k < count; ++k) {
        sim::JsonObject c;
        c.Int("handle", conns[k].hrasconn)
            .Gbk("entry", conns[k].szEntryName)
            .Gbk("device", conns[k].szDeviceName);
        list += (k ? "," : "") + c.Done();
      }
      o.Int("result", result).Int("bytes", bytes).Int("count", count).Raw("conns", list + "]");
    } else if (action == "clock") {
      // For timing a sequence of steps: the time and this process's CPU time so far.
      LARGE_INTEGER now, frequency;
      QueryPerformanceCounter(&now);
      QueryPerformanceFrequency(&frequency);
      FILETIME created, exited, kernel, user;
      GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
      auto ticks = [](const FILETIME& ft) {
        return (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
      };
      o.Raw("ms", std::to_string(static_cast<double>(now.QuadPart) * 1000.0 /
                                 static_cast<double>(frequency.QuadPart)));
      o.Raw("cpu_ms", std::to_string(static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0));
    } else if (action == "badsize") {
      RasEntryNameA entries[2] = {};
      entries[0].dwSize = 100;
      DWORD bytes = sizeof entries, count = 0;
      o.Int("result", RasEnumEntriesA(nullptr, nullptr, entries, &bytes, &count));
    } else if (action == "fetch") {
      std::string url = "http://127.0.0.1:18473/ic.asp";
      if (i + 1 < args.size() && args[i + 1].rfind("http", 0) == 0) url = args[++i];
      std::string body = Fetch(url, &o);
      size_t open = body.find('['),
             close = open == std::string::npos ? open : body.find(']', open + 1);
      std::string address = (open == std::string::npos || close == std::string::npos)
                                ? ""
                                : body.substr(open + 1, close - open - 1);
      o.Int("length", static_cast<long long>(body.size())).Gbk("address", address);
      o.Gbk("head", body.substr(0, 200));
    } else {
      o.Str("error", "unknown action or missing arguments");
      Print(o);
      return 2;
    }
    Print(o);
  }
  return 0;
}
