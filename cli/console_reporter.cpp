// Prints the log lines and redraws the progress bar only when what it shows changes: a bar
// redrawn on every block would flood a slow terminal.
#include "console_reporter.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "progress_bar.h"

namespace {

constexpr int kFallbackColumns = 80;
// Back to the start of the line and erase it, so a shorter text leaves nothing behind.
constexpr char kEraseLine[] = "\r\033[K";

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

CConsoleReporter::CConsoleReporter(std::FILE* out, std::FILE* err, bool drawBar)
    : m_out(out), m_err(err), m_bDrawBar(drawBar) {}

bool CConsoleReporter::IsTerminal(std::FILE* stream) {
#if defined(_WIN32)
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) == 1;
#endif
}

CHeadlessDownload::Callbacks CConsoleReporter::Callbacks() {
    CHeadlessDownload::Callbacks callbacks;
    callbacks.onLine = [this](const std::string& line) { PrintLine(line); };
    callbacks.onProgress = [this](const ProgressState& state) { PrintProgress(state); };
    callbacks.onPortError = [this](const std::string& message) { PrintError(message); };
    return callbacks;
}

void CConsoleReporter::PrintLine(const std::string& line) {
    const bool barWasShown = m_bBarShown;
    EraseBar();
    const std::string text = WithoutLineEnd(line);
    std::fputs(text.c_str(), m_out);
    std::fputc('\n', m_out);
    // The log box's words are the window's; here there is no button to click.
    if (EndsWith(text, kClickStartDownload)) {
        std::fputs(kRunAgain, m_out);
    }
    if (barWasShown) {
        DrawBar();
    }
    std::fflush(m_out);
}

void CConsoleReporter::PrintProgress(const ProgressState& state) {
    if (!m_bDrawBar) {
        return;
    }
    const int percent = ProgressPercent(state);
    const int width = BarWidthForColumns(TerminalColumns());
    if (m_bBarShown && percent == m_nPercent && width == m_nWidth) {
        return;
    }
    m_nPercent = percent;
    m_nWidth = width;
    DrawBar();
    std::fflush(m_out);
}

void CConsoleReporter::PrintError(const std::string& message) {
    // On a terminal both streams share the screen: the message must not land inside the bar.
    const bool barWasShown = m_bBarShown;
    EraseBar();
    std::fflush(m_out);
    std::fprintf(m_err, "flashdl: %s\n", message.c_str());
    std::fflush(m_err);
    if (barWasShown) {
        DrawBar();
        std::fflush(m_out);
    }
}

void CConsoleReporter::FinishBar() {
    if (m_bBarShown) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_bBarShown = false;
    }
}

void CConsoleReporter::DrawBar() {
    std::fputs(kEraseLine, m_out);
    std::fputs(FormatProgressBar(m_nPercent, m_nWidth).c_str(), m_out);
    m_bBarShown = true;
}

void CConsoleReporter::EraseBar() {
    if (m_bBarShown) {
        std::fputs(kEraseLine, m_out);
        m_bBarShown = false;
    }
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
