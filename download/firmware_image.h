// The firmware image: a raw file of bytes, taken whole into memory at Start Download and handed
// out in 1024-byte blocks while it is sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CImageFile {
public:
    // The file's length in bytes, or -1 with a reason when it cannot be measured or is not a
    // regular file (a folder, a FIFO, a device).
    static long long Measure(const std::string& path, std::string* error);

    // Reads the whole image, so that what goes out is the file as it is now, whatever a build
    // or a copy does to it later. Refuses, with a reason, a file longer than maxBytes (Length()
    // then tells its length) and a file that changed while it was being read.
    bool Open(const std::string& path, long long maxBytes, std::string* error);
    bool IsOpen() const { return m_bOpen; }
    // True once every byte has gone out in a block; true at once for an empty image.
    bool IsExhausted() const;
    // Copies the next block into dst (1024 bytes); the part past the end of the image is filled
    // with 0xFF. Returns the number of image bytes in it, or -1 when no image is held.
    int ReadBlock(std::uint8_t* dst);
    // Lets the image's memory go.
    void Close();
    long long Length() const { return m_length; }
    long long BytesRead() const { return m_bytesRead; }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    bool m_bOpen = false;
    long long m_length = 0;
    long long m_bytesRead = 0;
};
