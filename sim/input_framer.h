// Cuts the byte stream from the tool into framed commands, raw data blocks and stray bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class CInputFramer {
public:
    // The longest command is 20 bytes; anything much longer is noise, not a command.
    static constexpr std::size_t kMaxFrameSize = 64;
    // ":DOWN DATA#" is followed by 1024 data bytes and their CRC-8, with no framing of their own.
    static constexpr std::size_t kBlockSize = 1025;

    enum class Event {
        None,   // the byte was taken into a frame or block that is not complete yet
        Stray,  // a byte outside any frame (a wake-up byte, or garbage between frames)
        Frame,  // a frame from ':' to '#' is complete: see Frame()
        Block,  // a data block is complete: see Block()
    };

    Event Push(std::uint8_t byte);

    const std::string& Frame() const { return m_frame; }
    const std::vector<std::uint8_t>& Block() const { return m_block; }
    // Frames given up before their '#': too long, broken by a control byte or by a new ':'.
    int DroppedFrames() const { return m_droppedFrames; }
    bool InsideFrameOrBlock() const { return m_state != State::Idle; }

private:
    enum class State { Idle, Frame, Block };

    Event PushIdle(std::uint8_t byte);

    State m_state = State::Idle;
    std::string m_frame;
    std::vector<std::uint8_t> m_block;
    int m_droppedFrames = 0;
};

}  // namespace sim
