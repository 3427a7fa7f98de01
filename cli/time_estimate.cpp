// The time-left estimate of flashdl's progress line.
#include "time_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
constexpr int kErasePositions = 20;
constexpr double kModelWeightSeconds = 1.0;
}  // namespace

double ModelBytesDone(int position, long long blocks) {
    if (position <= kErasePositions) {
        return kModelFixedBytes * std::max(0, position) / kErasePositions;
    }
    const long long accepted = std::min<long long>(position - kErasePositions, blocks);
    return kModelFixedBytes + kModelBytesPerBlock * static_cast<double>(accepted);
}

double ModelBytesTotal(long long blocks) {
    return kModelFixedBytes + kModelBytesPerBlock * static_cast<double>(blocks);
}

double EstimateSecondsLeft(double doneBytes, double totalBytes, double elapsedSeconds) {
    const double rate = (std::max(0.0, doneBytes) + kModelBytesPerSecond * kModelWeightSeconds) /
                        (std::max(0.0, elapsedSeconds) + kModelWeightSeconds);
    return std::max(0.0, totalBytes - doneBytes) / rate;
}

std::string FormatDuration(double seconds) {
    const long total = std::lround(std::max(0.0, seconds));
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    }
    return text;
}
