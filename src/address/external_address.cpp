#include "address/external_address.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "connection/dialup_service.h"
#include "text/gbk_text.h"

namespace pelnor {

namespace {

constexpr std::string_view kQuoteMarker = "#引号";
constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr std::uint32_t kLengthRoom = 32;
constexpr std::int64_t kLargestReadSize = 102400;
constexpr std::uint32_t kUnknownLengthReadSize = 10240;
// An echo page is a few hundred bytes; a server that streams more is not one.
constexpr std::size_t kMaxBodyBytes = 1048576;
// A stalled server would otherwise hold the window for WinINet's own minutes.
constexpr std::uint32_t kTimeoutMs = 10000;

std::string ReplaceQuoteMarker(std::string_view text) {
  std::string replaced;
  replaced.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, kQuoteMarker.size()) == kQuoteMarker) {
      replaced.push_back('"');
      i += kQuoteMarker.size();
    } else if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      replaced.append(text.substr(i, 2));
      i += 2;
    } else {
      replaced.push_back(text[i++]);
    }
  }
  return replaced;
}

std::uint32_t ReadSize(InternetApi& inet, InternetHandle request) {
  char length_text[kLengthRoom] = {};
  std::uint32_t size = kLengthRoom;
  if (!inet.QueryInfo(request, kHttpQueryContentLength, length_text, &size)) {
    return kUnknownLengthReadSize;
  }
  const std::int64_t length =
      TextToInt(std::string_view(length_text, strnlen(length_text, kLengthRoom)));
  if (length <= 0) return kUnknownLengthReadSize;
  return static_cast<std::uint32_t>(std::min(length + 1, kLargestReadSize));
}

}  // namespace

std::string BytesToText(std::string_view bytes) {
  return std::string(bytes.substr(0, bytes.find('\0')));
}

std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start, bool case_insensitive) {
  const std::string left2 = ReplaceQuoteMarker(left);
  const std::string right2 = ReplaceQuoteMarker(right);
  const int left_at = FindText(text, left2, start, case_insensitive);
  if (left_at < 0) return {};
  const std::int64_t from = left_at + static_cast<std::int64_t>(left2.size());
  if (from > static_cast<std::int64_t>(text.size())) return {};
  const int right_at = FindText(text, right2, static_cast<int>(from), case_insensitive);
  // An empty right delimiter is found at position 1, before `from`: nothing between.
  if (right_at < from) return {};
  return std::string(
      text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(right_at - from)));
}

ExternalAddress::~ExternalAddress() {
  if (session_ != 0) inet_.CloseHandle(session_);
}

std::string ExternalAddress::FetchPage(std::string_view url) {
  if (url.empty()) return {};
  std::string canonical;
  UrlParts parts;
  if (!inet_.CanonicalizeUrl(std::string(url), kIcuNoEncode, &canonical) ||
      !inet_.CrackUrl(canonical, &parts)) {
    return {};
  }
  const int fragment_at = FindText(parts.path, "#", 1, false);
  if (fragment_at > 0) parts.path.resize(static_cast<std::size_t>(fragment_at - 1));
  // "http://host" names the site's root, as a browser reads it.
  if (parts.path.empty()) parts.path = "/";

  if (session_ == 0) {
    session_ = inet_.Open(kUserAgent, kInternetOpenTypeDirect);
    if (session_ == 0) return {};
    inet_.SetOption(session_, kInternetOptionConnectTimeout, kTimeoutMs);
    inet_.SetOption(session_, kInternetOptionSendTimeout, kTimeoutMs);
    inet_.SetOption(session_, kInternetOptionReceiveTimeout, kTimeoutMs);
  }

  const InternetHandle connection = inet_.Connect(session_, parts.host, parts.port, parts.user,
                                                  parts.password, kInternetServiceHttp);
  if (connection == 0) return {};

  std::uint32_t flags = kInternetFlagReload | kInternetFlagNoCacheWrite;
  if (parts.scheme == kInternetSchemeHttps) flags |= kInternetFlagSecure;
  std::string body;
  const InternetHandle request =
      inet_.OpenRequest(connection, "GET", parts.path, "HTTP/1.0", "*/*", flags);
  if (request != 0) {
    // Not every WinINet passes the session's send and receive time-outs on to
    // its requests (Wine does not): the request gets them itself as well.
    inet_.SetOption(request, kInternetOptionSendTimeout, kTimeoutMs);
    inet_.SetOption(request, kInternetOptionReceiveTimeout, kTimeoutMs);
    if (inet_.SendRequest(request, "Accept: */*")) {
      std::vector<char> piece(ReadSize(inet_, request));
      while (body.size() < kMaxBodyBytes) {
        const auto want = static_cast<std::uint32_t>(
            std::min<std::size_t>(piece.size(), kMaxBodyBytes - body.size()));
        std::uint32_t got = 0;
        if (!inet_.ReadFile(request, piece.data(), want, &got) || got == 0) break;
        body.append(piece.data(), std::min(got, want));
      }
    }
    inet_.CloseHandle(request);
  }
  inet_.CloseHandle(connection);
  return body;
}

std::string ExternalAddress::LookUpExternalAddress() {
  return TextBetween(BytesToText(FetchPage(echo_url_)), "[", "]", 0, false);
}

NetworkEnvironment ExternalAddress::ClassifyNetworkEnvironment(DialUpService& dialup) {
  const std::string address = LookUpExternalAddress();
  const bool online = dialup.IsOnline();
  if (address.empty()) return NetworkEnvironment::kNoAddress;
  return online ? NetworkEnvironment::kDialUpOnline : NetworkEnvironment::kRouterOrWireless;
}

}  // namespace pelnor
