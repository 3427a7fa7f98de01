// What the reliability tests share: the wire, flash and log box of a download written out by hand
// (so they do not take the tool's word for it), the open descriptors, and emulator start-up.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "block_crc.h"
#include "expected_conversation.h"
#include "pty_boot_loader.h"

namespace rel {

inline const std::string kSuccessLog = kPromptLine + kConnectedLines + kSuccessLine;
constexpr std::uint32_t kFlashBase = 0x81000000;
constexpr std::size_t kBlockData = 1024;

// Each block as it must arrive: 1024 image bytes (0xFF past the end) and their CRC-8 as the
// emulated controller computes it.
inline std::vector<std::vector<std::uint8_t>> ExpectedBlocks(
    const std::vector<std::uint8_t>& image) {
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::size_t at = 0; at < image.size(); at += kBlockData) {
        std::vector<std::uint8_t> block(kBlockData, 0xFF);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(at),
                    std::min(kBlockData, image.size() - at), block.begin());
        block.push_back(sim::BlockCrc8(block.data(), kBlockData));
        blocks.push_back(std::move(block));
    }
    return blocks;
}

inline std::size_t OpenFileDescriptors() {  // less the iterator's own
    using std::filesystem::directory_iterator;
    return static_cast<std::size_t>(
        std::distance(directory_iterator("/proc/self/fd"), directory_iterator()) - 1);
}

inline std::size_t ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word && word != "VmRSS:") {
    }
    std::size_t kib = 0;
    status >> kib;
    return kib;
}

// Starts an emulated controller on a pseudo-terminal that no other live process holds a serial
// port lock on: tests running in parallel may keep a port open on a line that is gone, whose
// number the system hands out again.
inline std::unique_ptr<CPtyBootLoader> StartController(const EmulatorOptions& options = {}) {
    std::vector<std::unique_ptr<CPtyBootLoader>> skipped;  // held, so the next gets a new number
    for (int attempt = 0; attempt < 20; ++attempt) {
        auto loader = std::make_unique<CPtyBootLoader>(options);
        std::string error, name = loader->Start(&error) ? loader->SlavePath().substr(5) : "";
        EXPECT_FALSE(name.empty()) << error;
        std::replace(name.begin(), name.end(), '/', '_');
        std::ifstream lock("/var/lock/LCK.." + name);
        long pid = 0;
        if (name.empty() || !(lock >> pid) || pid == ::getpid() || ::kill(pid, 0) != 0) {
            return name.empty() ? nullptr : std::move(loader);
        }
        skipped.push_back(std::move(loader));
    }
    return nullptr;
}

}  // namespace rel
