// The image files a fuzzed download may start with, written once per process as in-memory files
// that vanish with the process, however it ends (a finding ends it without any clean-up).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFuzzImages {
public:
    // What the next Start Download finds as the chosen file.
    enum Choice { kSmall, kEmpty, kMissing, kFolder, kNoPath, kChoiceCount };

    CFuzzImages();
    ~CFuzzImages();
    CFuzzImages(const CFuzzImages&) = delete;
    CFuzzImages& operator=(const CFuzzImages&) = delete;

    std::string Path(Choice choice) const;
    // The 1024-byte blocks the image goes out in, the last one filled up with 0xFF; none for an
    // empty, missing or unchosen image.
    const std::vector<std::vector<std::uint8_t>>& Blocks(Choice choice) const;

    // The small image: three blocks, the last one short, so the filler is exercised.
    static constexpr std::size_t kSmallBytes = 2500;

private:
    int m_smallFd = -1;
    int m_emptyFd = -1;
    std::vector<std::vector<std::uint8_t>> m_smallBlocks;
    std::vector<std::vector<std::uint8_t>> m_noBlocks;
};
