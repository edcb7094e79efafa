// A phone book and a set of connections behind the RAS calls. It checks the
// dwSize of what it is handed, answers ERROR_BUFFER_TOO_SMALL with the size it
// needs as the system does, and hands each connection the next address of a pool.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fakes/journal.h"
#include "platform/ras_api.h"

namespace pelnor {

constexpr std::uint32_t kRasDisconnected = 0x2001;          // RASCS_Disconnected
constexpr std::uint32_t kRasAuthenticate = 6;               // RASCS_Authenticate
constexpr std::uint32_t kErrorInvalidSize = 632;            // ERROR_INVALID_SIZE
constexpr std::uint32_t kErrorCannotFindEntry = 623;        // ERROR_CANNOT_FIND_PHONEBOOK_ENTRY
constexpr std::uint32_t kErrorAuthenticationFailure = 691;  // ERROR_AUTHENTICATION_FAILURE

class FakeRas : public RasApi {
 public:
  struct Connection {
    std::string entry;
    std::string address;
    std::uint32_t state = kRasConnected;
    bool hanging_up = false;
    int polls_left = 0;  // status polls that still see the handle after the hang-up
  };
  struct Dialled {
    std::uint32_t dw_size;
    std::string entry;
    std::string user;
    std::string password;
  };
  struct Listing {
    std::uint32_t dw_size;  // of the first record
    std::uint32_t room;     // bytes offered
  };

  std::uint32_t EnumEntries(RasEntryNameA* entries, std::uint32_t* size_bytes,
                            std::uint32_t* count) override {
    entry_listings.push_back({entries[0].dwSize, *size_bytes});
    if (enum_entries_error != 0) return enum_entries_error;
    if (entries[0].dwSize != sizeof(RasEntryNameA)) return kErrorInvalidSize;
    const auto needed = static_cast<std::uint32_t>(phone_book.size() * sizeof(RasEntryNameA));
    const std::uint32_t room = *size_bytes;
    *size_bytes = needed;
    *count = static_cast<std::uint32_t>(phone_book.size());
    if (room < needed) return kErrorBufferTooSmall;
    for (std::size_t i = 0; i < phone_book.size(); ++i) {
      std::strncpy(entries[i].szEntryName, phone_book[i].c_str(),
                   sizeof(entries[i].szEntryName) - 1);
    }
    return 0;
  }

  std::uint32_t Dial(const RasDialParamsA& params, RasHandle* connection) override {
    dialled.push_back({params.dwSize, params.szEntryName, params.szUserName, params.szPassword});
    Note(journal, "dial " + dialled.back().entry + " " + dialled.back().user + " " +
                      dialled.back().password);
    if (params.dwSize != sizeof(RasDialParamsA)) return kErrorInvalidSize;
    bool known = false;
    for (const std::string& name : phone_book) known = known || name == params.szEntryName;
    std::uint32_t error = dial_error;
    if (!known) error = kErrorCannotFindEntry;
    if (error == 0 && !password.empty() && password != params.szPassword) {
      error = kErrorAuthenticationFailure;
    }
    // Like the system, a failed attempt still hands out a handle to hang up.
    Connection made{params.szEntryName, {}, error == 0 ? kRasConnected : kRasDisconnected};
    if (error == 0 && !address_pool.empty()) {
      made.address = address_pool[next_address++ % address_pool.size()];
    }
    *connection = Add(made);
    return error;
  }

  std::uint32_t HangUp(RasHandle connection) override {
    hung_up.push_back(connection);
    const auto found = connections.find(connection);
    Note(journal, "hangup " + (found == connections.end() ? "?" : found->second.entry));
    if (found == connections.end()) return kErrorInvalidHandle;
    found->second.state = kRasDisconnected;
    found->second.hanging_up = true;
    found->second.polls_left = polls_until_gone;
    return 0;
  }

  std::uint32_t EnumConnections(RasConnA* records, std::uint32_t* size_bytes,
                                std::uint32_t* count) override {
    connection_listings.push_back({records[0].dwSize, *size_bytes});
    if (enum_connections_error != 0) return enum_connections_error;
    if (records[0].dwSize != sizeof(RasConnA)) return kErrorInvalidSize;
    const auto needed = static_cast<std::uint32_t>(connections.size() * sizeof(RasConnA));
    const std::uint32_t room = *size_bytes;
    *size_bytes = needed;
    *count = static_cast<std::uint32_t>(connections.size());
    if (room < needed) return kErrorBufferTooSmall;
    std::size_t i = 0;
    for (const auto& [handle, made] : connections) {
      records[i].hrasconn = handle;
      std::strncpy(records[i].szEntryName, made.entry.c_str(), sizeof(records[i].szEntryName) - 1);
      ++i;
    }
    return 0;
  }

  std::uint32_t GetConnectStatus(RasHandle connection, RasConnStatusA* status) override {
    status_sizes.push_back(status->dwSize);
    const auto found = connections.find(connection);
    if (found == connections.end()) return kErrorInvalidHandle;
    if (status->dwSize != sizeof(RasConnStatusA)) return kErrorInvalidSize;
    Connection& made = found->second;
    if (made.hanging_up) {
      if (made.polls_left == 0) {
        connections.erase(found);
        return kErrorInvalidHandle;
      }
      if (made.polls_left > 0) --made.polls_left;
    }
    status->rasconnstate = made.state;
    return 0;
  }

  // A connection made outside the program, or one still being set up.
  RasHandle Add(Connection made) {
    const RasHandle handle = next_handle;
    next_handle += 4;
    connections[handle] = std::move(made);
    return handle;
  }

  // The public address of the first connection that is up; empty when none is.
  std::string OnlineAddress() const {
    for (const auto& [handle, made] : connections) {
      if (made.state == kRasConnected && !made.hanging_up) return made.address;
    }
    return {};
  }

  int ConnectedCount() const {
    int up = 0;
    for (const auto& [handle, made] : connections) up += made.state == kRasConnected;
    return up;
  }

  // The world.
  std::vector<std::string> phone_book;
  std::map<RasHandle, Connection> connections;
  std::vector<std::string> address_pool;
  std::size_t next_address = 0;
  RasHandle next_handle = 0x100;
  std::string password;  // the provider's; empty accepts any
  std::uint32_t dial_error = 0;
  std::uint32_t enum_entries_error = 0;
  std::uint32_t enum_connections_error = 0;
  int polls_until_gone = 0;  // -1: a hung-up handle never goes away

  // What the program asked.
  std::vector<Listing> entry_listings;
  std::vector<Listing> connection_listings;
  std::vector<Dialled> dialled;
  std::vector<RasHandle> hung_up;
  std::vector<std::uint32_t> status_sizes;
  Journal* journal = nullptr;
};

}  // namespace pelnor
