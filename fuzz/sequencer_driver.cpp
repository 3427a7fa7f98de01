// One fuzzed download: the steps of an input applied to the sequencer, with the checks after each.
#include "sequencer_driver.h"

#include <cstdio>

#include <algorithm>
#include <cstring>

#include "expected_conversation.h"
#include "link_protocol.h"

namespace {
const std::string kQuitOk = ":QUIT_OK#";
constexpr std::size_t kReadTextKept = 32;  // enough to see the last reply

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool HasSuccessLine(const CMemoryLog& log) {
    return log.text.find(kSuccessLine) != std::string::npos;
}

// What a boot loader in good order answers to each command.
const char* RightAnswer(WireItem command) {
    switch (command) {
        case WireItem::WakeUp:
            return ":OK#";
        case WireItem::GetVersion:
            return ":English Ver1.0#";
        case WireItem::Erase:
            return ":EX_OK#";
        case WireItem::CheckBlank:
            return ":BX_OK#";
        case WireItem::DownData:
            return ":RB_OK#";
        case WireItem::RamToExt:
            return ":WE_OK#";
        case WireItem::Quit:
            return ":QUIT_OK#";
    }
    return ":OK#";
}
}  // namespace

void CSequencerRun::CCheckedPort::SetOutput(const std::uint8_t* data, std::size_t size) {
    if (!open) {
        ++closedWrites;
    }
    wire.insert(wire.end(), data, data + size);
}

// The reply text of one read: leading zero bytes are noise, a later zero byte ends it.
std::vector<std::uint8_t> CSequencerRun::CCheckedPort::GetInput() {
    std::vector<std::uint8_t> bytes = CMemoryPort::GetInput();
    std::size_t from = 0;
    while (from < bytes.size() && bytes[from] == 0) {
        ++from;
    }
    for (std::size_t i = from; i < bytes.size() && bytes[i] != 0; ++i) {
        readText += static_cast<char>(bytes[i]);
    }
    if (readText.size() > kReadTextKept) {
        readText.erase(0, readText.size() - kReadTextKept);
    }
    return bytes;
}

CSequencerRun::CSequencerRun(const CFuzzImages& images)
    : m_images(images),
      m_sequencer(DownloadHost{m_port, m_log, m_progress, m_buttons, m_wakeUpTimer, m_replyTimer}),
      m_checker([this](const WireCommand& command) { Track(command); }) {
    m_sequencer.SetEndCallback([this](DownloadEnd end) { OnEnd(end); });
    m_port.errorText = "Cannot open COM1: the port does not exist";
}

std::string CSequencerRun::Play(const std::uint8_t* data, std::size_t size) {
    m_sequencer.SetFilePath(m_images.Path(CFuzzImages::kSmall));
    const std::uint8_t* at = data;
    const std::uint8_t* const end = data + size;
    Step('S', at, end);
    Step('T', at, end);
    while (at < end && m_failure.empty()) {
        const char op = static_cast<char>(*at++);
        Step(op, at, end);
    }
    return m_failure;
}

void CSequencerRun::Step(char op, const std::uint8_t*& at, const std::uint8_t* end) {
    const auto arg = [&]() -> std::uint8_t { return at < end ? *at++ : 0; };
    const bool hadSuccessLine = HasSuccessLine(m_log);
    m_successThisStep = false;
    m_receiveStep = false;
    switch (op) {
        case 'R':
            DeliverRightAnswer(false, 0);
            break;
        case 'r':
            DeliverRightAnswer(true, arg());
            break;
        case 'K':
            Deliver(kReplies[arg() % kReplyCount]);
            break;
        case 'D': {
            const std::size_t wanted = arg();
            const std::size_t length = std::min(wanted, static_cast<std::size_t>(end - at));
            Deliver(at, length);
            at += length;
            break;
        }
        case 'N':
            OtherEvent(arg());
            break;
        case 'C':
            ClosePort();
            break;
        case 'L':
            LoseLine();
            break;
        case 'T':
            Tick();
            break;
        case 'O':
            ReplyTimeout();
            break;
        case 'S':
            Start();
            break;
        case 'P': {
            const int index = arg() % 9;
            m_sequencer.OnSelchangePortCombo(index, "COM" + std::to_string(index + 1));
            break;
        }
        case 'F':
            m_port.refuseOpen = (arg() & 1) != 0;
            break;
        case 'I':
            m_choice = static_cast<CFuzzImages::Choice>(arg() % CFuzzImages::kChoiceCount);
            m_sequencer.SetFilePath(m_images.Path(m_choice));
            break;
        default:
            return;
    }
    CheckAfterStep(hadSuccessLine);
}

void CSequencerRun::Start() {
    m_ended = false;
    m_end = DownloadEnd::None;
    m_endsSinceStart = 0;
    m_startedWith = m_choice;
    m_blocksSent = 0;
    m_blocksCopied = 0;
    m_quitAfterAllBlocks = false;
    m_sequencer.OnStartDownload();
    if (m_port.open) {
        m_lineLostPending = false;  // the event of the port closed before went with it
    }
}

void CSequencerRun::Tick() {
    if (m_wakeUpTimer.active) {
        m_sequencer.OnTimer();
    }
}

void CSequencerRun::ReplyTimeout() {
    if (m_replyTimer.active) {
        m_replyTimer.active = false;  // it fires once
        m_sequencer.OnReplyTimeout();
    }
}

// A port that closes under the tool (the adapter pulled out) may be seen closed by a wake-up
// tick before its line-lost event arrives.
void CSequencerRun::ClosePort() {
    if (m_port.open) {
        m_port.open = false;
        m_lineLostPending = true;
    }
}

void CSequencerRun::LoseLine() {
    ClosePort();
    if (!m_lineLostPending) {
        return;
    }
    m_lineLostPending = false;
    m_port.errorText = "The serial line to COM1 was lost: Input/output error";
    m_port.event = kComEvLineLost;
    m_sequencer.OnCommEvent();
    if (m_wakeUpTimer.active) {
        Fail("the wake-up timer still runs after the line was lost");
    }
}

void CSequencerRun::OtherEvent(std::uint8_t code) {
    if (!m_port.open) {
        return;  // a closed port raises no events
    }
    m_port.event = code == kComEvReceive ? 3 : static_cast<short>(code);
    const int reads = m_port.reads;
    const std::size_t written = m_port.wire.size();
    const int ends = m_endsSinceStart;
    m_sequencer.OnCommEvent();
    if (m_port.reads != reads || m_port.wire.size() != written || m_endsSinceStart != ends) {
        Fail("event " + std::to_string(code) + " (not a receive) was acted on");
    }
}

void CSequencerRun::Deliver(const std::uint8_t* data, std::size_t size) {
    if (!m_port.open) {
        return;
    }
    m_receiveStep = true;
    // Bytes left unread stay in the port and come with the next read.
    m_port.input.insert(m_port.input.end(), data, data + size);
    m_port.event = kComEvReceive;
    m_sequencer.OnCommEvent();
}

void CSequencerRun::Deliver(const char* text) {
    Deliver(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
}

void CSequencerRun::DeliverRightAnswer(bool split, std::uint8_t cut) {
    const char* answer = RightAnswer(m_lastCommand);
    const std::size_t length = std::strlen(answer);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(answer);
    if (!split) {
        Deliver(bytes, length);
        return;
    }
    const std::size_t at = 1 + cut % (length - 1);
    Deliver(bytes, at);
    Deliver(bytes + at, length - at);
}

void CSequencerRun::OnEnd(DownloadEnd end) {
    m_ended = true;
    m_end = end;
    m_wireAtEnd = m_port.wire.size();
    ++m_endsSinceStart;
    if (end == DownloadEnd::Success) {
        m_successThisStep = true;
    }
}

void CSequencerRun::CheckAfterStep(bool hadSuccessLine) {
    const std::vector<std::uint8_t>& wire = m_port.wire;
    if (!m_checker.Feed(wire.data() + m_wireChecked, wire.size() - m_wireChecked)) {
        Fail("invalid output: " + m_checker.Error());
        return;
    }
    if (m_ended && wire.size() > m_wireAtEnd) {
        const std::size_t shown = std::min<std::size_t>(wire.size() - m_wireAtEnd, 40);
        Fail(std::string("wrote \"") + Escaped(wire.data() + m_wireAtEnd, shown) +
             "\" after the download ended (" + DownloadEndName(m_end) + ")");
        return;
    }
    m_wireChecked = wire.size();
    if (!m_checker.AtBoundary()) {
        Fail("a command or its data block was cut short");
        return;
    }
    if (m_port.closedWrites > 0) {
        Fail("wrote to a closed port");
        return;
    }
    if (m_endsSinceStart > 1) {
        Fail("two ends without Start Download in between");
    }
    if (m_ended && (m_wakeUpTimer.active || m_replyTimer.active)) {
        Fail(std::string("a timer still runs after the end (") + DownloadEndName(m_end) + ")");
    }
    const bool successLine = HasSuccessLine(m_log) && !hadSuccessLine;
    if (m_successThisStep || successLine) {
        CheckSuccess(successLine);
    }
}

void CSequencerRun::Track(const WireCommand& command) {
    m_lastCommand = command.item;
    const auto& blocks = m_images.Blocks(m_startedWith);
    if (command.item == WireItem::DownData) {
        if (m_blocksSent >= blocks.size()) {
            Fail("block " + std::to_string(m_blocksSent + 1) + " sent, but the image has " +
                 std::to_string(blocks.size()));
        } else if (!std::equal(blocks[m_blocksSent].begin(), blocks[m_blocksSent].end(),
                               command.data)) {
            Fail("block " + std::to_string(m_blocksSent + 1) + " is not the image's");
        }
        ++m_blocksSent;
        m_quitAfterAllBlocks = false;
    } else if (command.item == WireItem::RamToExt) {
        // Each block is copied once, right after it was sent, to its own address.
        char expected[21];
        std::snprintf(expected, sizeof expected, ":RAMTO_EXT %08X#",
                      0x81000000u + 0x400u * static_cast<unsigned>(m_blocksSent - 1));
        if (m_blocksSent == 0 || m_blocksCopied != m_blocksSent - 1 || command.text != expected) {
            Fail("\"" + std::string(command.text) + "\" after " + std::to_string(m_blocksSent) +
                 " blocks sent and " + std::to_string(m_blocksCopied) + " copied");
        }
        ++m_blocksCopied;
    } else if (command.item == WireItem::Erase || command.item == WireItem::CheckBlank) {
        if (m_blocksSent > 0) {
            Fail("\"" + std::string(command.text) + "\" after the data phase began");
        }
    } else if (command.item == WireItem::Quit) {
        m_quitAfterAllBlocks = m_blocksSent == blocks.size() && m_blocksCopied == m_blocksSent;
        m_port.readText.clear();
    }
}

void CSequencerRun::CheckSuccess(bool successLine) {
    const std::string sent = std::to_string(m_blocksSent) + " of " +
                             std::to_string(m_images.Blocks(m_startedWith).size()) + " blocks";
    if (!m_receiveStep) {
        Fail("success reported outside a receive event");
    } else if (m_successThisStep != successLine) {
        Fail("the Success end and the success line in the log disagree");
    } else if (m_sequencer.LastEnd() != DownloadEnd::Success) {
        Fail("the success line is in the log, but the last end is not Success");
    } else if (!m_quitAfterAllBlocks) {
        Fail("success reported, but \":QUIT_COMM#\" did not follow the image's last block (" +
             sent + " sent)");
    } else if (!EndsWith(m_port.readText, kQuitOk)) {
        Fail("success reported without \":QUIT_OK#\" after \":QUIT_COMM#\" (read since: \"" +
             Escaped(m_port.readText) + "\")");
    } else {
        ++m_successes;
    }
}

void CSequencerRun::Fail(const std::string& what) {
    if (m_failure.empty()) {
        m_failure = what;
    }
}
