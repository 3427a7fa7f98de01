// Sparse flash storage: a sector exists only after its first erase or write.
#include "flash_model.h"

#include <algorithm>

namespace sim {

namespace {
constexpr std::uint64_t kAddressSpace = 0x100000000ull;
}

CFlashModel::Sector& CFlashModel::TouchSector(std::uint32_t sectorIndex) {
    auto [it, inserted] = m_sectors.try_emplace(sectorIndex);
    if (inserted) {
        it->second.fill(kErased);
    }
    return it->second;
}

void CFlashModel::EraseSector(std::uint32_t address) {
    TouchSector(address / kSectorSize).fill(kErased);
}

bool CFlashModel::IsSectorBlank(std::uint32_t address) const {
    const auto it = m_sectors.find(address / kSectorSize);
    if (it == m_sectors.end()) {
        return true;
    }
    return std::all_of(it->second.begin(), it->second.end(),
                       [](std::uint8_t b) { return b == kErased; });
}

bool CFlashModel::Write(std::uint32_t address, const std::uint8_t* data, std::size_t size) {
    if (static_cast<std::uint64_t>(address) + size > kAddressSpace) {
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const std::uint32_t at = address + static_cast<std::uint32_t>(done);
        const std::size_t offset = at % kSectorSize;
        const std::size_t chunk = std::min(size - done, kSectorSize - offset);
        Sector& sector = TouchSector(at / kSectorSize);
        std::copy_n(data + done, chunk, sector.begin() + static_cast<std::ptrdiff_t>(offset));
        done += chunk;
    }
    return true;
}

std::vector<std::uint8_t> CFlashModel::Read(std::uint32_t address, std::size_t size) const {
    std::vector<std::uint8_t> out(size, kErased);
    std::size_t done = 0;
    while (done < size && address + static_cast<std::uint64_t>(done) < kAddressSpace) {
        const std::uint32_t at = address + static_cast<std::uint32_t>(done);
        const std::size_t offset = at % kSectorSize;
        const std::size_t chunk = std::min(size - done, kSectorSize - offset);
        const auto it = m_sectors.find(at / kSectorSize);
        if (it != m_sectors.end()) {
            std::copy_n(it->second.begin() + static_cast<std::ptrdiff_t>(offset), chunk,
                        out.begin() + static_cast<std::ptrdiff_t>(done));
        }
        done += chunk;
    }
    return out;
}

}  // namespace sim
