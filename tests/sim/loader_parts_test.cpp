// The emulator's building blocks: the block checksum against known values and the line timing.
#include <gtest/gtest.h>

#include "block_crc.h"
#include "line_pacer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ramp1024() {
    Bytes data(1024);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i);
    }
    return data;
}

TEST(BlockCrc, MatchesKnownValues) {
    const std::vector<std::pair<Bytes, std::uint8_t>> cases{
        {Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0xF4},
        {Bytes{'a', 'b', 'c'}, 0x5F},
        {Bytes{0x01}, 0x07},
        {Bytes{0x80}, 0x89},
        {Bytes{0xFF}, 0xF3},
        {Bytes(1024, 0x00), 0x00},
        {Bytes(1024, 0xFF), 0xD7},
        {Ramp1024(), 0x12},
    };
    for (const auto& [data, crc] : cases) {
        EXPECT_EQ(sim::BlockCrc8(data.data(), data.size()), crc) << data.size() << " bytes";
    }
}

using Pacer = sim::CLinePacer;

TEST(LinePacer, ChunksReadWhileTheLineIsBusyFollowOnFromEachOther) {
    Pacer pacer(true);
    const Pacer::Clock::time_point t0{};
    pacer.OnReceived(t0, 1000);
    EXPECT_EQ(pacer.ArrivalOf(11), t0 + Pacer::LineTime(11));
    pacer.OnReceived(t0 + std::chrono::milliseconds(1), 36);
    EXPECT_EQ(pacer.ArrivalOf(36), t0 + Pacer::LineTime(1036));
    const auto idle = t0 + std::chrono::milliseconds(500);
    pacer.OnReceived(idle, 7);
    EXPECT_EQ(pacer.ArrivalOf(7), idle + Pacer::LineTime(7));
}

TEST(LinePacer, RepliesQueueByAbsoluteDeadlines) {
    Pacer pacer(true);
    const Pacer::Clock::time_point t0{};
    for (std::size_t i = 1; i <= 1000; ++i) {
        ASSERT_EQ(pacer.TransmitDeadline(t0, 1), t0 + Pacer::LineTime(i)) << "no rounding adds up";
    }
    const auto idle = t0 + std::chrono::seconds(10);
    EXPECT_EQ(pacer.TransmitDeadline(idle, 4), idle + Pacer::LineTime(4));
    EXPECT_EQ(Pacer::LineTime(11520), std::chrono::seconds(1)) << "10 bits a byte at 115200 baud";
    EXPECT_EQ(Pacer::LineTime(1), std::chrono::nanoseconds(86806)) << "rounded up, never early";
}

}  // namespace
