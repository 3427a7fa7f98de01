// The text progress bar flashdl draws on a terminal: its percentage and its look.
#pragma once

#include <string>

#include "headless_download.h"

// The bar's position over the upper end of its range, truncated toward zero and kept within
// 0 to 100; an empty range counts as 0 %.
int ProgressPercent(const ProgressState& state);

// How many cells the bar gets on a terminal this many columns wide, leaving room for the
// brackets and the percentage.
int BarWidthForColumns(int columns);

// "[#########-----------]  42%": `width` cells, filled in proportion to `percent`.
std::string FormatProgressBar(int percent, int width);
