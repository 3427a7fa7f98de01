// CRC-8 of a data block: polynomial 0x07, initial value 0, no reflection, no final XOR.
#pragma once

#include <cstddef>
#include <cstdint>

extern const std::uint8_t g_crc8Table[256];

std::uint8_t Crc8Update(std::uint8_t crc, std::uint8_t byte);
// The checksum of a whole buffer, starting from 0.
std::uint8_t Crc8(const std::uint8_t* data, std::size_t size);
