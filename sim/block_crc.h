// The checksum the boot loader verifies on every data block, computed bit by bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

// CRC-8, polynomial 0x07, initial value 0, most significant bit first, no final XOR.
std::uint8_t BlockCrc8(const std::uint8_t* data, std::size_t size);

}  // namespace sim
