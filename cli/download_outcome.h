// What flashdl's exit status and closing message are for each way a download can end.
#pragma once

#include <string>

#include "download_sequencer.h"

// flashdl's exit statuses.
constexpr int kExitSuccess = 0;
constexpr int kExitDownloadFailed = 1;  // the download ran and did not finish
constexpr int kExitCannotStart = 2;     // bad command line, unreadable image, port refused

int ExitStatusFor(DownloadEnd end);

// One sentence for the error stream, for every end but success (empty there).
std::string FailureMessage(DownloadEnd end);
