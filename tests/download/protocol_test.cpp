// CRC-8 vectors and the address texts of the link protocol.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crc8.h"
#include "link_protocol.h"

namespace {

std::uint8_t CrcOf(const std::vector<std::uint8_t>& bytes) {
    return Crc8(bytes.data(), bytes.size());
}

TEST(Crc8, TableMatchesPolynomial07) {
    for (int i = 0; i < 256; ++i) {
        std::uint8_t c = static_cast<std::uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            c = static_cast<std::uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : c << 1);
        }
        EXPECT_EQ(g_crc8Table[i], c) << "entry " << i;
    }
    EXPECT_EQ(g_crc8Table[0], 0x00);
    EXPECT_EQ(g_crc8Table[7], 0x15);
    EXPECT_EQ(g_crc8Table[255], 0xF3);
}

TEST(Crc8, SingleByteUpdates) {
    struct Case {
        std::uint8_t crc, byte, expected;
    };
    for (const Case& c : {Case{0, 0x01, 0x07}, Case{0, 0x80, 0x89}, Case{0, 0xFF, 0xF3},
                          Case{0x07, 0x07, 0x00}, Case{0xF3, 0x00, g_crc8Table[0xF3]}}) {
        EXPECT_EQ(Crc8Update(c.crc, c.byte), c.expected);
    }
}

TEST(Crc8, BlockVectors) {
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 1024; ++i) {
        ramp.push_back(static_cast<std::uint8_t>(i & 0xFF));
    }
    const std::string check = "123456789";
    const std::string abc = "abc";
    EXPECT_EQ(CrcOf(std::vector<std::uint8_t>(1024, 0x00)), 0x00);
    EXPECT_EQ(CrcOf(std::vector<std::uint8_t>(1024, 0xFF)), 0xD7);
    EXPECT_EQ(CrcOf(ramp), 0x12);
    EXPECT_EQ(CrcOf({check.begin(), check.end()}), 0xF4);
    EXPECT_EQ(CrcOf({abc.begin(), abc.end()}), 0x5F);
}

TEST(LinkProtocol, BlockAddresses) {
    struct Case {
        int block;
        const char* command;
    };
    for (const Case& c : {Case{1, ":RAMTO_EXT 81000000#"}, Case{2, ":RAMTO_EXT 81000400#"},
                          Case{4, ":RAMTO_EXT 81000C00#"}, Case{5, ":RAMTO_EXT 81001000#"},
                          Case{65, ":RAMTO_EXT 81010000#"},
                          Case{static_cast<int>(kMaxBlocks), ":RAMTO_EXT FFFFFC00#"}}) {
        EXPECT_EQ(RamToExtCommand(c.block), c.command) << "block " << c.block;
    }
}

TEST(LinkProtocol, SectorAddressesOfTheEraseSteps) {
    EXPECT_EQ(EraseCommand(SectorOfStep(1)), ":ERASE_EXT 81000000#");
    EXPECT_EQ(CheckBlankCommand(SectorOfStep(1)), ":CHKBL_EXT 81000000#");
    EXPECT_EQ(EraseCommand(SectorOfStep(17)), ":ERASE_EXT 81010000#");
    EXPECT_EQ(EraseCommand(SectorOfStep(80)), ":ERASE_EXT 8104F000#");
    EXPECT_EQ(CheckBlankCommand(SectorOfStep(80)), ":CHKBL_EXT 8104F000#");
    EXPECT_EQ(EraseCommand(0x8101A), ":ERASE_EXT 8101A000#");
    for (int step = 1; step <= 80; ++step) {
        EXPECT_EQ(EraseCommand(SectorOfStep(step)).size(), 20u);
    }
}

TEST(LinkProtocol, BlockCount) {
    for (auto [bytes, blocks] : std::vector<std::pair<long long, long long>>{
             {0, 0}, {1, 1}, {1023, 1}, {1024, 1}, {1025, 2}, {2048, 2}, {2500, 3}}) {
        EXPECT_EQ(BlockCount(bytes), blocks) << bytes;
    }
}

}  // namespace
