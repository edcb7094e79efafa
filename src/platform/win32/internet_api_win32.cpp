// InternetApi over wininet.dll.
#include "platform/win32/internet_api_win32.h"

#include <cstdint>

#include "platform/win32/system_library.h"

namespace pelnor {

namespace {

static_assert(sizeof(HINTERNET) == sizeof(InternetHandle), "handles are 32-bit on i686");

HINTERNET ToSystem(InternetHandle handle) {
  return reinterpret_cast<HINTERNET>(static_cast<std::uintptr_t>(handle));
}

InternetHandle FromSystem(HINTERNET handle) {
  return static_cast<InternetHandle>(reinterpret_cast<std::uintptr_t>(handle));
}

// An empty text passed as NULL: no credentials rather than empty ones.
const char* OrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}

std::string Piece(const char* text, DWORD length) {
  return text == nullptr ? std::string() : std::string(text, length);
}

}  // namespace

Win32InternetApi::Win32InternetApi() : module_(LoadSystemLibrary("wininet.dll")) {
  open_ = SystemFunction<decltype(open_)>(module_, "InternetOpenA");
  set_option_ = SystemFunction<decltype(set_option_)>(module_, "InternetSetOptionA");
  canonicalize_url_ =
      SystemFunction<decltype(canonicalize_url_)>(module_, "InternetCanonicalizeUrlA");
  crack_url_ = SystemFunction<decltype(crack_url_)>(module_, "InternetCrackUrlA");
  connect_ = SystemFunction<decltype(connect_)>(module_, "InternetConnectA");
  open_request_ = SystemFunction<decltype(open_request_)>(module_, "HttpOpenRequestA");
  send_request_ = SystemFunction<decltype(send_request_)>(module_, "HttpSendRequestA");
  query_info_ = SystemFunction<decltype(query_info_)>(module_, "HttpQueryInfoA");
  read_file_ = SystemFunction<decltype(read_file_)>(module_, "InternetReadFile");
  close_handle_ = SystemFunction<decltype(close_handle_)>(module_, "InternetCloseHandle");
}

Win32InternetApi::~Win32InternetApi() {
  if (module_ != nullptr) FreeLibrary(module_);
}

InternetHandle Win32InternetApi::Open(const std::string& agent, std::uint32_t access_type) {
  if (open_ == nullptr) return 0;
  return FromSystem(open_(agent.c_str(), access_type, nullptr, nullptr, 0));
}

bool Win32InternetApi::SetOption(InternetHandle handle, std::uint32_t option, std::uint32_t value) {
  if (set_option_ == nullptr) return false;
  DWORD dword_value = value;
  return set_option_(ToSystem(handle), option, &dword_value, sizeof(dword_value)) != FALSE;
}

bool Win32InternetApi::CanonicalizeUrl(const std::string& url, std::uint32_t flags,
                                       std::string* canonical) {
  if (canonicalize_url_ == nullptr) return false;
  DWORD length = static_cast<DWORD>(url.size() * 3 + 64);
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::string buffer(length + 1, '\0');
    DWORD room = length;
    if (canonicalize_url_(url.c_str(), buffer.data(), &room, flags)) {
      buffer.resize(room);
      *canonical = std::move(buffer);
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || room <= length) return false;
    length = room;  // the size it needs
  }
  return false;
}

bool Win32InternetApi::CrackUrl(const std::string& url, UrlParts* parts) {
  if (crack_url_ == nullptr) return false;
  // Lengths without buffers: the parts come back as pointers into `url`.
  URL_COMPONENTSA components{};
  components.dwStructSize = sizeof(components);
  components.dwHostNameLength = 1;
  components.dwUserNameLength = 1;
  components.dwPasswordLength = 1;
  components.dwUrlPathLength = 1;
  components.dwExtraInfoLength = 1;
  if (!crack_url_(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return false;
  parts->scheme = components.nScheme;
  parts->host = Piece(components.lpszHostName, components.dwHostNameLength);
  parts->port = components.nPort;
  parts->user = Piece(components.lpszUserName, components.dwUserNameLength);
  parts->password = Piece(components.lpszPassword, components.dwPasswordLength);
  // Query and fragment belong to the path the request names.
  parts->path = Piece(components.lpszUrlPath, components.dwUrlPathLength) +
                Piece(components.lpszExtraInfo, components.dwExtraInfoLength);
  return true;
}

InternetHandle Win32InternetApi::Connect(InternetHandle session, const std::string& host,
                                         std::uint16_t port, const std::string& user,
                                         const std::string& password, std::uint32_t service) {
  if (connect_ == nullptr) return 0;
  return FromSystem(connect_(ToSystem(session), host.c_str(), port, OrNull(user), OrNull(password),
                             service, 0, 0));
}

InternetHandle Win32InternetApi::OpenRequest(InternetHandle connection, const std::string& verb,
                                             const std::string& path, const std::string& version,
                                             const std::string& accept_type, std::uint32_t flags) {
  if (open_request_ == nullptr) return 0;
  const char* accept_types[] = {accept_type.c_str(), nullptr};
  return FromSystem(open_request_(ToSystem(connection), verb.c_str(), path.c_str(), version.c_str(),
                                  nullptr, accept_types, flags, 0));
}

bool Win32InternetApi::SendRequest(InternetHandle request, const std::string& headers) {
  if (send_request_ == nullptr) return false;
  return send_request_(ToSystem(request), headers.c_str(), static_cast<DWORD>(headers.size()),
                       nullptr, 0) != FALSE;
}

bool Win32InternetApi::QueryInfo(InternetHandle request, std::uint32_t info_level, char* buffer,
                                 std::uint32_t* size) {
  if (query_info_ == nullptr) return false;
  DWORD length = *size;
  const bool ok = query_info_(ToSystem(request), info_level, buffer, &length, nullptr) != FALSE;
  *size = length;
  return ok;
}

bool Win32InternetApi::ReadFile(InternetHandle request, char* buffer, std::uint32_t size,
                                std::uint32_t* read) {
  *read = 0;
  if (read_file_ == nullptr) return false;
  DWORD got = 0;
  const bool ok = read_file_(ToSystem(request), buffer, size, &got) != FALSE;
  *read = got;
  return ok;
}

bool Win32InternetApi::CloseHandle(InternetHandle handle) {
  if (close_handle_ == nullptr) return false;
  return close_handle_(ToSystem(handle)) != FALSE;
}

}  // namespace pelnor
