// Runs the built flashdl as a child process and collects its exit status and output.
#pragma once

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QProcess>
#include <algorithm>
#include <string>

#include "unique_fd.h"

struct FlashdlResult {
    int exitCode = -1;  // -1 when it crashed or the hang guard killed it
    std::string out;
    std::string err;
};

// Off a terminal stdout and stderr are pipes. On one, stdout is a raw pseudo-terminal as in a
// terminal window, and every byte flashdl writes there is collected unchanged.
inline FlashdlResult RunFlashdl(const QStringList& arguments, bool onTerminal = false) {
    FlashdlResult result;
    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (onTerminal && ::openpty(&master, &slave, slaveName, &raw, nullptr) != 0) {
        return result;
    }
    // The test's slave descriptor stays open, so the master sees no hang-up when flashdl exits.
    const sim::CUniqueFd masterFd(master);
    const sim::CUniqueFd slaveFd(slave);
    QProcess process;
    if (onTerminal) {
        process.setStandardOutputFile(QString::fromLocal8Bit(slaveName));
    }
    process.start(QStringLiteral(FLASHDL_PATH), arguments);
    // The terminal is read only afterwards: it buffers far more than a download prints.
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    if (process.exitStatus() == QProcess::NormalExit &&
        process.error() != QProcess::FailedToStart) {
        result.exitCode = process.exitCode();
    }
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    char buffer[4096];
    pollfd ready{master, POLLIN, 0};
    // The kernel hands bytes from the slave to the master a moment after they were written.
    for (ssize_t got = 1; onTerminal && got > 0 && ::poll(&ready, 1, 200) > 0;) {
        got = ::read(master, buffer, sizeof buffer);
        result.out.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    }
    return result;
}
