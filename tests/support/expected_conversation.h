// What a download must look like, written out by hand so tests do not take the tool's word for
// it: the log box's lines, the framed commands and the data blocks of a complete download.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline const std::string kPromptLine =
    "Please reset the KESTRANE(VELMORA), waiting for connection ...\r\n";
inline const std::string kConnectedLines =
    "Connected.\r\nProcessing ...\r\nTotal progress may need 5 minutes.\r\nPlease wait ...\r\n";
inline const std::string kSuccessLine = "Flash download successfully finished!\r\n";
inline const std::string kErrorLine =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\r\n";
inline const std::string kCheckDevicesLine =
    "Please make sure all devices is OK, then click Start Download.\r\n";
inline const std::string kNoDataFileLine = "ERROR!!!Cannot find the data file.\r\n";
inline const std::string kSuccessLog = kPromptLine + kConnectedLines + kSuccessLine;

// The framed commands of a complete download of an image this long, after the wake-up byte.
inline std::vector<std::string> ExpectedCommands(std::size_t imageBytes) {
    std::vector<std::string> commands = {":GET_VER00#"};
    char text[32];
    for (unsigned s = 0x81000; s <= 0x8104F; s = s == 0x81003 ? 0x81010 : s + 1) {
        for (const char* verb : {"ERASE", "CHKBL"}) {  // sectors 0x81004-0x8100F are never erased
            std::snprintf(text, sizeof text, ":%s_EXT %05X000#", verb, s);
            commands.push_back(text);
        }
    }
    for (std::size_t at = 0; at < imageBytes; at += 1024) {
        std::snprintf(text, sizeof text, ":RAMTO_EXT %08zX#", 0x81000000 + at);
        commands.insert(commands.end(), {":DOWN DATA#", text});
    }
    commands.push_back(":QUIT_COMM#");
    return commands;
}

// Each block as it must arrive: 1024 image bytes (0xFF past the end), then their CRC-8
// (polynomial 0x07, initial value 0), computed here bit by bit.
inline std::vector<std::vector<std::uint8_t>> ExpectedBlocks(
    const std::vector<std::uint8_t>& image) {
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t at = 0; at < image.size(); at += 1024) {
        std::vector<std::uint8_t> block(1024, 0xFF);
        std::copy(image.begin() + at, image.begin() + std::min(at + 1024, image.size()),
                  block.begin());
        std::uint8_t crc = 0;
        for (const std::uint8_t byte : block) {
            crc ^= byte;
            for (int bit = 0; bit < 8; ++bit) {
                crc = static_cast<std::uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
            }
        }
        block.push_back(crc);
        blocks.push_back(std::move(block));
    }
    return blocks;
}
