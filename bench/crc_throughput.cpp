// CRC-8 throughput over a buffer of pseudo-random 1024-byte blocks, as the sequencer checksums
// them.
#include "crc_throughput.h"

#include <cstdint>
#include <vector>

#include "bench_clock.h"
#include "crc8.h"
#include "link_protocol.h"
#include "sim/demo_image.h"

namespace bench {

CrcFigures MeasureCrc8(double seconds) {
    // 256 KiB: bigger than the first-level cache, as an image streamed from the file would be.
    constexpr std::size_t kBlocks = 256;
    const std::vector<std::uint8_t> data = MakeDemoImage(kBlocks * kBlockDataSize, 7);
    unsigned sink = 0;
    std::size_t blocks = 0;
    const std::int64_t startNs = MonotonicNs();
    double elapsed = 0;
    do {
        for (std::size_t i = 0; i < kBlocks; ++i) {
            sink += Crc8(data.data() + i * kBlockDataSize, kBlockDataSize);
        }
        blocks += kBlocks;
        elapsed = SecondsSince(startNs);
    } while (elapsed < seconds);
    // The sum is used, so the checksums cannot be optimised away.
    volatile unsigned keep = sink;
    (void)keep;
    CrcFigures figures;
    const double bytes = static_cast<double>(blocks * kBlockDataSize);
    figures.megabytesPerSecond = bytes / elapsed / 1e6;
    figures.nsPerBlock = elapsed * 1e9 / static_cast<double>(blocks);
    return figures;
}

}  // namespace bench
