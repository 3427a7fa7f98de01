// The controller's external flash: 4 KiB sectors, erased to 0xFF, stored only once touched.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace sim {

class CFlashModel {
public:
    static constexpr std::uint32_t kSectorSize = 0x1000;
    static constexpr std::uint8_t kErased = 0xFF;

    // Erases the sector that holds `address`.
    void EraseSector(std::uint32_t address);
    // True when every byte of the sector that holds `address` is erased.
    bool IsSectorBlank(std::uint32_t address) const;
    // Copies `size` bytes to `address`; false (and nothing written) when they would run past the
    // top of the 32-bit address space.
    bool Write(std::uint32_t address, const std::uint8_t* data, std::size_t size);
    // Bytes at `address`; untouched flash and addresses past the top read as erased.
    std::vector<std::uint8_t> Read(std::uint32_t address, std::size_t size) const;
    // Sectors that have been erased or written at least once.
    std::size_t TouchedSectors() const { return m_sectors.size(); }

private:
    using Sector = std::array<std::uint8_t, kSectorSize>;
    Sector& TouchSector(std::uint32_t sectorIndex);

    std::map<std::uint32_t, Sector> m_sectors;  // keyed by address / kSectorSize
};

}  // namespace sim
