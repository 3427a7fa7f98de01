// flashdl's actions: flash through a port, flash into the emulated controller, list the ports.
#pragma once

#include <cstdio>
#include <string>

#include "command_line.h"
#include "console_reporter.h"
#include "download_sequencer.h"

int RunFlashCommand(const FlashdlRequest& request, CConsoleReporter& reporter);
int RunSimulateCommand(const FlashdlRequest& request, CConsoleReporter& reporter);
int RunListPortsCommand(std::FILE* out);

// Shared by the actions that flash.

// True when the image can be opened for reading; otherwise `reason` says why.
bool CheckImageReadable(const std::string& path, std::string* reason);
// Runs one download to its end, printing as it goes; Ctrl-C stops it.
DownloadEnd RunDownload(const std::string& port, const std::string& imagePath, int replyTimeoutMs,
                        CConsoleReporter& reporter);
