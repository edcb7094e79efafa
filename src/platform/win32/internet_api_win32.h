// InternetApi over wininet.dll, loaded at run time from the system directory.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "platform/internet_api.h"

namespace pelnor {

class Win32InternetApi : public InternetApi {
 public:
  Win32InternetApi();
  ~Win32InternetApi() override;
  Win32InternetApi(const Win32InternetApi&) = delete;
  Win32InternetApi& operator=(const Win32InternetApi&) = delete;

  InternetHandle Open(const std::string& agent, std::uint32_t access_type) override;
  bool SetOption(InternetHandle handle, std::uint32_t option, std::uint32_t value) override;
  bool CanonicalizeUrl(const std::string& url, std::uint32_t flags,
                       std::string* canonical) override;
  bool CrackUrl(const std::string& url, UrlParts* parts) override;
  InternetHandle Connect(InternetHandle session, const std::string& host, std::uint16_t port,
                         const std::string& user, const std::string& password,
                         std::uint32_t service) override;
  InternetHandle OpenRequest(InternetHandle connection, const std::string& verb,
                             const std::string& path, const std::string& version,
                             const std::string& accept_type, std::uint32_t flags) override;
  bool SendRequest(InternetHandle request, const std::string& headers) override;
  bool QueryInfo(InternetHandle request, std::uint32_t info_level, char* buffer,
                 std::uint32_t* size) override;
  bool ReadFile(InternetHandle request, char* buffer, std::uint32_t size,
                std::uint32_t* read) override;
  bool CloseHandle(InternetHandle handle) override;

 private:
  HMODULE module_ = nullptr;
  decltype(&::InternetOpenA) open_ = nullptr;
  decltype(&::InternetSetOptionA) set_option_ = nullptr;
  decltype(&::InternetCanonicalizeUrlA) canonicalize_url_ = nullptr;
  decltype(&::InternetCrackUrlA) crack_url_ = nullptr;
  decltype(&::InternetConnectA) connect_ = nullptr;
  decltype(&::HttpOpenRequestA) open_request_ = nullptr;
  decltype(&::HttpSendRequestA) send_request_ = nullptr;
  decltype(&::HttpQueryInfoA) query_info_ = nullptr;
  decltype(&::InternetReadFile) read_file_ = nullptr;
  decltype(&::InternetCloseHandle) close_handle_ = nullptr;
};

}  // namespace pelnor
