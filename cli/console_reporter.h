// Prints a run of flashdl for a person: the log box's lines one per line (with several ports,
// each behind its port), on a terminal one progress line per port kept below them, and with
// several ports a summary at the end.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "flash_report.h"

class CConsoleReporter : public IFlashReport {
public:
    // Progress lines are drawn only when `drawBars` is set, normally when `out` is a terminal.
    CConsoleReporter(std::FILE* out, std::FILE* err, bool drawBars);
    CConsoleReporter(const CConsoleReporter&) = delete;
    CConsoleReporter& operator=(const CConsoleReporter&) = delete;

    // True when the stream is a terminal, where lines redrawn in place make sense.
    static bool IsTerminal(std::FILE* stream);

    void SetSeveralPorts(bool several) override { m_bSeveral = several; }
    void Started(const std::string& port, const ImageFacts& image) override;
    void Line(const std::string& port, const std::string& line) override;
    void Progress(const std::string& port, const ProgressFacts& progress) override;
    void Ended(const PortOutcome& outcome) override;
    void Summary(const std::vector<PortOutcome>& outcomes, int exitStatus) override;
    void Notice(const std::string& message) override { PrintLine(message); }
    void Error(const std::string& message) override { PrintError(message); }

    // A line on the output stream: "\r\n" becomes the platform's line end.
    void PrintLine(const std::string& line);
    // A message on the error stream, "flashdl: " in front.
    void PrintError(const std::string& message);

private:
    struct Bar {
        std::string port;
        ProgressFacts progress;
        std::string end;  // the end's name once the port has ended
    };

    std::vector<std::string> BarTexts() const;
    void DrawBars(std::vector<std::string> texts);
    void EraseBars();
    // Leaves the progress lines where they are, so later output starts below them.
    void FinishBars();
    int TerminalColumns() const;

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_bDrawBars;
    bool m_bSeveral = false;
    std::vector<Bar> m_bars;
    std::vector<std::string> m_shown;  // the progress lines on the screen now
};
