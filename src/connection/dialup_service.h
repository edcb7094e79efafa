// The dial-up networking of the system as the program uses it: the phone
// book's entries, one synchronous dial, hanging up and the connected test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ras_api.h"
#include "platform/system_services.h"

namespace pelnor {

class DialUpService {
 public:
  DialUpService(RasApi& ras, Clock& clock) : ras_(ras), clock_(clock) {}

  int GetEntryCount();
  // The name at a 0-based position of a fresh listing; empty when out of range.
  std::string GetEntryName(int index);
  // Dials the phone-book entry at the index after the "@" of `target` and
  // returns when the attempt has ended: no notifier is used, so `wait` changes
  // nothing. The handle becomes the remembered connection. Credentials longer
  // than 256 bytes dial nothing.
  bool DialEntry(std::string_view target, std::string_view user, std::string_view password,
                 bool wait);
  // Hangs up the remembered connection and every active one.
  void HangUpAll();
  // True when the remembered or any active connection is connected.
  bool IsOnline();

 private:
  std::vector<RasEntryNameA> ListEntries();
  std::vector<RasConnA> ListConnections(bool* ok);
  bool IsConnected(RasHandle connection);
  void HangUpOne(RasHandle connection);
  void HangUpRemembered();

  RasApi& ras_;
  Clock& clock_;
  RasHandle remembered_ = 0;
};

}  // namespace pelnor
