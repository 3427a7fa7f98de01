// Measuring and block-wise reading of the firmware image file.
#include "firmware_image.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "link_protocol.h"

long long CImageFile::Measure(const std::string& path, std::string* error) {
    namespace fs = std::filesystem;
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
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        *error = ec.message();
        return -1;
    }
    return static_cast<long long>(size);
}

bool CImageFile::Open(const std::string& path, std::string* error) {
    Close();
    m_bytesRead = 0;
    m_length = Measure(path, error);
    if (m_length < 0) {
        m_length = 0;
        return false;
    }
    errno = 0;
    m_stream.reset(std::fopen(path.c_str(), "rb"));
    if (!m_stream) {
        *error = errno ? std::strerror(errno) : "cannot be opened";
        return false;
    }
    return true;
}

bool CImageFile::IsExhausted() const {
    return m_bytesRead >= m_length;
}

int CImageFile::ReadBlock(std::uint8_t* dst) {
    if (!m_stream) {
        return -1;
    }
    const long long left = m_length - m_bytesRead;
    const std::size_t want = static_cast<std::size_t>(
        std::max(0LL, std::min(left, static_cast<long long>(kBlockDataSize))));
    const std::size_t got = std::fread(dst, 1, want, m_stream.get());
    if (got < want) {
        return -1;  // the file shrank after it was measured
    }
    // Erased flash reads 0xFF, so the bytes past the image's end are sent as such.
    std::fill(dst + got, dst + kBlockDataSize, kBlockFiller);
    m_bytesRead += static_cast<long long>(got);
    return static_cast<int>(got);
}
