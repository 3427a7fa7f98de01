// A pseudo-terminal for the serial tests: the test plays the far end on the master while the
// serial control opens the slave by its path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Runs the event loop until done() holds or the time-out, a mere hang guard, expires.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);

class CPseudoTerminal {
public:
    // Opens a raw master and keeps one slave descriptor open, so the master does not see a
    // hang-up while the serial control is closed.
    CPseudoTerminal();
    ~CPseudoTerminal() { HangUp(); }
    CPseudoTerminal(const CPseudoTerminal&) = delete;
    CPseudoTerminal& operator=(const CPseudoTerminal&) = delete;

    bool IsOpen() const { return m_master >= 0 && m_slave >= 0; }
    const std::string& SlavePath() const { return m_slavePath; }

    void WriteMaster(const std::vector<std::uint8_t>& bytes);
    // Reads from the master, running the event loop meanwhile, until count bytes have come.
    std::vector<std::uint8_t> ReadMaster(std::size_t count);
    // Bytes waiting in the slave's input queue, which the test's own descriptor never reads.
    int SlaveInputQueued() const;
    // Waits without running the event loop: the kernel hands master writes over a moment later.
    bool WaitForSlaveInput(int count) const;
    // Closes both ends the test holds: the line hangs up under the serial control.
    void HangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};
