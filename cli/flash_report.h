// What a run of flashdl tells as it goes, whether for a person on a terminal or for a program
// reading JSON: each port's start, log lines, progress and end, and a summary over several ports.
#pragma once

#include <string>
#include <vector>

#include "download_sequencer.h"

struct ImageFacts {
    std::string path;
    long long size = 0;
    long long blocks = 0;
};

struct ProgressFacts {
    int lower = 0;
    int upper = 0;
    int position = 0;
    int blocksSent = 0;
    long long blocks = 0;
    // Since the controller answered; negative while it has not.
    double elapsedSeconds = -1.0;
};

struct PortOutcome {
    std::string port;
    DownloadEnd end = DownloadEnd::None;
    double seconds = 0.0;
    long long bytesSent = 0;  // image bytes in the blocks sent
};

class IFlashReport {
public:
    virtual ~IFlashReport() = default;
    // Said once before anything else: several ports prefix their lines and end in a summary.
    virtual void SetSeveralPorts(bool several) = 0;
    virtual void Started(const std::string& port, const ImageFacts& image) = 0;
    // A log box line, "\r\n" kept.
    virtual void Line(const std::string& port, const std::string& line) = 0;
    virtual void Progress(const std::string& port, const ProgressFacts& progress) = 0;
    virtual void Ended(const PortOutcome& outcome) = 0;
    virtual void Summary(const std::vector<PortOutcome>& outcomes, int exitStatus) = 0;
    // For a person: which port answered, what flashdl waits for.
    virtual void Notice(const std::string& message) = 0;
    // On the error stream, "flashdl: " in front.
    virtual void Error(const std::string& message) = 0;
};
