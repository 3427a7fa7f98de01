// flashdl's command line: what the user asked for, or why the request makes no sense.
#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "download_sequencer.h"

struct FlashdlRequest {
    enum class Action { Flash, Simulate, ListPorts, Help, Version, UsageError };
    Action action = Action::UsageError;
    std::vector<std::string> ports;        // Flash: the named ports, empty with findPorts
    bool findPorts = false;                // Flash: --port auto
    int count = 1;                         // Flash with findPorts: how many controllers
    bool json = false;                     // Flash, Simulate: JSON events on standard output
    std::optional<std::string> imagePath;  // Flash (always set), Simulate (optional)
    int replyTimeoutMs = kReplyTimeoutMs;
    std::string error;  // UsageError: what is wrong, without the program name
};

// `arguments` includes the program name first, as QCoreApplication::arguments() gives it.
FlashdlRequest ParseCommandLine(const QStringList& arguments);

// The help text, ending in a line end.
std::string UsageText();
// The short synopsis shown after a usage error.
std::string SynopsisText();
