// A pseudo-terminal for the serial tests: the test plays the far end on the master.
#include "pseudo_terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ::usleep(1000);
    }
    return true;
}

CPseudoTerminal::CPseudoTerminal() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    const char* name = nullptr;
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        (name = ::ptsname(m_master)) == nullptr) {
        return;
    }
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    // No echo, no line editing, no newline translation: the line carries bytes unchanged.
    termios settings{};
    if (m_slave >= 0 && ::tcgetattr(m_slave, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(m_slave, TCSANOW, &settings);
    }
}

void CPseudoTerminal::WriteMaster(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    PumpUntil([&] {
        const ssize_t written = ::write(m_master, bytes.data() + done, bytes.size() - done);
        done += written > 0 ? static_cast<std::size_t>(written) : 0;
        return done == bytes.size();
    });
}

std::vector<std::uint8_t> CPseudoTerminal::ReadMaster(std::size_t count) {
    std::vector<std::uint8_t> bytes;
    PumpUntil([&] {
        std::uint8_t buffer[4096];
        const ssize_t got = ::read(m_master, buffer, std::min(sizeof buffer, count - bytes.size()));
        bytes.insert(bytes.end(), buffer, buffer + std::max<ssize_t>(got, 0));
        return bytes.size() >= count;
    });
    return bytes;
}

int CPseudoTerminal::SlaveInputQueued() const {
    int queued = 0;
    return ::ioctl(m_slave, TIOCINQ, &queued) == 0 ? queued : -1;
}

bool CPseudoTerminal::WaitForSlaveInput(int count) const {
    const QDeadlineTimer deadline(10000);
    while (SlaveInputQueued() < count && !deadline.hasExpired()) {
        ::usleep(1000);
    }
    return SlaveInputQueued() >= count;
}

void CPseudoTerminal::HangUp() {
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
}
