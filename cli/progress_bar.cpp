// The text progress line's arithmetic and look.
#include "progress_bar.h"

#include <algorithm>
#include <cstdio>

#include "time_estimate.h"

namespace {

constexpr int kWidestBar = 50;
constexpr int kNarrowestBar = 10;
// "[", "] ", "100%" and the two blanks before the status.
constexpr int kDecorationColumns = 9;

}  // namespace

int ProgressPercent(const ProgressFacts& progress) {
    const int span = progress.upper - progress.lower;
    if (span <= 0) {
        return 0;
    }
    const double percent = 100.0 * static_cast<double>(progress.position - progress.lower) / span;
    return std::clamp(static_cast<int>(percent), 0, 100);
}

std::string ProgressStatus(const ProgressFacts& progress) {
    std::string status =
        std::to_string(progress.blocksSent) + "/" + std::to_string(progress.blocks) + " blocks";
    if (progress.elapsedSeconds < 0) {
        return status + "  waiting for the controller";
    }
    const double left =
        EstimateSecondsLeft(ModelBytesDone(progress.position, progress.blocks),
                            ModelBytesTotal(progress.blocks), progress.elapsedSeconds);
    return status + "  " + FormatDuration(progress.elapsedSeconds) + " elapsed  " +
           FormatDuration(left) + " left";
}

std::string FormatProgressBar(int percent, int width) {
    const int filled = static_cast<int>(static_cast<double>(width) * percent / 100.0);
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '-');
    char label[8];
    std::snprintf(label, sizeof label, "] %3d%%", percent);
    return bar + label;
}

std::string FormatProgressLine(const std::string& label, const ProgressFacts& progress,
                               const std::string& status, int columns) {
    const std::string prefix = label.empty() ? std::string() : label + "  ";
    const int room =
        columns - 1 - static_cast<int>(prefix.size() + status.size()) - kDecorationColumns;
    std::string line =
        prefix +
        FormatProgressBar(ProgressPercent(progress), std::clamp(room, kNarrowestBar, kWidestBar)) +
        "  " + status;
    if (static_cast<int>(line.size()) >= columns) {
        line.resize(static_cast<std::size_t>(std::max(0, columns - 1)));
    }
    return line;
}
