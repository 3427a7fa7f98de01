// The text progress line flashdl draws on a terminal: the bar, its percentage, the blocks sent
// and the time spent and left.
#pragma once

#include <string>

#include "flash_report.h"

// The bar's position over the upper end of its range, truncated toward zero and kept within
// 0 to 100; an empty range counts as 0 %.
int ProgressPercent(const ProgressFacts& progress);

// "12/64 blocks  0:03 elapsed  0:04 left", or that the controller has not answered yet.
std::string ProgressStatus(const ProgressFacts& progress);

// "[#########-----------]  42%": `width` cells, filled in proportion to `percent`.
std::string FormatProgressBar(int percent, int width);

// `label` (may be empty), the bar and `status`, fitted into `columns` less one, so the cursor
// never wraps onto a new line.
std::string FormatProgressLine(const std::string& label, const ProgressFacts& progress,
                               const std::string& status, int columns);
