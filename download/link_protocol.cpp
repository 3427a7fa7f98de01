// Command and reply texts of the boot loader's link protocol, and its address texts.
#include "link_protocol.h"

#include <cstdio>

const char* const kReplies[kReplyCount] = {
    ":EI_ERR#", ":BI_ERR#",         ":RB_ERR#", ":WI_ERR#", ":EX_ERR#", ":BX_ERR#", ":WE_ERR#",
    ":OK#",     ":English Ver1.0#", ":EX_OK#",  ":BX_OK#",  ":RB_OK#",  ":WE_OK#",  ":QUIT_OK#",
};

namespace {
std::string UpperHex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}
}  // namespace

std::uint32_t SectorOfStep(int step) {
    return static_cast<std::uint32_t>(kSectorBase + step);
}

std::string SectorDigits(std::uint32_t sector) {
    return UpperHex(sector, 5);
}

std::string BlockDigits(int block) {
    // Block n lies at (n + 0x203FFF) * 0x400; the six digits are that address / 0x100.
    const std::uint32_t d = static_cast<std::uint32_t>(block) + 0x203FFFu;
    return UpperHex(d * 4u, 6);
}

std::string EraseCommand(std::uint32_t sector) {
    return kCmdEraseExt + SectorDigits(sector) + kSectorSuffix + kCmdEnd;
}

std::string CheckBlankCommand(std::uint32_t sector) {
    return kCmdCheckBlankExt + SectorDigits(sector) + kSectorSuffix + kCmdEnd;
}

std::string RamToExtCommand(int block) {
    return kCmdRamToExt + BlockDigits(block) + kBlockSuffix + kCmdEnd;
}

long long BlockCount(long long imageBytes) {
    const long long size = static_cast<long long>(kBlockDataSize);
    return imageBytes <= 0 ? 0 : (imageBytes + size - 1) / size;
}
