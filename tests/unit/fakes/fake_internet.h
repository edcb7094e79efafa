// WinINet as a table of handles in front of a server function. Records every
// call the fetch makes; each step can be made to fail.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/journal.h"
#include "platform/internet_api.h"

namespace pelnor {

class FakeInternet : public InternetApi {
 public:
  struct Response {
    std::string body;
    std::optional<std::string> content_length;        // the header's text, when sent
    bool unreachable = false;                         // the send fails
    bool endless = false;                             // the body never ends
    std::size_t fail_read_after = std::string::npos;  // a read fails past this many bytes
  };
  struct Connection {
    InternetHandle session;
    std::string host;
    std::uint16_t port;
    std::string user;
    std::string password;
    std::uint32_t service;
  };
  struct Request {
    InternetHandle connection;
    std::string verb;
    std::string path;
    std::string version;
    std::string accept_type;
    std::uint32_t flags;
    std::string headers;
  };
  struct Option {
    InternetHandle handle;
    std::uint32_t option;
    std::uint32_t value;
  };

  InternetHandle Open(const std::string& agent, std::uint32_t access_type) override {
    opens.push_back({agent, access_type});
    if (open_failures > 0) {
      --open_failures;
      return 0;
    }
    return NewHandle();
  }

  bool SetOption(InternetHandle handle, std::uint32_t option, std::uint32_t value) override {
    options.push_back({handle, option, value});
    return live.count(handle) > 0;
  }

  bool CanonicalizeUrl(const std::string& url, std::uint32_t flags,
                       std::string* canonical) override {
    canonicalize_flags.push_back(flags);
    if (canonicalize_fails) return false;
    *canonical = url;
    return true;
  }

  // scheme://[user[:password]@]host[:port][path]
  bool CrackUrl(const std::string& url, UrlParts* parts) override {
    const std::size_t scheme_end = url.find("://");
    if (scheme_end == std::string::npos) return false;
    const std::string scheme = url.substr(0, scheme_end);
    if (scheme == "http") {
      *parts = {kInternetSchemeHttp, {}, 80, {}, {}, {}};
    } else if (scheme == "https") {
      *parts = {kInternetSchemeHttps, {}, 443, {}, {}, {}};
    } else {
      return false;
    }
    std::string rest = url.substr(scheme_end + 3);
    const std::size_t path_at = std::min(rest.find_first_of("/?#"), rest.size());
    parts->path = rest.substr(path_at);
    std::string authority = rest.substr(0, path_at);
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos) {
      const std::string credentials = authority.substr(0, at);
      authority.erase(0, at + 1);
      const std::size_t colon = credentials.find(':');
      parts->user = credentials.substr(0, colon);
      if (colon != std::string::npos) parts->password = credentials.substr(colon + 1);
    }
    if (const std::size_t colon = authority.find(':'); colon != std::string::npos) {
      parts->port = static_cast<std::uint16_t>(std::stoi(authority.substr(colon + 1)));
      authority.erase(colon);
    }
    parts->host = authority;
    return !parts->host.empty();
  }

  InternetHandle Connect(InternetHandle session, const std::string& host, std::uint16_t port,
                         const std::string& user, const std::string& password,
                         std::uint32_t service) override {
    connections.push_back({session, host, port, user, password, service});
    if (connect_fails || live.count(session) == 0) return 0;
    const InternetHandle handle = NewHandle();
    host_of_[handle] = host;
    return handle;
  }

  InternetHandle OpenRequest(InternetHandle connection, const std::string& verb,
                             const std::string& path, const std::string& version,
                             const std::string& accept_type, std::uint32_t flags) override {
    requests.push_back({connection, verb, path, version, accept_type, flags, {}});
    if (open_request_fails || live.count(connection) == 0) return 0;
    const InternetHandle handle = NewHandle();
    exchanges_[handle] = {requests.size() - 1, host_of_[connection], {}, 0};
    return handle;
  }

  bool SendRequest(InternetHandle request, const std::string& headers) override {
    const auto found = exchanges_.find(request);
    if (found == exchanges_.end()) return false;
    Request& sent = requests[found->second.request_index];
    sent.headers = headers;
    Note(journal, sent.verb + " " + sent.path);
    if (send_fails || !server) return false;
    found->second.response = server(found->second.host, sent.path);
    return !found->second.response.unreachable;
  }

  bool QueryInfo(InternetHandle request, std::uint32_t info_level, char* buffer,
                 std::uint32_t* size) override {
    query_rooms.push_back(*size);
    const auto found = exchanges_.find(request);
    if (found == exchanges_.end() || info_level != kHttpQueryContentLength) return false;
    const std::optional<std::string>& length = found->second.response.content_length;
    if (!length || length->size() + 1 > *size) return false;
    std::memcpy(buffer, length->c_str(), length->size() + 1);
    *size = static_cast<std::uint32_t>(length->size());
    return true;
  }

  bool ReadFile(InternetHandle request, char* buffer, std::uint32_t size,
                std::uint32_t* read) override {
    read_sizes.push_back(size);
    *read = 0;
    const auto found = exchanges_.find(request);
    if (found == exchanges_.end()) return false;
    Exchange& exchange = found->second;
    const Response& response = exchange.response;
    if (exchange.offset >= response.fail_read_after) return false;
    std::size_t give = std::min<std::size_t>(size, max_piece);
    if (response.endless) {
      give = std::min<std::size_t>(give, kEndlessBytes - std::min(exchange.offset, kEndlessBytes));
      std::memset(buffer, 'x', give);
    } else {
      give = std::min(give, response.body.size() - std::min(exchange.offset, response.body.size()));
      give = std::min(give, response.fail_read_after - exchange.offset);
      std::memcpy(buffer, response.body.data() + exchange.offset, give);
    }
    exchange.offset += give;
    *read = static_cast<std::uint32_t>(give);
    return true;
  }

  bool CloseHandle(InternetHandle handle) override {
    closed.push_back(handle);
    exchanges_.erase(handle);
    return live.erase(handle) > 0;
  }

  // The server: (host, path) -> response.
  std::function<Response(const std::string&, const std::string&)> server;

  int open_failures = 0;
  bool canonicalize_fails = false;
  bool connect_fails = false;
  bool open_request_fails = false;
  bool send_fails = false;
  std::size_t max_piece = 4096;  // bytes the network delivers per read at most

  std::vector<std::pair<std::string, std::uint32_t>> opens;
  std::vector<Option> options;
  std::vector<std::uint32_t> canonicalize_flags;
  std::vector<Connection> connections;
  std::vector<Request> requests;
  std::vector<std::uint32_t> query_rooms;
  std::vector<std::uint32_t> read_sizes;
  std::vector<InternetHandle> closed;
  std::set<InternetHandle> live;  // handles open now
  Journal* journal = nullptr;

 private:
  static constexpr std::size_t kEndlessBytes = 8u << 20;

  struct Exchange {
    std::size_t request_index;
    std::string host;
    Response response;
    std::size_t offset;
  };

  InternetHandle NewHandle() {
    const InternetHandle handle = next_handle_++;
    live.insert(handle);
    return handle;
  }

  InternetHandle next_handle_ = 0xCC00;
  std::map<InternetHandle, std::string> host_of_;
  std::map<InternetHandle, Exchange> exchanges_;
};

}  // namespace pelnor
