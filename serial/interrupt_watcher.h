// Turns the signals that end a program from outside (Ctrl-C, SIGTERM, a closed terminal's
// SIGHUP, Ctrl-\'s SIGQUIT, a closed output's SIGPIPE) into a call on the event loop's thread,
// so the program can stop the download, close the port and remove its temporary files instead
// of dying mid-transfer.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <vector>

// The signals by which a user, a closing terminal or the session ends a program on this system:
// SIGINT, SIGTERM, and where they exist SIGHUP and SIGQUIT.
std::vector<int> EndingSignals();

class CInterruptWatcher {
public:
    // Only one watcher may exist at a time; `onSignal` gets each signal's number. After the first
    // Ctrl-C, SIGTERM or SIGQUIT their default handling is back, so a second one ends the program
    // at once. SIGHUP and SIGPIPE stay caught: a write to a closed output raises SIGPIPE each
    // time, and a hang-up must not cut the clean-up short. The handling before the watcher comes
    // back when it goes.
    // On Windows, where these signals cannot be caught, a console's Ctrl+C and Ctrl+Break count
    // as SIGINT.
    CInterruptWatcher(const std::vector<int>& signalNumbers, std::function<void(int)> onSignal);
    ~CInterruptWatcher();
    CInterruptWatcher(const CInterruptWatcher&) = delete;
    CInterruptWatcher& operator=(const CInterruptWatcher&) = delete;

    bool Active() const { return m_notifier != nullptr; }

private:
    struct Saved;
    void OnSignalPipe();

    std::function<void(int)> m_onSignal;
    int m_pipe[2] = {-1, -1};
    std::vector<Saved> m_saved;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
