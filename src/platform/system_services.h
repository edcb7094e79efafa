// Small OS services: the tick count, message dispatch and message boxes.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelnor {

class Clock {
 public:
  virtual ~Clock() = default;
  // The system's millisecond tick count; wraps after about 49.7 days.
  virtual std::uint32_t TickCount() = 0;
  // Gives up the processor for about `ms` milliseconds.
  virtual void Sleep(std::uint32_t ms) = 0;
};

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Dispatches every message pending for the thread. Stops at a quit message,
  // which stays queued; returns true when one is waiting.
  virtual bool DispatchPending() = 0;
  // Returns when a message arrives for the thread or `ms` have passed.
  virtual void WaitForMessage(std::uint32_t ms) = 0;
};

constexpr std::uint32_t kMbIconExclamation = 48;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A task-modal box without an owner window; returns when it is closed.
  virtual void Show(std::string_view text, std::string_view title, std::uint32_t flags) = 0;
};

}  // namespace pelnor
