// Turns Ctrl-C (SIGINT) and SIGTERM into a call on the event loop's thread, so flashdl can stop
// the download cleanly and remove its temporary files instead of dying mid-transfer.
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

class CInterruptWatcher {
public:
    // Only one watcher may exist at a time. After the first signal the default handling is back,
    // so a second Ctrl-C ends the program at once.
    explicit CInterruptWatcher(std::function<void()> onInterrupt);
    ~CInterruptWatcher();
    CInterruptWatcher(const CInterruptWatcher&) = delete;
    CInterruptWatcher& operator=(const CInterruptWatcher&) = delete;

    bool Active() const { return m_notifier != nullptr; }

private:
    void OnSignalPipe();

    std::function<void()> m_onInterrupt;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
