// Reads back everything the tool wrote to the port and accepts only what the boot loader
// understands: the lone wake-up byte, its commands in their exact forms, and data blocks whose
// checksum is right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class WireItem { WakeUp, GetVersion, Erase, CheckBlank, DownData, RamToExt, Quit };

// One complete command, valid only while the checker's sink runs.
struct WireCommand {
    WireItem item = WireItem::WakeUp;
    std::string_view text;               // the framed text; "\xAA" for the wake-up byte
    const std::uint8_t* data = nullptr;  // the 1024 image bytes after ":DOWN DATA#"
};

// CRC-8 with polynomial 0x07, computed bit by bit so that it shares nothing with the table the
// tool uses.
std::uint8_t BitwiseCrc8(const std::uint8_t* data, std::size_t size);

// Printable form of raw bytes for failure messages: "\xAA", "\x00", plain text otherwise.
std::string Escaped(const std::uint8_t* data, std::size_t size);
std::string Escaped(const std::string& text);

class CWireChecker {
public:
    using Sink = std::function<void(const WireCommand&)>;
    // The sink hears of every complete command, in order.
    explicit CWireChecker(Sink sink) : m_sink(std::move(sink)) {}

    // Takes the next bytes written, in order. Returns false once anything malformed went out.
    bool Feed(const std::uint8_t* data, std::size_t size);
    // True between two whole commands: no frame cut short, no block still owed.
    bool AtBoundary() const { return m_state == State::Idle; }
    const std::string& Error() const { return m_error; }

private:
    enum class State { Idle, Frame, Block };
    bool FeedByte(std::uint8_t byte);
    bool EndFrame();
    bool EndBlock();
    bool Fail(const std::string& error);

    Sink m_sink;
    State m_state = State::Idle;
    std::string m_frame;
    std::vector<std::uint8_t> m_block;
    std::string m_error;
};
