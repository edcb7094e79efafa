// The thread's message queue as a list of events: some pending now, some that
// arrive at a later tick. Waiting moves the clock to the next arrival.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "fakes/fake_clock.h"
#include "platform/system_services.h"

namespace pelnor {

class FakeMessagePump : public MessagePump {
 public:
  using Event = std::function<void()>;

  explicit FakeMessagePump(FakeClock& clock) : clock_(clock) {}

  void Post(Event event) { pending_.push_back(std::move(event)); }
  // An event that arrives `ms` after now.
  void PostAfter(std::uint32_t ms, Event event) {
    scheduled_.emplace_back(clock_.ticks + ms, std::move(event));
  }

  bool DispatchPending() override {
    ++dispatch_calls;
    MoveDueEvents();
    while (!pending_.empty()) {
      Event event = std::move(pending_.front());
      pending_.pop_front();
      event();
      MoveDueEvents();
    }
    return quit_pending;
  }

  void WaitForMessage(std::uint32_t ms) override {
    waits.push_back(ms);
    if (!pending_.empty()) return;
    std::uint32_t step = ms;
    for (const auto& [at, event] : scheduled_) {
      const std::uint32_t until = at - clock_.ticks;
      if (static_cast<std::int32_t>(until) <= 0) {
        step = 0;
      } else if (until < step) {
        step = until;
      }
    }
    clock_.Advance(step);
    MoveDueEvents();
  }

  bool quit_pending = false;
  int dispatch_calls = 0;
  std::vector<std::uint32_t> waits;

 private:
  void MoveDueEvents() {
    for (auto it = scheduled_.begin(); it != scheduled_.end();) {
      if (static_cast<std::int32_t>(it->first - clock_.ticks) <= 0) {
        pending_.push_back(std::move(it->second));
        it = scheduled_.erase(it);
      } else {
        ++it;
      }
    }
  }

  FakeClock& clock_;
  std::deque<Event> pending_;
  std::vector<std::pair<std::uint32_t, Event>> scheduled_;
};

}  // namespace pelnor
