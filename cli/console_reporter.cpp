// Prints the log lines and redraws the progress lines only when what they show changes.
#include "console_reporter.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <algorithm>

#include "download_outcome.h"
#include "progress_bar.h"

namespace {

constexpr int kFallbackColumns = 80;

constexpr char kClickStartDownload[] = "click Start Download.";
constexpr char kRunAgain[] = "(With flashdl: run the command again to start a new download.)\n";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

}  // namespace

CConsoleReporter::CConsoleReporter(std::FILE* out, std::FILE* err, bool drawBars)
    : m_out(out), m_err(err), m_bDrawBars(drawBars) {}

bool CConsoleReporter::IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) == 1;
#endif
}

void CConsoleReporter::Started(const std::string& port, const ImageFacts& image) {
    Bar bar;
    bar.port = port;
    bar.progress.blocks = image.blocks;
    m_bars.push_back(bar);
}

void CConsoleReporter::Line(const std::string& port, const std::string& line) {
    PrintLine(m_bSeveral ? port + ": " + line : line);
}

void CConsoleReporter::Progress(const std::string& port, const ProgressFacts& progress) {
    if (!m_bDrawBars) {
        return;
    }
    for (Bar& bar : m_bars) {
        if (bar.port == port) {
            bar.progress = progress;
        }
    }
    std::vector<std::string> texts = BarTexts();
    if (texts != m_shown) {
        EraseBars();
        DrawBars(std::move(texts));
        std::fflush(m_out);
    }
}

void CConsoleReporter::Ended(const PortOutcome& outcome) {
    if (!m_bSeveral) {
        FinishBars();
        return;
    }
    for (Bar& bar : m_bars) {
        if (bar.port == outcome.port) {
            bar.end = DownloadEndName(outcome.end);
        }
    }
    if (!m_shown.empty()) {
        EraseBars();
        DrawBars(BarTexts());
        std::fflush(m_out);
    }
}

void CConsoleReporter::Summary(const std::vector<PortOutcome>& outcomes, int exitStatus) {
    FinishBars();
    std::size_t portWidth = 4;
    std::size_t endWidth = 3;
    for (const PortOutcome& outcome : outcomes) {
        portWidth = std::max(portWidth, outcome.port.size());
        endWidth = std::max(endWidth, std::string(DownloadEndName(outcome.end)).size());
    }
    std::fprintf(m_out, "Summary:\n  %-*s  %-*s  %8s  %s\n", static_cast<int>(portWidth), "port",
                 static_cast<int>(endWidth), "end", "time", "bytes sent");
    long long flashed = 0;
    for (const PortOutcome& outcome : outcomes) {
        std::fprintf(m_out, "  %-*s  %-*s  %7.1fs  %lld\n", static_cast<int>(portWidth),
                     outcome.port.c_str(), static_cast<int>(endWidth), DownloadEndName(outcome.end),
                     outcome.seconds, outcome.bytesSent);
        flashed += outcome.end == DownloadEnd::Success ? 1 : 0;
    }
    const std::string status =
        exitStatus == kExitSuccess ? "." : "; exit status " + std::to_string(exitStatus) + ".";
    std::fprintf(m_out, "%lld of %zu controllers flashed%s\n", flashed, outcomes.size(),
                 status.c_str());
    std::fflush(m_out);
}

void CConsoleReporter::PrintLine(const std::string& line) {
    const bool barsWereShown = !m_shown.empty();
    EraseBars();
    const std::string text = WithoutLineEnd(line);
    std::fputs(text.c_str(), m_out);
    std::fputc('\n', m_out);
    // The log box's words are the window's; here there is no button to click.
    if (EndsWith(text, kClickStartDownload)) {
        std::fputs(kRunAgain, m_out);
    }
    if (barsWereShown) {
        DrawBars(BarTexts());
    }
    std::fflush(m_out);
}

void CConsoleReporter::PrintError(const std::string& message) {
    // On a terminal both streams share the screen: the message must not land inside a bar.
    const bool barsWereShown = !m_shown.empty();
    EraseBars();
    std::fflush(m_out);
    std::fprintf(m_err, "flashdl: %s\n", message.c_str());
    std::fflush(m_err);
    if (barsWereShown) {
        DrawBars(BarTexts());
        std::fflush(m_out);
    }
}

std::vector<std::string> CConsoleReporter::BarTexts() const {
    const int columns = TerminalColumns();
    std::vector<std::string> texts;
    for (const Bar& bar : m_bars) {
        const std::string status = bar.end.empty() ? ProgressStatus(bar.progress)
                                                   : std::to_string(bar.progress.blocksSent) + "/" +
                                                         std::to_string(bar.progress.blocks) +
                                                         " blocks  " + bar.end;
        texts.push_back(FormatProgressLine(m_bSeveral ? bar.port : std::string(), bar.progress,
                                           status, columns));
    }
    return texts;
}

void CConsoleReporter::DrawBars(std::vector<std::string> texts) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::fputs(i == 0 ? "\r" : "\n", m_out);
        std::fputs(texts[i].c_str(), m_out);
    }
    m_shown = std::move(texts);
}

void CConsoleReporter::EraseBars() {
    if (m_shown.empty()) {
        return;
    }
    // Up to the first progress line, then erase from there to the end of the screen.
    if (m_shown.size() > 1) {
        std::fprintf(m_out, "\033[%zuA", m_shown.size() - 1);
    }
    std::fputs("\r\033[J", m_out);
    m_shown.clear();
}

void CConsoleReporter::FinishBars() {
    if (!m_shown.empty()) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_shown.clear();
    }
    m_bars.clear();
}

int CConsoleReporter::TerminalColumns() const {
#if !defined(_WIN32)
    // A pseudo-terminal nobody has sized reports 0 columns.
    winsize size{};
    if (::ioctl(::fileno(m_out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
#endif
    return kFallbackColumns;
}
