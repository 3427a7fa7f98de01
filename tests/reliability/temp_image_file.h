// A firmware image in a file of its own folder, which a test may truncate, grow or remove while
// a download reads it; the folder goes when the object does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rel {

class CTempImageFile {
public:
    explicit CTempImageFile(const std::vector<std::uint8_t>& bytes);
    ~CTempImageFile();
    CTempImageFile(const CTempImageFile&) = delete;
    CTempImageFile& operator=(const CTempImageFile&) = delete;

    bool Valid() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    // The content written at construction or by the last Rewrite.
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

    bool Rewrite(const std::vector<std::uint8_t>& bytes);
    // These change the file only: Bytes() keeps what the download started with.
    bool Truncate(std::size_t length) const;
    bool Append(const std::vector<std::uint8_t>& bytes) const;
    bool Remove() const;

private:
    std::string m_folder;
    std::string m_path;
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace rel
