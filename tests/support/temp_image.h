// A firmware image in a temporary file, removed again when the test is done.
#pragma once

#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class CTempImage {
public:
    explicit CTempImage(std::size_t size, std::uint32_t seed = 7) {
        for (std::uint32_t x = seed; bytes.size() < size;) {
            x = x * 1103515245u + 12345u;
            bytes.push_back(static_cast<std::uint8_t>(x >> 16));
        }
        char name[] = "/tmp/afd-image-XXXXXX";
        ::close(::mkstemp(name));
        path = name;
        Write(bytes);
    }
    ~CTempImage() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    CTempImage(const CTempImage&) = delete;
    CTempImage& operator=(const CTempImage&) = delete;

    void Write(const std::vector<std::uint8_t>& content) const {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
    }

    // The image as the flash must hold it: the bytes, then 0xFF up to the end of the last block.
    std::vector<std::uint8_t> Flashed() const {
        std::vector<std::uint8_t> padded = bytes;
        padded.resize((bytes.size() + 1023) / 1024 * 1024, 0xFF);
        return padded;
    }

    std::vector<std::uint8_t> bytes;
    std::string path;
};
