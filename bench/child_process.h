// A child program the benchmark runs: the emulated controller, flashdl or the window, with its
// standard input and output as pipes or files, its exit status and its resource usage.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {

struct ChildLaunch {
    std::vector<std::string> argv;                         // argv[0] is the program's path
    std::vector<std::pair<std::string, std::string>> env;  // set on top of this process's
    bool pipeStdin = false;                                // otherwise /dev/null
    bool pipeStdout = false;  // otherwise stdoutFile, or /dev/null when that is empty
    std::string stdoutFile;   // also takes standard error when set
};

struct ChildExit {
    bool exited = false;  // ended by itself with `code`; false when signalled or not reaped
    int code = -1;
    bool timedOut = false;  // killed by the hang guard
    // ru_maxrss of the child. A spawned child starts out sharing this process's memory, and Linux
    // folds that memory's peak into ru_maxrss at exec: it is this process's peak at the least.
    long maxRssKb = 0;
    // The child's own VmHWM, read while Wait() ran (every 2 ms); -1 when never read.
    long peakRssKb = -1;
    double userSeconds = 0;
    double systemSeconds = 0;
};

class CChildProcess {
public:
    CChildProcess() = default;
    // Kills and reaps a child still running.
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool Start(const ChildLaunch& launch, std::string* error);
    bool Running() const { return m_pid > 0; }

    // One line of the child's output, without its line end; false at the end of its output or
    // when nothing complete came within `timeoutMs`.
    bool ReadLine(std::string* line, int timeoutMs);
    // The child sees the end of its input.
    void CloseStdin();
    // Waits for the child to end; kills it when `timeoutMs` runs out first.
    ChildExit Wait(int timeoutMs);

private:
    void CloseFd(int* fd);

    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    std::string m_pending;  // output read but not yet returned as a line
};

}  // namespace bench
