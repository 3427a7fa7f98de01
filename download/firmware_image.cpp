// Measuring the firmware image file, reading it whole, and handing it out block by block.
#include "firmware_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "link_protocol.h"

namespace {

namespace fs = std::filesystem;

// What tells a rewritten file from the one that was read: its length and its last change.
struct FileStamp {
    std::uintmax_t size = 0;
    fs::file_time_type changed;
    bool operator==(const FileStamp& other) const {
        return size == other.size && changed == other.changed;
    }
};

bool StampOf(const std::string& path, FileStamp* stamp) {
    std::error_code sizeError;
    std::error_code timeError;
    stamp->size = fs::file_size(path, sizeError);
    stamp->changed = fs::last_write_time(path, timeError);
    return !sizeError && !timeError;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

long long CImageFile::Measure(const std::string& path, std::string* error) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        *error = ec ? ec.message() : std::string("No such file or directory");
        return -1;
    }
    if (fs::is_directory(status)) {
        *error = "it is a folder, not a file";
        return -1;
    }
    // A FIFO or a device has no length, and reading one may wait for ever.
    if (!fs::is_regular_file(status)) {
        *error = "it is not a regular file";
        return -1;
    }
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        *error = ec.message();
        return -1;
    }
    return static_cast<long long>(size);
}

bool CImageFile::Open(const std::string& path, long long maxBytes, std::string* error) {
    Close();
    m_length = 0;
    m_bytesRead = 0;
    const long long length = Measure(path, error);
    if (length < 0) {
        return false;
    }
    m_length = length;
    if (m_length > maxBytes) {
        *error = "it is too large";
        return false;
    }
    FileStamp before;
    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(path.c_str(), "rb"));
    if (!stream || !StampOf(path, &before)) {
        *error = errno ? std::strerror(errno) : "cannot be opened";
        return false;
    }
    try {
        m_bytes.resize(static_cast<std::size_t>(m_length));
    } catch (const std::bad_alloc&) {
        Close();
        *error = "there is not enough memory to hold it";
        return false;
    }
    const std::size_t got = std::fread(m_bytes.data(), 1, m_bytes.size(), stream.get());
    FileStamp after;
    // A build or a copy writing the file while it was read would leave a mix of two versions.
    if (got != m_bytes.size() || before.size != m_bytes.size() || !StampOf(path, &after) ||
        !(after == before)) {
        Close();
        *error = "it changed while it was being read; try again once it is written";
        return false;
    }
    m_bOpen = true;
    return true;
}

void CImageFile::Close() {
    std::vector<std::uint8_t>().swap(m_bytes);
    m_bOpen = false;
}

bool CImageFile::IsExhausted() const {
    return m_bytesRead >= m_length;
}

int CImageFile::ReadBlock(std::uint8_t* dst) {
    if (!m_bOpen) {
        return -1;
    }
    const auto left = static_cast<std::size_t>(std::max(0LL, m_length - m_bytesRead));
    const std::size_t count = std::min(left, kBlockDataSize);
    const auto from = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_bytesRead);
    std::copy(from, from + static_cast<std::ptrdiff_t>(count), dst);
    // Erased flash reads 0xFF, so the bytes past the image's end are sent as such.
    std::fill(dst + count, dst + kBlockDataSize, kBlockFiller);
    m_bytesRead += static_cast<long long>(count);
    return static_cast<int>(count);
}
