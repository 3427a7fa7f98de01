// The floor under the tool's figures: the same conversation done by the simplest possible
// client, blocking reads and writes on the pseudo-terminal with no event loop, so what the tool
// takes beyond it is the tool's own overhead.
#pragma once

#include <string>

#include "bench_clock.h"

namespace bench {

struct ReferenceFigures {
    bool ok = false;
    std::string error;            // why it stopped, when not ok
    double wireToEndSeconds = 0;  // the wake-up byte written to ":QUIT_OK#" read
    CpuTime cpu;                  // this thread over the conversation
    int blocks = 0;
};

// Runs the whole conversation with the boot loader on `port`; every read waits at most
// `replyGuardMs`.
ReferenceFigures RunReferenceDownload(const std::string& port, const std::string& imagePath,
                                      int replyGuardMs);

}  // namespace bench
