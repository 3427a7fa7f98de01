// The firmware image: a raw file of bytes, measured at Start Download and read in 1024-byte
// blocks while it is sent.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class CImageFile {
public:
    // The file's length in bytes, or -1 with a reason when it cannot be measured.
    static long long Measure(const std::string& path, std::string* error);

    // Opens the image for reading ("rb"); closes a stream left open before.
    bool Open(const std::string& path, std::string* error);
    bool IsOpen() const { return m_stream != nullptr; }
    // True once every byte measured at opening has gone out in a block; true at once for an
    // empty image.
    bool IsExhausted() const;
    // Reads the next block into dst (1024 bytes); the part past the end of the image is filled
    // with 0xFF. Returns the number of image bytes read, or -1 when the file has shrunk and the
    // bytes that were measured are no longer there.
    int ReadBlock(std::uint8_t* dst);
    void Close() { m_stream.reset(); }
    long long Length() const { return m_length; }
    long long BytesRead() const { return m_bytesRead; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> m_stream;
    long long m_length = 0;
    long long m_bytesRead = 0;
};
