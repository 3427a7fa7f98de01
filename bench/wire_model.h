// The physical limit of a download: the bytes that must cross the 115200 8N1 line, one command
// and one reply at a time, and the time they take.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

// 115200 baud with a start and a stop bit around each 8 data bits.
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;

// One exchange of the conversation: what the tool sends and what the boot loader answers.
struct Exchange {
    std::string what;       // e.g. "68 x erase + blank check"
    std::size_t count = 0;  // how many times it happens
    std::size_t toolBytes = 0;
    std::size_t loaderBytes = 0;
    std::size_t Bytes() const { return count * (toolBytes + loaderBytes); }
};

class CWireModel {
public:
    CWireModel();

    // The exchanges every download makes, whatever the image: wake-up, version, the 68 sectors,
    // quit; and the exchange of one block (data command, block, its reply, copy-to-flash, reply).
    const std::vector<Exchange>& FixedExchanges() const { return m_fixed; }
    const Exchange& BlockExchange() const { return m_block; }

    std::size_t FixedBytes() const;
    std::size_t BytesPerBlock() const { return m_block.Bytes(); }
    std::size_t ToolBytes(std::size_t blocks) const;
    std::size_t LoaderBytes(std::size_t blocks) const;
    std::size_t TotalBytes(std::size_t blocks) const;
    // One reply per command: wake-up, version, 2 per sector, 2 per block, quit.
    std::size_t RoundTrips(std::size_t blocks) const;

    // The time the bytes take on the line, in seconds.
    double WireSeconds(std::size_t blocks) const;
    // The same with every reply held back by `latencySeconds` (a USB adapter's latency timer).
    double WireSecondsWithReplyLatency(std::size_t blocks, double latencySeconds) const;

    static std::size_t BlocksOf(std::size_t imageBytes);

private:
    std::vector<Exchange> m_fixed;
    Exchange m_block;
};

}  // namespace bench
