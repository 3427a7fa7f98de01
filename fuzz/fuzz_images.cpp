// In-memory image files for the fuzzed downloads, reached by path through /proc/self/fd.
#include "fuzz_images.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace {
constexpr std::size_t kBlockBytes = 1024;

// A file that lives only in memory; each path-based open of it gets an offset of its own.
int MemoryFile(const char* name, const std::vector<std::uint8_t>& bytes) {
    const int fd = memfd_create(name, MFD_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error(std::string("cannot create the in-memory file ") + name);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            close(fd);
            throw std::runtime_error(std::string("cannot write the in-memory file ") + name);
        }
        written += static_cast<std::size_t>(n);
    }
    return fd;
}

std::string FdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}
}  // namespace

CFuzzImages::CFuzzImages() {
    std::vector<std::uint8_t> small;
    std::uint32_t x = 12345;
    for (std::size_t i = 0; i < kSmallBytes; ++i) {
        x = x * 1103515245u + 12345u;
        small.push_back(static_cast<std::uint8_t>(x >> 16));
    }
    m_smallFd = MemoryFile("afd-fuzz-small.bin", small);
    try {
        m_emptyFd = MemoryFile("afd-fuzz-empty.bin", {});
    } catch (...) {
        close(m_smallFd);
        throw;
    }

    for (std::size_t at = 0; at < small.size(); at += kBlockBytes) {
        std::vector<std::uint8_t> block(kBlockBytes, 0xFF);
        const std::size_t count = std::min(kBlockBytes, small.size() - at);
        std::copy(small.begin() + static_cast<std::ptrdiff_t>(at),
                  small.begin() + static_cast<std::ptrdiff_t>(at + count), block.begin());
        m_smallBlocks.push_back(block);
    }
}

CFuzzImages::~CFuzzImages() {
    close(m_smallFd);
    close(m_emptyFd);
}

std::string CFuzzImages::Path(Choice choice) const {
    switch (choice) {
        case kSmall:
            return FdPath(m_smallFd);
        case kEmpty:
            return FdPath(m_emptyFd);
        case kMissing:
            return (std::filesystem::temp_directory_path() / "afd-fuzz-no-such-image.bin").string();
        case kFolder:
            return std::filesystem::temp_directory_path().string();
        case kNoPath:
        case kChoiceCount:
            break;
    }
    return std::string();
}

const std::vector<std::vector<std::uint8_t>>& CFuzzImages::Blocks(Choice choice) const {
    return choice == kSmall ? m_smallBlocks : m_noBlocks;
}
