// Child programs over posix_spawn, with their pipes closed and their process reaped on every path.
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "bench_clock.h"

extern char** environ;

namespace bench {

namespace {

// The file actions of one spawn, released on every path.
class CFileActions {
public:
    CFileActions() { m_ok = ::posix_spawn_file_actions_init(&m_actions) == 0; }
    ~CFileActions() {
        if (m_ok) {
            ::posix_spawn_file_actions_destroy(&m_actions);
        }
    }
    CFileActions(const CFileActions&) = delete;
    CFileActions& operator=(const CFileActions&) = delete;
    bool Ok() const { return m_ok; }
    posix_spawn_file_actions_t* Get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions{};
    bool m_ok = false;
};

std::vector<std::string> MergedEnvironment(
    const std::vector<std::pair<std::string, std::string>>& overrides) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::size_t equals = text.find('=');
        if (equals != std::string::npos) {
            merged[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const auto& [name, value] : overrides) {
        merged[name] = value;
    }
    std::vector<std::string> env;
    for (const auto& [name, value] : merged) {
        env.push_back(name + "=" + value);
    }
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

CChildProcess::~CChildProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        Wait(-1);
    }
    CloseFd(&m_stdin);
    CloseFd(&m_stdout);
}

void CChildProcess::CloseFd(int* fd) {
    if (*fd >= 0) {
        ::close(*fd);
        *fd = -1;
    }
}

bool CChildProcess::Start(const ChildLaunch& launch, std::string* error) {
    auto fail = [error](const std::string& what) {
        *error = what + ": " + std::strerror(errno);
        return false;
    };
    if (m_pid > 0 || launch.argv.empty()) {
        *error = "no program to start";
        return false;
    }
    CFileActions actions;
    if (!actions.Ok()) {
        return fail("posix_spawn_file_actions_init");
    }
    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    if (launch.pipeStdin && ::pipe2(inPipe, O_CLOEXEC) != 0) {
        return fail("pipe");
    }
    if (launch.pipeStdout && ::pipe2(outPipe, O_CLOEXEC) != 0) {
        CloseFd(&inPipe[0]);
        CloseFd(&inPipe[1]);
        return fail("pipe");
    }
    // dup2 in the child clears close-on-exec on the copy, so only these ends reach the program.
    if (launch.pipeStdin) {
        ::posix_spawn_file_actions_adddup2(actions.Get(), inPipe[0], STDIN_FILENO);
    } else {
        ::posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    if (launch.pipeStdout) {
        ::posix_spawn_file_actions_adddup2(actions.Get(), outPipe[1], STDOUT_FILENO);
    } else {
        const char* path = launch.stdoutFile.empty() ? "/dev/null" : launch.stdoutFile.c_str();
        ::posix_spawn_file_actions_addopen(actions.Get(), STDOUT_FILENO, path,
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (!launch.stdoutFile.empty()) {
        ::posix_spawn_file_actions_adddup2(actions.Get(), STDOUT_FILENO, STDERR_FILENO);
    }

    std::vector<std::string> args = launch.argv;
    std::vector<std::string> env = MergedEnvironment(launch.env);
    std::vector<char*> argPointers = Pointers(args);
    std::vector<char*> envPointers = Pointers(env);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0].c_str(), actions.Get(), nullptr,
                                      argPointers.data(), envPointers.data());
    CloseFd(&inPipe[0]);
    CloseFd(&outPipe[1]);
    if (spawned != 0) {
        CloseFd(&inPipe[1]);
        CloseFd(&outPipe[0]);
        errno = spawned;
        return fail("cannot start " + args[0]);
    }
    m_pid = pid;
    m_stdin = inPipe[1];
    m_stdout = outPipe[0];
    m_pending.clear();
    return true;
}

bool CChildProcess::ReadLine(std::string* line, int timeoutMs) {
    const std::int64_t deadline = MonotonicNs() + static_cast<std::int64_t>(timeoutMs) * 1000000;
    for (;;) {
        const std::size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            *line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return true;
        }
        if (m_stdout < 0) {
            return false;
        }
        const std::int64_t leftMs = (deadline - MonotonicNs()) / 1000000;
        if (leftMs <= 0) {
            return false;
        }
        pollfd fd{m_stdout, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(leftMs));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = ::read(m_stdout, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            CloseFd(&m_stdout);
            continue;  // a last line without its line end is not a line
        }
        m_pending.append(buffer, static_cast<std::size_t>(got));
    }
}

void CChildProcess::CloseStdin() {
    CloseFd(&m_stdin);
}

ChildExit CChildProcess::Wait(int timeoutMs) {
    ChildExit result;
    if (m_pid <= 0) {
        return result;
    }
    const std::int64_t deadline = MonotonicNs() + static_cast<std::int64_t>(timeoutMs) * 1000000;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(m_pid, &status, timeoutMs < 0 ? 0 : WNOHANG, &usage);
        if (done == m_pid) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            m_pid = -1;
            return result;
        }
        if (done == 0 && MonotonicNs() >= deadline) {
            ::kill(m_pid, SIGKILL);
            result.timedOut = true;
            timeoutMs = -1;  // reap it
            continue;
        }
        if (done == 0) {
            result.peakRssKb = std::max(result.peakRssKb, PeakResidentKbOf(m_pid));
            ::usleep(2000);
        }
    }
    m_pid = -1;
    result.exited = WIFEXITED(status);
    result.code = result.exited ? WEXITSTATUS(status) : -1;
    result.maxRssKb = usage.ru_maxrss;
    result.userSeconds = Seconds(usage.ru_utime);
    result.systemSeconds = Seconds(usage.ru_stime);
    return result;
}

}  // namespace bench
