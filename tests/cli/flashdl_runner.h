// Runs the built flashdl as a child process and collects its exit status and output.
#pragma once

#include <QProcess>
#include <string>

struct FlashdlResult {
    int exitCode = -1;  // -1 when it crashed or the hang guard killed it
    std::string out;
    std::string err;
};

// Off a terminal: stdout and stderr are pipes, so flashdl draws no progress bar.
inline FlashdlResult RunProgram(const QString& program, const QStringList& arguments) {
    FlashdlResult result;
    QProcess process;
    process.start(program, arguments);
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
    return result;
}

inline FlashdlResult RunFlashdl(const QStringList& arguments) {
    return RunProgram(QStringLiteral(FLASHDL_PATH), arguments);
}
