// The bytes of a download, counted from the protocol's own command and reply texts.
#include "wire_model.h"

#include <cstring>

#include "link_protocol.h"

namespace bench {

namespace {

std::size_t Len(const char* text) {
    return std::strlen(text);
}

std::size_t ReplyLen(int reply) {
    return Len(kReplies[reply]);
}

}  // namespace

CWireModel::CWireModel() {
    const std::uint32_t firstSector = SectorOfStep(kFirstSectorStep);
    m_fixed.push_back({"wake-up byte + \":OK#\"", 1, sizeof kWakeUpByte, ReplyLen(kReplyOk)});
    m_fixed.push_back(
        {"\":GET_VER00#\" + version", 1, Len(kCmdGetVersion), ReplyLen(kReplyVersion)});
    m_fixed.push_back({"erase + \":EX_OK#\"", static_cast<std::size_t>(kSectorCount),
                       EraseCommand(firstSector).size(), ReplyLen(kReplyExOk)});
    m_fixed.push_back({"blank check + \":BX_OK#\"", static_cast<std::size_t>(kSectorCount),
                       CheckBlankCommand(firstSector).size(), ReplyLen(kReplyBxOk)});
    m_fixed.push_back(
        {"\":QUIT_COMM#\" + \":QUIT_OK#\"", 1, Len(kCmdQuit), ReplyLen(kReplyQuitOk)});
    m_block = {"\":DOWN DATA#\" + block + \":RB_OK#\" + \":RAMTO_EXT ...#\" + \":WE_OK#\"", 1,
               Len(kCmdDownData) + kBlockSize + RamToExtCommand(1).size(),
               ReplyLen(kReplyRbOk) + ReplyLen(kReplyWeOk)};
}

std::size_t CWireModel::FixedBytes() const {
    std::size_t bytes = 0;
    for (const Exchange& exchange : m_fixed) {
        bytes += exchange.Bytes();
    }
    return bytes;
}

std::size_t CWireModel::ToolBytes(std::size_t blocks) const {
    std::size_t bytes = blocks * m_block.toolBytes;
    for (const Exchange& exchange : m_fixed) {
        bytes += exchange.count * exchange.toolBytes;
    }
    return bytes;
}

std::size_t CWireModel::LoaderBytes(std::size_t blocks) const {
    std::size_t bytes = blocks * m_block.loaderBytes;
    for (const Exchange& exchange : m_fixed) {
        bytes += exchange.count * exchange.loaderBytes;
    }
    return bytes;
}

std::size_t CWireModel::TotalBytes(std::size_t blocks) const {
    return FixedBytes() + blocks * BytesPerBlock();
}

std::size_t CWireModel::RoundTrips(std::size_t blocks) const {
    std::size_t replies = 2 * blocks;
    for (const Exchange& exchange : m_fixed) {
        replies += exchange.count;
    }
    return replies;
}

double CWireModel::WireSeconds(std::size_t blocks) const {
    return static_cast<double>(TotalBytes(blocks)) / kLineBytesPerSecond;
}

double CWireModel::WireSecondsWithReplyLatency(std::size_t blocks, double latencySeconds) const {
    return WireSeconds(blocks) + static_cast<double>(RoundTrips(blocks)) * latencySeconds;
}

std::size_t CWireModel::BlocksOf(std::size_t imageBytes) {
    return (imageBytes + kBlockDataSize - 1) / kBlockDataSize;
}

}  // namespace bench
