// Image files in a private temporary folder.
#include "temp_image_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace rel {

namespace {

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
               std::ios::openmode mode) {
    std::ofstream out(path, std::ios::binary | mode);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

CTempImageFile::CTempImageFile(const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "afd-rel-XXXXXX").string();
    if (ec || ::mkdtemp(pattern.data()) == nullptr) {
        return;
    }
    m_folder = pattern;
    m_path = m_folder + "/image.bin";
    if (!Rewrite(bytes)) {
        m_path.clear();
    }
}

CTempImageFile::~CTempImageFile() {
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
}

bool CTempImageFile::Rewrite(const std::vector<std::uint8_t>& bytes) {
    m_bytes = bytes;
    return WriteFile(m_path, bytes, std::ios::trunc);
}

bool CTempImageFile::Truncate(std::size_t length) const {
    std::error_code ec;
    std::filesystem::resize_file(m_path, length, ec);
    return !ec;
}

bool CTempImageFile::Append(const std::vector<std::uint8_t>& bytes) const {
    return WriteFile(m_path, bytes, std::ios::app);
}

bool CTempImageFile::Remove() const {
    std::error_code ec;
    return std::filesystem::remove(m_path, ec);
}

}  // namespace rel
