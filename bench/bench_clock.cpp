// Clocks and meters of the benchmark, over clock_gettime, getrusage and /proc.
#include "bench_clock.h"

#include <sys/resource.h>
#include <time.h>

#include <fstream>
#include <sstream>
#include <string>

namespace bench {

namespace {

std::int64_t ClockNs(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

std::int64_t MonotonicNs() {
    return ClockNs(CLOCK_MONOTONIC);
}

double SecondsSince(std::int64_t startNs) {
    return static_cast<double>(MonotonicNs() - startNs) * 1e-9;
}

double Seconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

CpuTime CpuNow() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    CpuTime cpu;
    cpu.user = Seconds(usage.ru_utime);
    cpu.system = Seconds(usage.ru_stime);
    cpu.thread = static_cast<double>(ClockNs(CLOCK_THREAD_CPUTIME_ID)) * 1e-9;
    return cpu;
}

CpuTime operator-(const CpuTime& a, const CpuTime& b) {
    CpuTime d;
    d.user = a.user - b.user;
    d.system = a.system - b.system;
    d.thread = a.thread - b.thread;
    return d;
}

namespace {

// A "Vm...:" line of a /proc/<pid>/status file, in KiB.
long StatusKb(const std::string& statusPath, const std::string& field) {
    std::ifstream status(statusPath);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            std::istringstream fields(line.substr(field.size()));
            long kb = -1;
            fields >> kb;
            return kb;
        }
    }
    return -1;
}

}  // namespace

long PeakResidentKb() {
    return StatusKb("/proc/self/status", "VmHWM:");
}

long PeakResidentKbOf(int pid) {
    return StatusKb("/proc/" + std::to_string(pid) + "/status", "VmHWM:");
}

long ResidentKb() {
    return StatusKb("/proc/self/status", "VmRSS:");
}

}  // namespace bench
