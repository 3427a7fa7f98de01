// Runs the built flashdl as a child process and collects its exit status and output.
#pragma once

#include <QStringList>
#include <string>

struct FlashdlResult {
    bool finished = false;  // false when the hang guard ran out and the process was killed
    int exitCode = -1;
    std::string out;
    std::string err;
};

// stdout and stderr are pipes, so flashdl sees no terminal.
FlashdlResult RunFlashdl(const QStringList& arguments, int hangGuardMs = 120000);

// stdout is a raw pseudo-terminal, as when a user runs flashdl in a terminal window; everything
// flashdl writes there is collected byte for byte.
FlashdlResult RunFlashdlOnTerminal(const QStringList& arguments, int hangGuardMs = 120000);
