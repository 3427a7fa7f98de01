// Runs the emulated boot loader on the master side of a pseudo-terminal, in a thread of its own,
// so the tool can talk to it through the slave device like to a serial port.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulated_boot_loader.h"
#include "emulator_options.h"
#include "unique_fd.h"

class CPtyBootLoader {
public:
    explicit CPtyBootLoader(EmulatorOptions options = {});
    ~CPtyBootLoader();  // stops the thread, closes the master
    CPtyBootLoader(const CPtyBootLoader&) = delete;
    CPtyBootLoader& operator=(const CPtyBootLoader&) = delete;

    // Opens the pty pair in raw mode and starts the thread; on failure says why in `error`.
    bool Start(std::string* error);
    std::string SlavePath() const;  // e.g. "/dev/pts/7": hand this to CMSComm
    // Stops answering; the line itself stays open until destruction. Safe to call twice.
    void Stop();

    // Thread-safe snapshots of the emulator's records.
    std::vector<std::string> Commands() const;
    std::vector<std::vector<std::uint8_t>> Blocks() const;
    int WakeUpBytes() const;
    // Every byte that arrived, including those sent at line settings the controller does not
    // run at: those are not taken in and never answered.
    std::size_t BytesReceived() const;
    std::size_t BytesAtWrongSettings() const;
    // The line settings the tool has put on the line, e.g. "115200,n,8,1" (see
    // sim::PtyLineSettings::Text); empty when the system cannot tell or the line is gone.
    std::string LineSettings() const;
    std::vector<std::uint8_t> ReadFlash(std::uint32_t address, std::size_t size) const;
    std::vector<std::string> Rejected() const;
    // True once n commands arrived; false after `timeoutMs`, or at once if the thread has ended.
    bool WaitForCommandCount(std::size_t n, int timeoutMs) const;
    // True once a HangUp fault has closed the line.
    bool HungUp() const;

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    void ServeLine();
    // Both return false when Stop() asked the thread to end or the line broke.
    bool SleepUntil(Clock::time_point deadline) const;
    bool WriteAll(const std::vector<std::uint8_t>& bytes) const;
    bool AtBootLoaderSettings() const;

    const EmulatorOptions m_options;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    CEmulatedBootLoader m_loader;            // guarded by m_mutex
    bool m_running = false;                  // guarded by m_mutex: the thread is serving the line
    bool m_hungUp = false;                   // guarded by m_mutex
    std::size_t m_bytesAtWrongSettings = 0;  // guarded by m_mutex
    // Set up by Start(); after that only the thread touches the master and the slave, except
    // LineSettings(), which reads the master's settings under m_mutex.
    sim::CUniqueFd m_master;
    sim::CUniqueFd m_slave;  // held open so the master sees no hang-up while the tool is away
    sim::CUniqueFd m_stopRead;
    sim::CUniqueFd m_stopWrite;
    std::string m_slavePath;
    Clock::time_point m_startedAt;
    std::thread m_thread;
};
