// A pause that keeps the window alive: pending events run, nested, meanwhile.
#pragma once

#include "platform/system_services.h"

namespace pelnor {

// Dispatches the thread's messages until just over `ms` have passed on the tick
// count. A quit message stops the dispatching and stays queued.
void EventPause(MessagePump& pump, Clock& clock, int ms);

}  // namespace pelnor
