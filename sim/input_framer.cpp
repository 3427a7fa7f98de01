// Byte-level framing of what the tool sends: text frames, the raw block after ":DOWN DATA#", and
// everything else, which the boot loader skips.
#include "input_framer.h"

#include "loader_commands.h"

namespace sim {

namespace {
bool IsPrintable(std::uint8_t byte) {
    return byte >= 0x20 && byte <= 0x7E;
}
}  // namespace

CInputFramer::Event CInputFramer::PushIdle(std::uint8_t byte) {
    if (byte == ':') {
        m_state = State::Frame;
        m_frame.assign(1, ':');
        return Event::None;
    }
    return Event::Stray;
}

CInputFramer::Event CInputFramer::Push(std::uint8_t byte) {
    switch (m_state) {
        case State::Idle:
            return PushIdle(byte);
        case State::Frame:
            if (byte == '#') {
                m_frame.push_back('#');
                if (m_frame == kDataCommand) {
                    m_state = State::Block;
                    m_block.clear();
                    m_block.reserve(kBlockSize);
                } else {
                    m_state = State::Idle;
                }
                return Event::Frame;
            }
            if (byte == ':' || !IsPrintable(byte)) {
                // A lost '#' or line noise: give up this frame; the byte may start the next one.
                ++m_droppedFrames;
                m_state = State::Idle;
                return PushIdle(byte);
            }
            if (m_frame.size() + 1 >= kMaxFrameSize) {
                ++m_droppedFrames;
                m_state = State::Idle;
                m_frame.clear();
                return Event::None;
            }
            m_frame.push_back(static_cast<char>(byte));
            return Event::None;
        case State::Block:
            m_block.push_back(byte);
            if (m_block.size() == kBlockSize) {
                m_state = State::Idle;
                return Event::Block;
            }
            return Event::None;
    }
    return Event::None;
}

}  // namespace sim
