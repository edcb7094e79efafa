// Dial, HangUp and Redial: the program's three actions, with the two public
// addresses they keep.
#pragma once

#include <string>
#include <string_view>

#include "tray/notices.h"

namespace pelnor {

class DialUpService;
class ExternalAddress;
class MainWindow;
class MessageBoxes;
class MessagePump;
class Clock;

class ConnectionActions {
 public:
  ConnectionActions(DialUpService& dialup, ExternalAddress& address, MainWindow& window,
                    Notices& notices, MessageBoxes& boxes, MessagePump& pump, Clock& clock)
      : dialup_(dialup),
        address_(address),
        window_(window),
        notices_(notices),
        boxes_(boxes),
        pump_(pump),
        clock_(clock) {}

  void Dial();
  void HangUp();
  void Redial();

  const std::string& CurrentAddress() const { return current_address_; }
  const std::string& PreviousAddress() const { return previous_address_; }
  // Gives back the memory of both addresses, at the program's end.
  void ReleaseAddresses();

 private:
  void Notice(std::string_view text, NoticeKind kind);
  // Dials the entry selected in the window; true when a connection is up afterwards.
  bool DialSelectedEntry();

  DialUpService& dialup_;
  ExternalAddress& address_;
  MainWindow& window_;
  Notices& notices_;
  MessageBoxes& boxes_;
  MessagePump& pump_;
  Clock& clock_;
  std::string current_address_;
  std::string previous_address_;
};

}  // namespace pelnor
