// flashdl --list-ports: the serial ports the system reports, with their descriptions.
#include "download_outcome.h"
#include "flash_commands.h"
#include "port_names.h"

int RunListPortsCommand(std::FILE* out) {
    const std::vector<SerialPortEntry> ports = ListSerialPorts();
    if (ports.empty()) {
        std::fputs("No serial ports found.\n", out);
    }
    for (const SerialPortEntry& port : ports) {
        if (port.description.empty()) {
            std::fprintf(out, "%s\n", port.name.c_str());
        } else {
            std::fprintf(out, "%-20s %s\n", port.name.c_str(), port.description.c_str());
        }
    }
#if defined(__linux__)
    std::fputs("COM1 ... COM9 are accepted too; COMn is /dev/ttyS(n-1).\n", out);
#else
    std::fputs("COM1 ... COM9 are accepted too.\n", out);
#endif
    std::fflush(out);
    return kExitSuccess;
}
