// Waiting on the event loop of the calling thread, with a guard against waiting for ever.
#pragma once

#include <functional>

namespace bench {

// Runs the event loop until `done`; false when `guardMs` ran out first.
bool SpinUntil(const std::function<bool()>& done, int guardMs);

}  // namespace bench
