// CRC-8 vectors and the address commands of the link protocol, up to the top of the flash.
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

// The address commands as they go on the wire: erase steps 1 to 4 and 17 to 80 reach sectors
// 81000 to 81003 and 81010 to 8104F; block n lies 0x400 bytes after block n - 1.
TEST(LinkProtocol, AddressCommands) {
    struct Case {
        int step;
        const char* erase;
        const char* blankCheck;
    };
    for (const Case& c : {Case{1, ":ERASE_EXT 81000000#", ":CHKBL_EXT 81000000#"},
                          Case{4, ":ERASE_EXT 81003000#", ":CHKBL_EXT 81003000#"},
                          Case{17, ":ERASE_EXT 81010000#", ":CHKBL_EXT 81010000#"},
                          Case{80, ":ERASE_EXT 8104F000#", ":CHKBL_EXT 8104F000#"}}) {
        EXPECT_EQ(EraseCommand(SectorOfStep(c.step)), c.erase) << "step " << c.step;
        EXPECT_EQ(CheckBlankCommand(SectorOfStep(c.step)), c.blankCheck) << "step " << c.step;
    }
    struct BlockCase {
        int block;
        const char* command;
    };
    for (const BlockCase& c :
         {BlockCase{1, ":RAMTO_EXT 81000000#"}, BlockCase{2, ":RAMTO_EXT 81000400#"},
          BlockCase{4, ":RAMTO_EXT 81000C00#"}, BlockCase{5, ":RAMTO_EXT 81001000#"},
          BlockCase{65, ":RAMTO_EXT 81010000#"},
          BlockCase{static_cast<int>(kMaxBlocks), ":RAMTO_EXT FFFFFC00#"}}) {
        EXPECT_EQ(RamToExtCommand(c.block), c.command) << "block " << c.block;
    }
}

}  // namespace
