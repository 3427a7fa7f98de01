// The machine a benchmark ran on: cores, CPU model, kernel and load, for the figures' record.
#pragma once

#include <string>

namespace bench {

// One line: "2 cores, <CPU model>, Linux <release>, load 0.52".
std::string MachineSummary();

}  // namespace bench
