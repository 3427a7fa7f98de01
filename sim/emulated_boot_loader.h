// The boot loader's side of the serial protocol, with no I/O: bytes from the tool go in, the
// replies to write back come out. Thread-compatible; the pty driver serialises access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator_options.h"
#include "flash_model.h"
#include "input_framer.h"
#include "loader_commands.h"

class CEmulatedBootLoader {
public:
    explicit CEmulatedBootLoader(EmulatorOptions options = {});

    // One element is written with one write() call, after waiting delayBeforeMs.
    struct Write {
        std::vector<std::uint8_t> bytes;
        int delayBeforeMs = 0;
        // How many bytes of the Receive() input had been taken when this write was produced: the
        // reply answers a command whose last byte is at inputEnd - 1, which lets the driver pace
        // it.
        std::size_t inputEnd = 0;
    };

    // Bytes from the tool, in any split; `awake` tells whether the reset delay is over.
    std::vector<Write> Receive(const std::uint8_t* data, std::size_t size, bool awake);
    // The fault plan asked for the line to be dropped; nothing more is taken in after that.
    bool HangUpRequested() const { return m_hangUp; }
    // The fault plan asked for the line to be flooded once the writes so far are out.
    bool FloodRequested() const { return m_flood; }

    // Every framed command received, in order (":DOWN DATA#" once per block), valid or not.
    const std::vector<std::string>& Commands() const { return m_commands; }
    // The 1025-byte blocks as received, whether their CRC was right or not.
    const std::vector<std::vector<std::uint8_t>>& Blocks() const { return m_blocks; }
    // 0xAA bytes received outside frames and blocks, before and after waking.
    int WakeUpBytes() const { return m_wakeUpBytes; }
    std::size_t BytesReceived() const { return m_bytesReceived; }
    // Erased flash (and flash never touched) reads 0xFF.
    std::vector<std::uint8_t> ReadFlash(std::uint32_t address, std::size_t size) const;
    int ErasedSectors() const { return m_erasedSectors; }
    int BlankChecks() const { return m_blankChecks; }

    // The framed commands that were malformed or unknown and went unanswered.
    const std::vector<std::string>& Rejected() const { return m_rejected; }
    // Frames given up before their '#' (overlong, or broken by a control byte or a new ':').
    int DroppedFrames() const { return m_framer.DroppedFrames(); }
    // True between an answered wake-up and ":QUIT_COMM#".
    bool Listening() const { return m_listening; }

private:
    void OnWakeUp(std::size_t inputEnd, std::vector<Write>& out);
    void OnFrame(const std::string& frame, std::size_t inputEnd, std::vector<Write>& out);
    void OnBlock(const std::vector<std::uint8_t>& block, std::size_t inputEnd,
                 std::vector<Write>& out);
    void Execute(const sim::ParsedCommand& command, int index, std::size_t inputEnd,
                 std::vector<Write>& out);
    // True when command `index` must go unanswered: the line is silenced or hung up.
    bool Unanswered(int index);
    bool FaultAt(FaultKind kind, int index) const;
    // Writes `text` as the answer to command `index`, shaped by any fault planned for it.
    void Reply(int index, const std::string& text, std::size_t inputEnd, std::vector<Write>& out);
    void ReplyError(sim::CommandKind kind, std::size_t inputEnd, std::vector<Write>& out);

    EmulatorOptions m_options;
    sim::CInputFramer m_framer;
    sim::CFlashModel m_flash;
    std::vector<std::uint8_t> m_staged;  // the block held in RAM; empty when none is
    std::vector<std::string> m_commands;
    std::vector<std::string> m_rejected;
    std::vector<std::vector<std::uint8_t>> m_blocks;
    std::size_t m_bytesReceived = 0;
    int m_wakeUpBytes = 0;
    int m_answeredWakeUps = 0;
    int m_erasedSectors = 0;
    int m_blankChecks = 0;
    int m_nextCommandIndex = 1;   // 0 is the first wake-up
    int m_dataCommandIndex = -1;  // the ":DOWN DATA#" whose block is arriving
    bool m_listening = false;
    bool m_silent = false;
    bool m_hangUp = false;
    bool m_flood = false;
};
