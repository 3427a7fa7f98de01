// The emulated controller running in afd_bench_emulator: started on a fresh pseudo-terminal,
// stopped and asked whether its flash holds the image.
#pragma once

#include <string>

#include "child_process.h"

namespace bench {

struct EmulatorSettings {
    bool paced = false;      // both directions at 115200 8N1
    int replyLatencyUs = 0;  // every reply held back this long, like a USB adapter
    std::string verifyImage;
};

class CEmulatorProcess {
public:
    explicit CEmulatorProcess(std::string program) : m_program(std::move(program)) {}

    // Starts the emulator and waits for its pseudo-terminal's name.
    bool Start(const EmulatorSettings& settings, std::string* error);
    const std::string& Port() const { return m_port; }

    // Stops it; true when it says its flash holds the image. `report` gets its last line.
    bool Finish(std::string* report);
    // The emulator's own CPU time, known after Finish().
    double CpuSeconds() const { return m_cpuSeconds; }

private:
    std::string m_program;
    CChildProcess m_child;
    std::string m_port;
    double m_cpuSeconds = 0;
};

}  // namespace bench
