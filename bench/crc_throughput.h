// How fast the table-driven CRC-8 checksums data blocks.
#pragma once

namespace bench {

struct CrcFigures {
    double megabytesPerSecond = 0;  // 10^6 bytes a second
    double nsPerBlock = 0;          // one 1024-byte block
};

// Checksums 1024-byte blocks for about `seconds`.
CrcFigures MeasureCrc8(double seconds);

}  // namespace bench
