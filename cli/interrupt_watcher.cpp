// A signal handler may do next to nothing, so it only writes a byte into a pipe; the event loop
// sees the pipe become readable and calls back from there.
#include "interrupt_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t g_signalPipe = -1;

extern "C" void WriteSignalByte(int signalNumber) {
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe, &byte, 1);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

}  // namespace

CInterruptWatcher::CInterruptWatcher(std::function<void()> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt)) {
    if (::pipe(m_pipe) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;  // without the pipe the default handling stays: Ctrl-C still ends the program
    }
    for (const int fd : m_pipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    g_signalPipe = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [this] { OnSignalPipe(); });
    std::signal(SIGINT, WriteSignalByte);
    std::signal(SIGTERM, WriteSignalByte);
}

CInterruptWatcher::~CInterruptWatcher() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    g_signalPipe = -1;
    m_notifier.reset();
    for (const int fd : m_pipe) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void CInterruptWatcher::OnSignalPipe() {
    char bytes[16];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {
    }
    if (m_onInterrupt) {
        m_onInterrupt();
    }
}
