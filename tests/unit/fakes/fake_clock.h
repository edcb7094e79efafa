// A tick count that moves only when told to or when someone sleeps.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/system_services.h"

namespace pelnor {

class FakeClock : public Clock {
 public:
  explicit FakeClock(std::uint32_t start = 5000) : ticks(start) {}

  std::uint32_t TickCount() override { return ticks; }
  void Sleep(std::uint32_t ms) override {
    sleeps.push_back(ms);
    ticks += ms;
  }
  void Advance(std::uint32_t ms) { ticks += ms; }

  std::uint32_t ticks;
  std::vector<std::uint32_t> sleeps;
};

}  // namespace pelnor
