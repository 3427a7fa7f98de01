// Prints a download the way flashdl shows it: the log box's lines one per line, and on a
// terminal a progress bar kept on the line below them.
#pragma once

#include <cstdio>
#include <string>

#include "headless_download.h"

class CConsoleReporter {
public:
    // The bar is drawn only when `drawBar` is set, normally when `out` is a terminal.
    CConsoleReporter(std::FILE* out, std::FILE* err, bool drawBar);
    CConsoleReporter(const CConsoleReporter&) = delete;
    CConsoleReporter& operator=(const CConsoleReporter&) = delete;

    // True when the stream is a terminal, where a bar redrawn in place makes sense.
    static bool IsTerminal(std::FILE* stream);

    // Callbacks for CHeadlessDownload that print through this reporter.
    CHeadlessDownload::Callbacks Callbacks();

    // A log box line: "\r\n" becomes the platform's line end.
    void PrintLine(const std::string& line);
    void PrintProgress(const ProgressState& state);
    // A message on the error stream, "flashdl: " in front.
    void PrintError(const std::string& message);
    // Leaves the bar where it is as a line of its own, so later output starts below it.
    void FinishBar();

private:
    void DrawBar();
    void EraseBar();
    int TerminalColumns() const;

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_bDrawBar;
    bool m_bBarShown = false;
    int m_nPercent = -1;
    int m_nWidth = -1;
};
