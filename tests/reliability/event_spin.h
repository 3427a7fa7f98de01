// Waiting in tests with the event loop running, so the serial port and the timers keep working.
#pragma once

#include <functional>

namespace rel {

// Runs the event loop for this long.
void SpinFor(int ms);
// Runs the event loop until `condition` holds; false when the hang guard ran out first.
bool SpinUntil(const std::function<bool()>& condition, int hangGuardMs);

}  // namespace rel
