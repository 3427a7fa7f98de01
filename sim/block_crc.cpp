// Bitwise CRC-8 over a data block, kept apart from the tool's table so each checks the other.
#include "block_crc.h"

namespace sim {

std::uint8_t BlockCrc8(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint8_t kPolynomial = 0x07;
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc = static_cast<std::uint8_t>(crc ^ data[i]);
        for (int bit = 0; bit < 8; ++bit) {
            const bool topBitSet = (crc & 0x80) != 0;
            crc = static_cast<std::uint8_t>(crc << 1);
            if (topBitSet) {
                crc = static_cast<std::uint8_t>(crc ^ kPolynomial);
            }
        }
    }
    return crc;
}

}  // namespace sim
