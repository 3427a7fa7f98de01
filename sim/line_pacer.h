// Models the time bytes take on a 115200 8N1 line, with running clocks for each direction so
// that deadlines are absolute and rounding or oversleeping never adds up.
#pragma once

#include <chrono>
#include <cstddef>

namespace sim {

class CLinePacer {
public:
    using Clock = std::chrono::steady_clock;
    // 115200 baud with a start and a stop bit around 8 data bits: 11,520 bytes a second.
    static constexpr long long kBytesPerSecond = 11520;

    explicit CLinePacer(bool paced) : m_paced(paced) {}

    // Time `bytes` bytes take on the line, rounded up to the nanosecond.
    static Clock::duration LineTime(std::size_t bytes);

    // A chunk of `size` bytes was read at `readAt`. On a line that was busy until after `readAt`
    // the chunk follows on from the previous one; on an idle line it starts at `readAt`.
    void OnReceived(Clock::time_point readAt, std::size_t size);
    // When the byte before `inputEnd` of the latest chunk has fully arrived.
    Clock::time_point ArrivalOf(std::size_t inputEnd) const;
    // A reply of `size` bytes may start crossing the line at `earliestStart` (or when the line
    // is free, if later): the time its last byte has crossed, which is when to write it.
    Clock::time_point TransmitDeadline(Clock::time_point earliestStart, std::size_t size);

private:
    // One direction of the line: the time it last went busy and the bytes sent since, so every
    // deadline is computed from one start point and per-byte rounding cannot add up.
    struct Direction {
        Clock::time_point busySince{};
        std::size_t bytes = 0;
        Clock::time_point FreeAt() const { return busySince + LineTime(bytes); }
        // Queues `size` bytes that may start at `earliest`; returns when the first of them starts.
        std::size_t Queue(Clock::time_point earliest, std::size_t size);
    };

    bool m_paced;
    Clock::time_point m_readAt{};
    std::size_t m_chunkOffset = 0;  // bytes of the receive direction before the latest chunk
    Direction m_receive;
    Direction m_transmit;
};

}  // namespace sim
