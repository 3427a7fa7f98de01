// How long a download has left: the line model's bytes still to move, at the rate measured so
// far with the model's own rate weighed in while little has been measured.
#pragma once

#include <string>

// The line model: the handshake, the 68 sectors and the quit move 3,724 bytes; each block 1,070
// (command, block, reply, copy-to-flash, reply); 115200 baud 8N1 carries 11,520 bytes a second.
constexpr double kModelFixedBytes = 3724.0;
constexpr double kModelBytesPerBlock = 1070.0;
constexpr double kModelBytesPerSecond = 11520.0;

// The model bytes behind a bar position: positions 1 to 20 are the erase phase, 20 + n the n-th
// block taken into the controller's RAM.
double ModelBytesDone(int position, long long blocks);
double ModelBytesTotal(long long blocks);

// Seconds left after `elapsedSeconds` of talking to the controller with `doneBytes` of the model
// behind it. The model's rate counts as if measured over the first second, so the estimate starts
// from the model and follows the measured rate as the download goes on.
double EstimateSecondsLeft(double doneBytes, double totalBytes, double elapsedSeconds);

// "0:07", "12:34", "1:02:03": whole seconds, rounded.
std::string FormatDuration(double seconds);
