// The hand-written transcript of a download: commands, blocks, flash contents and log lines.
#include "expected_download.h"

#include <cstdio>

namespace rel {

const std::string kPromptLine =
    "Please reset the KESTRANE(VELMORA), waiting for connection ...\r\n";
const std::string kConnectedLines =
    "Connected.\r\nProcessing ...\r\nTotal progress may need 5 minutes.\r\nPlease wait ...\r\n";
const std::string kSuccessLine = "Flash download successfully finished!\r\n";
const std::string kErrorLine =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\r\n";
const std::string kCheckDevicesLine =
    "Please make sure all devices is OK, then click Start Download.\r\n";

namespace {

std::string Hex(const char* format, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::vector<std::string> ExpectedCommands(std::size_t imageBytes) {
    std::vector<std::string> commands = {":GET_VER00#"};
    // Sectors 0x81004 to 0x8100F are never erased.
    std::vector<unsigned> sectors;
    for (unsigned s = 0x81000; s <= 0x81003; ++s) {
        sectors.push_back(s);
    }
    for (unsigned s = 0x81010; s <= 0x8104F; ++s) {
        sectors.push_back(s);
    }
    for (unsigned s : sectors) {
        commands.push_back(":ERASE_EXT " + Hex("%05X", s) + "000#");
        commands.push_back(":CHKBL_EXT " + Hex("%05X", s) + "000#");
    }
    const std::size_t blocks = (imageBytes + kBlockData - 1) / kBlockData;
    for (std::size_t b = 0; b < blocks; ++b) {
        const auto address = static_cast<unsigned>(kFlashBase + b * kBlockData);
        commands.push_back(":DOWN DATA#");
        commands.push_back(":RAMTO_EXT " + Hex("%08X", address) + "#");
    }
    commands.push_back(":QUIT_COMM#");
    return commands;
}

std::vector<std::vector<std::uint8_t>> ExpectedBlocks(const std::vector<std::uint8_t>& image) {
    const std::vector<std::uint8_t> flashed = Flashed(image);
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t offset = 0; offset < flashed.size(); offset += kBlockData) {
        std::vector<std::uint8_t> block(
            flashed.begin() + static_cast<std::ptrdiff_t>(offset),
            flashed.begin() + static_cast<std::ptrdiff_t>(offset + kBlockData));
        block.push_back(BitwiseCrc8(block.data(), kBlockData));
        blocks.push_back(std::move(block));
    }
    return blocks;
}

std::vector<std::uint8_t> Flashed(const std::vector<std::uint8_t>& image) {
    std::vector<std::uint8_t> padded = image;
    padded.resize((image.size() + kBlockData - 1) / kBlockData * kBlockData, 0xFF);
    return padded;
}

std::uint8_t BitwiseCrc8(const std::uint8_t* data, std::size_t size) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80u) != 0 ? ((crc << 1) ^ 0x07u) & 0xFFu : (crc << 1) & 0xFFu;
        }
    }
    return static_cast<std::uint8_t>(crc);
}

}  // namespace rel
