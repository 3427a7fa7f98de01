// Reads the process's descriptor table and memory status from /proc.
#include "process_figures.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace rel {

std::size_t OpenFileDescriptors() {
    std::error_code ec;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", ec), end; !ec && it != end;
         it.increment(ec)) {
        ++count;
    }
    // The iterator's own descriptor was open while it counted.
    return count > 0 ? count - 1 : 0;
}

std::size_t ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            std::size_t kib = 0;
            fields >> kib;
            return kib;
        }
    }
    return 0;
}

}  // namespace rel
