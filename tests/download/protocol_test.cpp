// CRC-8 vectors and the block address texts of the link protocol, up to the top of the flash.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "crc8.h"
#include "link_protocol.h"

namespace {

std::uint8_t CrcOf(const std::vector<std::uint8_t>& bytes) {
    return Crc8(bytes.data(), bytes.size());
}

TEST(Crc8, Vectors) {
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 1024; ++i) {
        ramp.push_back(static_cast<std::uint8_t>(i & 0xFF));
    }
    const auto text = [](const std::string& s) {
        return std::vector<std::uint8_t>(s.begin(), s.end());
    };
    const std::pair<std::vector<std::uint8_t>, std::uint8_t> table[] = {
        {{}, 0x00},
        {{0x00}, 0x00},
        {{0x01}, 0x07},
        {{0x80}, 0x89},
        {{0x55}, 0xAC},
        {{0xFF}, 0xF3},
        {text("abc"), 0x5F},
        {text("123456789"), 0xF4},
        {std::vector<std::uint8_t>(1024, 0x00), 0x00},
        {std::vector<std::uint8_t>(1024, 0xFF), 0xD7},
        {ramp, 0x12},
    };
    for (const auto& [bytes, crc] : table) {
        EXPECT_EQ(CrcOf(bytes), crc)
            << bytes.size() << " bytes from " << int(bytes.empty() ? -1 : bytes[0]);
    }
    // The running CRC carries on from where it was.
    EXPECT_EQ(Crc8Update(CrcOf(text("ab")), 'c'), 0x5F);
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
