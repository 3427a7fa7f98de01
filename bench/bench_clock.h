// Clocks and meters the benchmark reads: wall time, CPU time of the process and of the calling
// thread, and the resident memory of the process.
#pragma once

#include <sys/time.h>

#include <cstdint>

namespace bench {

// CLOCK_MONOTONIC in nanoseconds; comparable between processes on the same machine.
std::int64_t MonotonicNs();
double SecondsSince(std::int64_t startNs);
// A timeval of getrusage or wait4, in seconds.
double Seconds(const timeval& tv);

// CPU time used so far, in seconds.
struct CpuTime {
    double user = 0;
    double system = 0;
    double thread = 0;  // the calling thread only (user + system)
    double Total() const { return user + system; }
};
CpuTime CpuNow();
CpuTime operator-(const CpuTime& a, const CpuTime& b);

// VmHWM of /proc/self/status (the peak resident set) in KiB, or -1 where there is none.
long PeakResidentKb();
// The same of another process, while it runs.
long PeakResidentKbOf(int pid);
// VmRSS of /proc/self/status (the resident set now) in KiB, or -1 where there is none.
long ResidentKb();

}  // namespace bench
