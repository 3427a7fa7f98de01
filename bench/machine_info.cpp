// Reads the machine's description from /proc and uname.
#include "machine_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>

namespace bench {

namespace {

std::string CpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                return line.substr(line.find_first_not_of(' ', colon + 1));
            }
        }
    }
    return "unknown CPU";
}

std::string LoadAverage() {
    std::ifstream loadavg("/proc/loadavg");
    std::string one;
    loadavg >> one;
    return one.empty() ? "unknown" : one;
}

}  // namespace

std::string MachineSummary() {
    utsname name{};
    ::uname(&name);
    return std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + CpuModel() + ", " +
           name.sysname + " " + name.release + ", load " + LoadAverage();
}

}  // namespace bench
