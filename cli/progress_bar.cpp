// The text progress bar's arithmetic and look.
#include "progress_bar.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kWidestBar = 50;
constexpr int kNarrowestBar = 10;
// "[", "] ", "100%" and one spare column, so the cursor never wraps onto a new line.
constexpr int kDecorationColumns = 8;

}  // namespace

int ProgressPercent(const ProgressState& state) {
    const int span = state.upper - state.lower;
    if (span <= 0) {
        return 0;
    }
    const double percent = 100.0 * static_cast<double>(state.pos - state.lower) / span;
    return std::clamp(static_cast<int>(percent), 0, 100);
}

int BarWidthForColumns(int columns) {
    return std::clamp(columns - kDecorationColumns, kNarrowestBar, kWidestBar);
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
