// Validation of the tool's output stream, one byte at a time.
#include "wire_checker.h"

#include <cstdio>

namespace {
constexpr std::uint8_t kWakeUp = 0xAA;
constexpr std::size_t kLongestFrame = 20;  // the three address commands
// A frame may run somewhat past the longest command before it counts as unterminated, so that a
// malformed command is reported whole.
constexpr std::size_t kUnterminatedFrame = 48;
constexpr std::size_t kDataBytes = 1024;
constexpr std::size_t kBlockBytes = kDataBytes + 1;

bool IsUpperHexRun(const std::string& text, std::size_t from, std::size_t count) {
    if (text.size() < from + count) {
        return false;
    }
    for (std::size_t i = from; i < from + count; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

// ":WORD " + digits + zeros + "#", 20 bytes in all.
bool IsAddressCommand(const std::string& text, const char* word, std::size_t digits) {
    const std::string head(word);
    if (text.size() != kLongestFrame || text.compare(0, head.size(), head) != 0) {
        return false;
    }
    const std::string tail = std::string(8 - digits, '0') + "#";
    return IsUpperHexRun(text, head.size(), digits) &&
           text.compare(head.size() + digits, std::string::npos, tail) == 0;
}
}  // namespace

std::uint8_t BitwiseCrc8(const std::uint8_t* data, std::size_t size) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80u) ? ((crc << 1) ^ 0x07u) : (crc << 1);
            crc &= 0xFFu;
        }
    }
    return static_cast<std::uint8_t>(crc);
}

std::string Escaped(const std::uint8_t* data, std::size_t size) {
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = data[i];
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string Escaped(const std::string& text) {
    return Escaped(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool CWireChecker::Feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size && m_error.empty(); ++i) {
        FeedByte(data[i]);
    }
    return m_error.empty();
}

bool CWireChecker::FeedByte(std::uint8_t byte) {
    switch (m_state) {
        case State::Idle:
            if (byte == kWakeUp) {
                m_sink({WireItem::WakeUp, "\xAA", nullptr});
                return true;
            }
            if (byte != ':') {
                return Fail("stray byte " + Escaped(&byte, 1) + " between commands");
            }
            m_frame.assign(1, ':');
            m_state = State::Frame;
            return true;
        case State::Frame:
            m_frame += static_cast<char>(byte);
            if (byte == '#') {
                return EndFrame();
            }
            if (m_frame.size() >= kUnterminatedFrame) {
                return Fail("command without its '#': \"" + Escaped(m_frame) + "\"");
            }
            return true;
        case State::Block:
            m_block.push_back(byte);
            return m_block.size() == kBlockBytes ? EndBlock() : true;
    }
    return true;
}

bool CWireChecker::EndFrame() {
    m_state = State::Idle;
    WireItem item;
    if (m_frame == ":GET_VER00#") {
        item = WireItem::GetVersion;
    } else if (m_frame == ":QUIT_COMM#") {
        item = WireItem::Quit;
    } else if (m_frame == ":DOWN DATA#") {
        m_block.clear();
        m_state = State::Block;
        return true;
    } else if (IsAddressCommand(m_frame, ":ERASE_EXT ", 5)) {
        item = WireItem::Erase;
    } else if (IsAddressCommand(m_frame, ":CHKBL_EXT ", 5)) {
        item = WireItem::CheckBlank;
    } else if (IsAddressCommand(m_frame, ":RAMTO_EXT ", 6)) {
        item = WireItem::RamToExt;
    } else {
        return Fail("malformed command \"" + Escaped(m_frame) + "\"");
    }
    m_sink({item, m_frame, nullptr});
    return true;
}

bool CWireChecker::EndBlock() {
    m_state = State::Idle;
    const std::uint8_t expected = BitwiseCrc8(m_block.data(), kDataBytes);
    if (m_block[kDataBytes] != expected) {
        char text[80];
        std::snprintf(text, sizeof text, "data block with checksum 0x%02X instead of 0x%02X",
                      m_block[kDataBytes], expected);
        return Fail(text);
    }
    m_sink({WireItem::DownData, ":DOWN DATA#", m_block.data()});
    return true;
}

bool CWireChecker::Fail(const std::string& error) {
    if (m_error.empty()) {
        m_error = error;
    }
    return false;
}
