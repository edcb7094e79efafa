// The public IPv4 address as the internet sees it, from an IP-echo page whose
// first bracketed text is the caller's address.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/internet_api.h"

namespace pelnor {

class DialUpService;

enum class NetworkEnvironment : int { kRouterOrWireless = 0, kDialUpOnline = 1, kNoAddress = 2 };

// The bytes up to the first zero byte.
std::string BytesToText(std::string_view bytes);

// The text between `left` and the next `right`, searched from `start` (1-based).
// "#引号" in a delimiter stands for a double quote. Empty when either is missing.
std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start, bool case_insensitive);

class ExternalAddress {
 public:
  ExternalAddress(InternetApi& inet, std::string echo_url)
      : inet_(inet), echo_url_(std::move(echo_url)) {}
  ~ExternalAddress();
  ExternalAddress(const ExternalAddress&) = delete;
  ExternalAddress& operator=(const ExternalAddress&) = delete;

  // The body of an HTTP GET of `url`; empty on failure.
  std::string FetchPage(std::string_view url);
  // The address, or empty when the page gives none.
  std::string LookUpExternalAddress();
  NetworkEnvironment ClassifyNetworkEnvironment(DialUpService& dialup);

 private:
  InternetApi& inet_;
  std::string echo_url_;
  InternetHandle session_ = 0;  // opened by the first fetch, kept to the end
};

}  // namespace pelnor
