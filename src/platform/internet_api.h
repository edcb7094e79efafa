// The WinINet calls of the IP-echo fetch, in WinINet's own terms.
#pragma once

#include <cstdint>
#include <string>

namespace pelnor {

using InternetHandle = std::uint32_t;  // HINTERNET; 0 is none

constexpr std::uint32_t kInternetOpenTypeDirect = 1;
constexpr std::uint32_t kInternetServiceHttp = 3;
constexpr std::uint32_t kIcuNoEncode = 0x20000000;
constexpr int kInternetSchemeHttp = 3;
constexpr int kInternetSchemeHttps = 4;
constexpr std::uint32_t kInternetFlagReload = 0x80000000;
constexpr std::uint32_t kInternetFlagNoCacheWrite = 0x04000000;
constexpr std::uint32_t kInternetFlagSecure = 0x00800000;
constexpr std::uint32_t kHttpQueryContentLength = 5;
constexpr std::uint32_t kInternetOptionConnectTimeout = 2;
constexpr std::uint32_t kInternetOptionSendTimeout = 5;
constexpr std::uint32_t kInternetOptionReceiveTimeout = 6;

// What InternetCrackUrlA splits a URL into. `path` is everything after the
// host and port: query and fragment stay in it.
struct UrlParts {
  int scheme = 0;
  std::string host;
  std::uint16_t port = 0;
  std::string user;
  std::string password;
  std::string path;
};

class InternetApi {
 public:
  virtual ~InternetApi() = default;
  // InternetOpenA with no proxy named.
  virtual InternetHandle Open(const std::string& agent, std::uint32_t access_type) = 0;
  // InternetSetOptionA with a DWORD value.
  virtual bool SetOption(InternetHandle handle, std::uint32_t option, std::uint32_t value) = 0;
  virtual bool CanonicalizeUrl(const std::string& url, std::uint32_t flags,
                               std::string* canonical) = 0;
  virtual bool CrackUrl(const std::string& url, UrlParts* parts) = 0;
  virtual InternetHandle Connect(InternetHandle session, const std::string& host,
                                 std::uint16_t port, const std::string& user,
                                 const std::string& password, std::uint32_t service) = 0;
  // HttpOpenRequestA with no referrer and the one accepted media type given.
  virtual InternetHandle OpenRequest(InternetHandle connection, const std::string& verb,
                                     const std::string& path, const std::string& version,
                                     const std::string& accept_type, std::uint32_t flags) = 0;
  // HttpSendRequestA with extra headers and no body.
  virtual bool SendRequest(InternetHandle request, const std::string& headers) = 0;
  // HttpQueryInfoA into `buffer` of `*size` bytes; `*size` out: the bytes written.
  virtual bool QueryInfo(InternetHandle request, std::uint32_t info_level, char* buffer,
                         std::uint32_t* size) = 0;
  virtual bool ReadFile(InternetHandle request, char* buffer, std::uint32_t size,
                        std::uint32_t* read) = 0;
  virtual bool CloseHandle(InternetHandle handle) = 0;
};

}  // namespace pelnor
