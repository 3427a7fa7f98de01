// Starting and stopping afd_bench_emulator over its standard input and output.
#include "emulator_process.h"

namespace bench {

namespace {
constexpr int kStartGuardMs = 10000;
constexpr int kFinishGuardMs = 60000;
}  // namespace

bool CEmulatorProcess::Start(const EmulatorSettings& settings, std::string* error) {
    ChildLaunch launch;
    launch.argv = {m_program};
    if (settings.paced) {
        launch.argv.push_back("--paced");
    }
    if (settings.replyLatencyUs > 0) {
        launch.argv.push_back("--latency-us");
        launch.argv.push_back(std::to_string(settings.replyLatencyUs));
    }
    if (!settings.verifyImage.empty()) {
        launch.argv.push_back("--verify");
        launch.argv.push_back(settings.verifyImage);
    }
    launch.pipeStdin = true;
    launch.pipeStdout = true;
    if (!m_child.Start(launch, error)) {
        return false;
    }
    std::string line;
    if (!m_child.ReadLine(&line, kStartGuardMs) || line.rfind("port ", 0) != 0) {
        *error = "the emulated controller did not start" + (line.empty() ? "" : ": " + line);
        return false;
    }
    m_port = line.substr(5);
    return true;
}

bool CEmulatorProcess::Finish(std::string* report) {
    m_child.CloseStdin();
    std::string line;
    std::string last;
    while (m_child.ReadLine(&line, kFinishGuardMs)) {
        last = line;
    }
    const ChildExit exit = m_child.Wait(kFinishGuardMs);
    m_cpuSeconds = exit.userSeconds + exit.systemSeconds;
    *report = last.empty() ? "the emulated controller said nothing" : last;
    return exit.exited && exit.code == 0 && last.rfind("result ok", 0) == 0;
}

}  // namespace bench
