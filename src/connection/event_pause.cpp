#include "connection/event_pause.h"

namespace pelnor {

void EventPause(MessagePump& pump, Clock& clock, int ms) {
  if (ms <= 0) return;
  const auto limit = static_cast<std::uint32_t>(ms);
  const std::uint32_t start = clock.TickCount();
  for (;;) {
    const bool quit_pending = pump.DispatchPending();
    // Unsigned difference: right across the tick count's wrap-around.
    const std::uint32_t elapsed = clock.TickCount() - start;
    if (elapsed > limit) return;
    const std::uint32_t remaining = limit - elapsed + 1;
    // Waiting for messages instead of polling them keeps the processor free. A
    // queued quit message would end every wait at once, so sleep instead.
    if (quit_pending) {
      clock.Sleep(remaining);
    } else {
      pump.WaitForMessage(remaining);
    }
  }
}

}  // namespace pelnor
