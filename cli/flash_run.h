// Flashes one image into one or several controllers at once, each on its own port with its own
// download, or into the first controllers that answer among the USB-serial ports.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "download_sequencer.h"
#include "flash_report.h"

// The ports a search may try; in flashdl every USB-serial port the system reports.
using PortEnumerator = std::function<std::vector<std::string>()>;

struct FlashPlan {
    std::vector<std::string> ports;  // named ports; empty when they are searched for
    bool findPorts = false;          // --port auto
    int count = 1;                   // with findPorts: how many controllers to take
    std::string imagePath;
    int replyTimeoutMs = kReplyTimeoutMs;
};

// Runs the plan to its end and returns flashdl's exit status. Ctrl-C and the other ending
// signals stop every download. `findPorts` asks `enumerate` for the candidates.
int RunFlashPlan(const FlashPlan& plan, IFlashReport& report, const PortEnumerator& enumerate);

// flashdl's exit status for a run that ended this way: with one port as that port's end; with
// several 0 when every controller finished, 2 when no port could be opened, 1 otherwise.
int ExitStatusForRun(const std::vector<PortOutcome>& outcomes, bool severalPorts);
