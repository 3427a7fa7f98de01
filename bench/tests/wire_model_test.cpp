// The line's limit: bytes, round trips and seconds of whole downloads, counted by hand from the
// command and reply texts.
#include <gtest/gtest.h>

#include "wire_model.h"

namespace {

struct ModelCase {
    std::size_t imageBytes;
    std::size_t blocks;
    std::size_t totalBytes;
    std::size_t roundTrips;
    double seconds;
};

// Fixed: 1 + 4 (wake-up), 11 + 16 (version), 68 x (20 + 7 + 20 + 7), 11 + 9 (quit) = 3,724.
// Per block: 11 + 1,025 + 7 + 20 + 7 = 1,070.
const ModelCase kCases[] = {
    {0, 0, 3724, 139, 3724 / 11520.0},
    {1, 1, 4794, 141, 4794 / 11520.0},
    {1024, 1, 4794, 141, 4794 / 11520.0},
    {1025, 2, 5864, 143, 5864 / 11520.0},
    {2500, 3, 6934, 145, 6934 / 11520.0},
    {256 * 1024, 256, 277644, 651, 24.1010417},
    {4 * 1024 * 1024, 4096, 4386444, 8331, 380.767708},
};

class WireModelTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(WireModelTest, CountsEveryByteOfTheConversation) {
    const ModelCase& c = GetParam();
    const bench::CWireModel model;
    const std::size_t blocks = bench::CWireModel::BlocksOf(c.imageBytes);
    EXPECT_EQ(blocks, c.blocks);
    EXPECT_EQ(model.TotalBytes(blocks), c.totalBytes);
    EXPECT_EQ(model.ToolBytes(blocks) + model.LoaderBytes(blocks), c.totalBytes);
    EXPECT_EQ(model.RoundTrips(blocks), c.roundTrips);
    EXPECT_NEAR(model.WireSeconds(blocks), c.seconds, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Images, WireModelTest, ::testing::ValuesIn(kCases));

TEST(WireModel, SplitsTheBytesBetweenToolAndBootLoader) {
    const bench::CWireModel model;
    // Tool: 1 + 11 + 68 x 40 + 11; boot loader: 4 + 16 + 68 x 14 + 9.
    EXPECT_EQ(model.ToolBytes(0), 2743u);
    EXPECT_EQ(model.LoaderBytes(0), 981u);
    EXPECT_EQ(model.FixedBytes(), 3724u);
    // Tool: ":DOWN DATA#", the block with its CRC, ":RAMTO_EXT 81000000#"; loader: two replies.
    EXPECT_EQ(model.BlockExchange().toolBytes, 1056u);
    EXPECT_EQ(model.BlockExchange().loaderBytes, 14u);
    EXPECT_EQ(model.BytesPerBlock(), 1070u);
}

TEST(WireModel, AdapterLatencyDelaysEveryReply) {
    const bench::CWireModel model;
    // 651 replies for 256 KiB: 16 ms each add 10.4 s, a third more than the line itself.
    EXPECT_NEAR(model.WireSecondsWithReplyLatency(256, 0.016), 24.1010417 + 651 * 0.016, 1e-6);
    EXPECT_NEAR(model.WireSecondsWithReplyLatency(256, 0.001), 24.1010417 + 0.651, 1e-6);
    EXPECT_NEAR(model.WireSecondsWithReplyLatency(256, 0), model.WireSeconds(256), 1e-12);
}

}  // namespace
