// What the tool puts on the wire, built independently for the emulator tests.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "block_crc.h"
#include "emulated_boot_loader.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
inline std::string ToText(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// All writes run together, as the tool's port would receive them.
inline std::string Joined(const std::vector<CEmulatedBootLoader::Write>& writes) {
    std::string all;
    for (const auto& write : writes) {
        all += ToText(write.bytes);
    }
    return all;
}

// ":ERASE_EXT ", ":CHKBL_EXT " or ":RAMTO_EXT " with an 8-digit address.
inline std::string WithAddress(const char* word, std::uint32_t address) {
    char text[32];
    std::snprintf(text, sizeof(text), "%s%08X#", word, static_cast<unsigned>(address));
    return text;
}

// ":DOWN DATA#" and the block: `data` padded with 0x00 (told apart from erased flash), then its
// CRC-8 with `crcError` XORed in.
inline Bytes DataCommand(const Bytes& data, std::uint8_t crcError = 0) {
    Bytes block(1024, 0x00);
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 1024), block.begin());
    Bytes out = ToBytes(":DOWN DATA#");
    out.insert(out.end(), block.begin(), block.end());
    out.push_back(static_cast<std::uint8_t>(sim::BlockCrc8(block.data(), 1024) ^ crcError));
    return out;
}

struct Step {
    Bytes command;
    std::string reply;
};

// A whole download of `image`, from the wake-up byte to ":QUIT_COMM#", with the replies due.
inline std::vector<Step> DownloadScript(const Bytes& image) {
    std::vector<Step> script{{Bytes{0xAA}, ":OK#"}, {ToBytes(":GET_VER00#"), ":English Ver1.0#"}};
    for (std::uint32_t sector = 0x81000; sector <= 0x8104F; ++sector) {
        if (sector == 0x81004) {
            sector = 0x81010;  // the download skips sectors 81004 to 8100F
        }
        script.push_back({ToBytes(WithAddress(":ERASE_EXT ", sector * 0x1000)), ":EX_OK#"});
        script.push_back({ToBytes(WithAddress(":CHKBL_EXT ", sector * 0x1000)), ":BX_OK#"});
    }
    for (std::size_t at = 0; at < image.size(); at += 1024) {
        const auto from = image.begin() + static_cast<std::ptrdiff_t>(at);
        const Bytes data(from, from + static_cast<std::ptrdiff_t>(
                                          std::min<std::size_t>(1024, image.size() - at)));
        script.push_back({DataCommand(data), ":RB_OK#"});
        const auto address = 0x81000000u + static_cast<std::uint32_t>(at);
        script.push_back({ToBytes(WithAddress(":RAMTO_EXT ", address)), ":WE_OK#"});
    }
    script.push_back({ToBytes(":QUIT_COMM#"), ":QUIT_OK#"});
    return script;
}

}  // namespace simtest
