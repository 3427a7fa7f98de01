// One complete download through the real serial control and sequencer, as flashdl runs it, with
// the wall time, the bytes each way and this process's CPU time measured.
#pragma once

#include <string>

#include "bench_clock.h"
#include "download_sequencer.h"

namespace bench {

struct DownloadFigures {
    DownloadEnd end = DownloadEnd::None;  // None: the hang guard ran out
    std::string log;                      // the status lines, to say what went wrong
    double startToEndSeconds = 0;         // Start Download clicked to the last reply handled
    double wireToEndSeconds = 0;          // the first byte written to the last reply handled
    long long bytesOut = 0;
    long long bytesIn = 0;
    long receiveEvents = 0;
    int blocks = 0;
    CpuTime cpu;           // over the whole download
    CpuTime dataPhaseCpu;  // from the first block's ":RB_OK#" on
    int dataPhaseBlocks = 0;
};

// Needs a QCoreApplication. Runs the event loop until the download ends or `hangGuardMs` passes.
DownloadFigures RunTimedDownload(const std::string& port, const std::string& imagePath,
                                 int hangGuardMs);

}  // namespace bench
