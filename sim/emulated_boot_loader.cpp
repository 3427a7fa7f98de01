// The boot loader's protocol logic: wake-up, command dispatch, block staging, flash, and the
// faults a test can plan.
#include "emulated_boot_loader.h"

#include <algorithm>
#include <utility>

#include "block_crc.h"

using sim::CommandKind;

namespace {

constexpr char kDefaultUnknownReply[] = ":WHAT#";
constexpr char kDefaultOtherVersion[] = ":English Ver2.0#";
constexpr char kTrailingJunk[] = "JUNK";
constexpr int kSplitGapMs = 20;
constexpr int kLateOkGapMs = 30;
constexpr int kRepeatedOkForMs = 60 * 1000;
constexpr std::size_t kBlockDataSize = sim::CInputFramer::kBlockSize - 1;  // then its CRC-8

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace

CEmulatedBootLoader::CEmulatedBootLoader(EmulatorOptions options) : m_options(std::move(options)) {}

std::vector<CEmulatedBootLoader::Write> CEmulatedBootLoader::Receive(const std::uint8_t* data,
                                                                     std::size_t size, bool awake) {
    std::vector<Write> out;
    for (std::size_t i = 0; i < size && !m_hangUp; ++i) {
        ++m_bytesReceived;
        const std::uint8_t byte = data[i];
        const std::size_t inputEnd = i + 1;
        if (!m_listening) {
            // Until the wake-up is answered the boot loader looks at nothing but 0xAA, and while
            // the controller is still resetting not even at that.
            if (byte == sim::kWakeUpByte) {
                ++m_wakeUpBytes;
                if (awake) {
                    OnWakeUp(inputEnd, out);
                }
            }
            continue;
        }
        switch (m_framer.Push(byte)) {
            case sim::CInputFramer::Event::Stray:
                // Late wake-up bytes and line noise between frames are skipped.
                if (byte == sim::kWakeUpByte) {
                    ++m_wakeUpBytes;
                }
                break;
            case sim::CInputFramer::Event::Frame:
                OnFrame(m_framer.Frame(), inputEnd, out);
                break;
            case sim::CInputFramer::Event::Block:
                OnBlock(m_framer.Block(), inputEnd, out);
                break;
            case sim::CInputFramer::Event::None:
                break;
        }
    }
    return out;
}

std::vector<std::uint8_t> CEmulatedBootLoader::ReadFlash(std::uint32_t address,
                                                         std::size_t size) const {
    return m_flash.Read(address, size);
}

bool CEmulatedBootLoader::FaultAt(FaultKind kind, int index) const {
    return m_options.fault.kind == kind && index >= 0 && m_options.fault.atCommand == index;
}

bool CEmulatedBootLoader::Unanswered(int index) {
    const FaultPlan& fault = m_options.fault;
    if (fault.kind == FaultKind::Silence && fault.atCommand >= 0 && index >= fault.atCommand) {
        m_silent = true;
    }
    if (m_silent) {
        return true;
    }
    if (FaultAt(FaultKind::HangUp, index)) {
        m_hangUp = true;
        return true;
    }
    return false;
}

void CEmulatedBootLoader::OnWakeUp(std::size_t inputEnd, std::vector<Write>& out) {
    m_listening = true;
    // Only the first wake-up has an index; a later one follows a ":QUIT_COMM#".
    const int index = m_answeredWakeUps++ == 0 ? 0 : -1;
    if (Unanswered(index)) {
        return;
    }
    if (FaultAt(FaultKind::ErrorReply, index)) {
        ReplyError(CommandKind::Invalid, inputEnd, out);
        return;
    }
    Reply(index, sim::kReplyOk, inputEnd, out);
    if (index == 0 && m_options.fault.kind == FaultKind::LateSecondOk) {
        out.push_back(Write{Bytes(sim::kReplyOk), kLateOkGapMs, inputEnd});
    }
    if (index == 0 && m_options.fault.kind == FaultKind::RepeatedOk) {
        const int gapMs = std::max(1, m_options.fault.count);
        for (int elapsed = gapMs; elapsed <= kRepeatedOkForMs; elapsed += gapMs) {
            out.push_back(Write{Bytes(sim::kReplyOk), gapMs, inputEnd});
        }
        m_silent = true;
    }
}

void CEmulatedBootLoader::OnFrame(const std::string& frame, std::size_t inputEnd,
                                  std::vector<Write>& out) {
    const int index = m_nextCommandIndex++;
    m_commands.push_back(frame);
    const sim::ParsedCommand command = sim::ParseCommand(frame);
    if (command.kind == CommandKind::Invalid) {
        m_rejected.push_back(frame);
    }
    if (command.kind == CommandKind::Data) {
        m_dataCommandIndex = index;
    }
    if (Unanswered(index) || command.kind == CommandKind::Invalid) {
        return;
    }
    if (command.kind == CommandKind::Data) {
        return;  // answered once its block has arrived
    }
    if (FaultAt(FaultKind::ErrorReply, index) || FaultAt(FaultKind::Flood, index)) {
        // A failed command leaves the flash as it was.
        ReplyError(command.kind, inputEnd, out);
        m_flood = FaultAt(FaultKind::Flood, index);
        return;
    }
    Execute(command, index, inputEnd, out);
}

void CEmulatedBootLoader::Execute(const sim::ParsedCommand& command, int index,
                                  std::size_t inputEnd, std::vector<Write>& out) {
    switch (command.kind) {
        case CommandKind::GetVersion: {
            const FaultPlan& fault = m_options.fault;
            const bool other = fault.kind == FaultKind::OtherVersion &&
                               (fault.atCommand < 0 || fault.atCommand == index);
            const std::string version =
                !other ? sim::kReplyVersion
                       : (fault.text.empty() ? kDefaultOtherVersion : fault.text);
            Reply(index, version, inputEnd, out);
            break;
        }
        case CommandKind::Erase:
            m_flash.EraseSector(command.address);
            ++m_erasedSectors;
            Reply(index, sim::kReplyEraseOk, inputEnd, out);
            break;
        case CommandKind::BlankCheck:
            ++m_blankChecks;
            Reply(
                index,
                m_flash.IsSectorBlank(command.address) ? sim::kReplyBlankOk : sim::kReplyBlankError,
                inputEnd, out);
            break;
        case CommandKind::RamToFlash: {
            // The staged block is used up by the copy: a second copy needs a new block.
            const bool written = !m_staged.empty() &&
                                 m_flash.Write(command.address, m_staged.data(), m_staged.size());
            m_staged.clear();
            Reply(index, written ? sim::kReplyWriteOk : sim::kReplyWriteError, inputEnd, out);
            break;
        }
        case CommandKind::Quit:
            // After quitting, the controller waits for a wake-up again, as after a reset.
            m_staged.clear();
            m_listening = false;
            Reply(index, sim::kReplyQuitOk, inputEnd, out);
            break;
        case CommandKind::Data:
        case CommandKind::Invalid:
            break;
    }
}

void CEmulatedBootLoader::OnBlock(const std::vector<std::uint8_t>& block, std::size_t inputEnd,
                                  std::vector<Write>& out) {
    m_blocks.push_back(block);
    const int index = m_dataCommandIndex;
    m_staged.clear();
    if (m_silent) {
        return;
    }
    if (FaultAt(FaultKind::ErrorReply, index)) {
        ReplyError(CommandKind::Data, inputEnd, out);
        return;
    }
    const bool crcOk = sim::BlockCrc8(block.data(), kBlockDataSize) == block[kBlockDataSize];
    if (crcOk) {
        m_staged.assign(block.begin(), block.begin() + kBlockDataSize);
    }
    Reply(index, crcOk ? sim::kReplyBlockOk : sim::kReplyBlockError, inputEnd, out);
}

void CEmulatedBootLoader::ReplyError(CommandKind kind, std::size_t inputEnd,
                                     std::vector<Write>& out) {
    const std::string& text = m_options.fault.text;
    out.push_back(Write{Bytes(text.empty() ? sim::ErrorReplyFor(kind) : text), 0, inputEnd});
}

void CEmulatedBootLoader::Reply(int index, const std::string& text, std::size_t inputEnd,
                                std::vector<Write>& out) {
    const FaultPlan& fault = m_options.fault;
    std::vector<std::uint8_t> bytes = Bytes(text);
    if (FaultAt(FaultKind::UnknownReply, index)) {
        bytes = Bytes(fault.text.empty() ? kDefaultUnknownReply : fault.text);
    }
    if (FaultAt(FaultKind::SplitReply, index)) {
        const auto middle = bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() / 2);
        out.push_back(Write{std::vector<std::uint8_t>(bytes.begin(), middle), 0, inputEnd});
        out.push_back(Write{std::vector<std::uint8_t>(middle, bytes.end()), kSplitGapMs, inputEnd});
        return;
    }
    if (FaultAt(FaultKind::NoiseBeforeReply, index)) {
        const std::size_t zeros = fault.count > 0 ? static_cast<std::size_t>(fault.count) : 0;
        bytes.insert(bytes.begin(), zeros, 0);
    }
    if (FaultAt(FaultKind::ZeroAfterReply, index)) {
        bytes.push_back(0);
        bytes.insert(bytes.end(), kTrailingJunk, kTrailingJunk + sizeof(kTrailingJunk) - 1);
    }
    out.push_back(Write{std::move(bytes), 0, inputEnd});
}
