// A signal handler may do next to nothing, so it only writes the signal's number into a pipe;
// the event loop sees the pipe become readable and calls back from there.
#include "interrupt_watcher.h"

#include <csignal>

#if defined(_WIN32)

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

#include <windows.h>

struct CInterruptWatcher::Saved {};

namespace {

// Windows has no such signals; a console's Ctrl+C and Ctrl+Break arrive as control events, on a
// thread of their own, so the handler only queues the call onto the event loop's thread.
std::atomic<bool> g_bArmed{false};
std::function<void(int)>* g_pOnSignal = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    // Only the first press is taken; the next ends the program the default way.
    if (!g_bArmed.exchange(false) || QCoreApplication::instance() == nullptr) {
        return FALSE;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            if (g_pOnSignal != nullptr && *g_pOnSignal) {
                (*g_pOnSignal)(SIGINT);
            }
        },
        Qt::QueuedConnection);
    return TRUE;
}

}  // namespace

std::vector<int> EndingSignals() {
    return {SIGINT, SIGTERM};
}

CInterruptWatcher::CInterruptWatcher(const std::vector<int>&, std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal)) {
    g_pOnSignal = &m_onSignal;
    g_bArmed = true;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

CInterruptWatcher::~CInterruptWatcher() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    g_bArmed = false;
    g_pOnSignal = nullptr;
}

void CInterruptWatcher::OnSignalPipe() {}

#else

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

struct CInterruptWatcher::Saved {
    int signalNumber;
    struct sigaction action;
};

namespace {

volatile std::sig_atomic_t g_signalPipe = -1;

bool GivesUpAfterFirst(int signalNumber) {
    return signalNumber == SIGINT || signalNumber == SIGTERM || signalNumber == SIGQUIT;
}

extern "C" void WriteSignalByte(int signalNumber) {
    const int savedErrno = errno;  // the interrupted code may be about to look at it
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe, &byte, 1);
    if (GivesUpAfterFirst(signalNumber)) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGQUIT, SIG_DFL);
    }
    errno = savedErrno;
}

}  // namespace

std::vector<int> EndingSignals() {
    return {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
}

CInterruptWatcher::CInterruptWatcher(const std::vector<int>& signalNumbers,
                                     std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal)) {
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
    struct sigaction action {};
    action.sa_handler = WriteSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : signalNumbers) {
        Saved saved{signalNumber, {}};
        if (::sigaction(signalNumber, &action, &saved.action) == 0) {
            m_saved.push_back(saved);
        }
    }
}

CInterruptWatcher::~CInterruptWatcher() {
    for (const Saved& saved : m_saved) {
        ::sigaction(saved.signalNumber, &saved.action, nullptr);
    }
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
    ssize_t got = 0;
    while ((got = ::read(m_pipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            if (m_onSignal) {
                m_onSignal(bytes[i]);
            }
        }
    }
}

#endif
