// CRC-8 vectors and the block address texts of the link protocol, up to the top of the flash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crc8.h"
#include "link_protocol.h"

namespace {

std::uint8_t CrcOf(const std::vector<std::uint8_t>& bytes) {
    return Crc8(bytes.data(), bytes.size());
}

TEST(Crc8, BlockVectors) {
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 1024; ++i) {
        ramp.push_back(static_cast<std::uint8_t>(i & 0xFF));
    }
    const std::string check = "123456789";
    EXPECT_EQ(CrcOf(std::vector<std::uint8_t>(1024, 0xFF)), 0xD7);
    EXPECT_EQ(CrcOf(ramp), 0x12);
    EXPECT_EQ(CrcOf({check.begin(), check.end()}), 0xF4);
    EXPECT_EQ(Crc8Update(0x07, 0x07), 0x00);
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

}  // namespace
