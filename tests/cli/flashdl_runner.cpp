// Starting flashdl with QProcess, and a pseudo-terminal to stand in for a terminal window.
#include "flashdl_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <array>
#include <cstdlib>

#include "unique_fd.h"

namespace {

constexpr int kPollMs = 20;

// The output pseudo-terminal: the test reads the master, flashdl writes the slave.
struct OutputTerminal {
    sim::CUniqueFd master;
    sim::CUniqueFd slave;  // kept open here so the master never sees a hang-up
    std::string slavePath;

    bool Open() {
        master.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!master.Valid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
            return false;
        }
        std::array<char, 128> name{};
        if (::ptsname_r(master.Get(), name.data(), name.size()) != 0) {
            return false;
        }
        slavePath = name.data();
        slave.Reset(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        termios settings{};
        if (!slave.Valid() || ::tcgetattr(slave.Get(), &settings) != 0) {
            return false;
        }
        // No "\n" to "\r\n" translation: the test sees exactly the bytes flashdl wrote.
        ::cfmakeraw(&settings);
        return ::tcsetattr(slave.Get(), TCSANOW, &settings) == 0;
    }

    void Drain(std::string* into) const {
        std::array<char, 4096> buffer{};
        pollfd ready{master.Get(), POLLIN, 0};
        while (::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
            const ssize_t got = ::read(master.Get(), buffer.data(), buffer.size());
            if (got <= 0) {
                return;
            }
            into->append(buffer.data(), static_cast<std::size_t>(got));
        }
    }
};

FlashdlResult Run(const QStringList& arguments, int hangGuardMs, const OutputTerminal* terminal) {
    QProcess process;
    if (terminal != nullptr) {
        process.setStandardOutputFile(QString::fromStdString(terminal->slavePath));
    }
    process.start(QStringLiteral(FLASHDL_PATH), arguments);
    FlashdlResult result;
    if (!process.waitForStarted(10000)) {
        result.err = process.errorString().toStdString();
        return result;
    }
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(kPollMs)) {
        if (terminal != nullptr) {
            terminal->Drain(&result.out);
        }
        if (clock.elapsed() > hangGuardMs) {
            process.kill();
            process.waitForFinished(5000);
            result.err = process.readAllStandardError().toStdString();
            return result;
        }
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    if (terminal != nullptr) {
        terminal->Drain(&result.out);
    } else {
        result.out = process.readAllStandardOutput().toStdString();
    }
    result.err = process.readAllStandardError().toStdString();
    return result;
}

}  // namespace

FlashdlResult RunFlashdl(const QStringList& arguments, int hangGuardMs) {
    return Run(arguments, hangGuardMs, nullptr);
}

FlashdlResult RunFlashdlOnTerminal(const QStringList& arguments, int hangGuardMs) {
    OutputTerminal terminal;
    if (!terminal.Open()) {
        FlashdlResult result;
        result.err = "cannot open a pseudo-terminal for the output";
        return result;
    }
    return Run(arguments, hangGuardMs, &terminal);
}
