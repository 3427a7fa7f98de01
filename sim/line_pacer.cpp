// Line timing at 115200 8N1 for the emulated boot loader.
#include "line_pacer.h"

namespace sim {

CLinePacer::Clock::duration CLinePacer::LineTime(std::size_t bytes) {
    constexpr long long kNsPerSecond = 1000000000;
    const long long ns =
        (static_cast<long long>(bytes) * kNsPerSecond + kBytesPerSecond - 1) / kBytesPerSecond;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns));
}

std::size_t CLinePacer::Direction::Queue(Clock::time_point earliest, std::size_t size) {
    if (earliest > FreeAt()) {
        // The line was idle: start a new run of bytes.
        busySince = earliest;
        bytes = 0;
    }
    const std::size_t offset = bytes;
    bytes += size;
    return offset;
}

void CLinePacer::OnReceived(Clock::time_point readAt, std::size_t size) {
    m_readAt = readAt;
    if (m_paced) {
        m_chunkOffset = m_receive.Queue(readAt, size);
    }
}

CLinePacer::Clock::time_point CLinePacer::ArrivalOf(std::size_t inputEnd) const {
    if (!m_paced) {
        return m_readAt;
    }
    return m_receive.busySince + LineTime(m_chunkOffset + inputEnd);
}

CLinePacer::Clock::time_point CLinePacer::TransmitDeadline(Clock::time_point earliestStart,
                                                           std::size_t size) {
    if (!m_paced) {
        return earliestStart;
    }
    m_transmit.Queue(earliestStart, size);
    return m_transmit.FreeAt();
}

}  // namespace sim
