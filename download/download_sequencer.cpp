// The download sequencer: every reply of the boot loader selects its own action, and each action
// ends with the next command handed to the port; the next reply arrives as a later event.
#include "download_sequencer.h"

#include <cstring>

#include "crc8.h"
#include "link_protocol.h"

namespace {
constexpr char kLinePrompt[] = "Please reset the KESTRANE(VELMORA), waiting for connection ...\r\n";
constexpr char kLineCheckDevices[] =
    "Please make sure all devices is OK, then click Start Download.\r\n";
constexpr char kLineNoDataFile[] = "ERROR!!!Cannot find the data file.\r\n";
constexpr char kLineError[] =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\r\n";
constexpr char kLineConnected[] = "Connected.\r\n";
constexpr char kLineProcessing[] = "Processing ...\r\n";
constexpr char kLineDuration[] = "Total progress may need 5 minutes.\r\n";
constexpr char kLineWait[] = "Please wait ...\r\n";
constexpr char kLineSuccess[] = "Flash download successfully finished!\r\n";

// The erase phase's progress positions are 1 and 5 to 20; blocks follow from position 21.
constexpr int kErasePositions = 20;
}  // namespace

const char* DownloadEndName(DownloadEnd end) {
    switch (end) {
        case DownloadEnd::None:
            return "none";
        case DownloadEnd::Success:
            return "success";
        case DownloadEnd::ErrorReply:
            return "error reply";
        case DownloadEnd::Unrecognised:
            return "unrecognised reply";
        case DownloadEnd::Stopped:
            return "stopped";
        case DownloadEnd::NoImage:
            return "no image";
        case DownloadEnd::PortError:
            return "port error";
        case DownloadEnd::LineLost:
            return "line lost";
        case DownloadEnd::Timeout:
            return "no answer";
        case DownloadEnd::ImageChanged:
            return "image changed";
    }
    return "unknown";
}

CDownloadSequencer::CDownloadSequencer(DownloadHost host) : m_host(host) {}

void CDownloadSequencer::OnSelchangePortCombo(int index, const std::string& portName) {
    m_nPort = index + 1;
    m_strPortName = portName;
}

bool CDownloadSequencer::OpenPort() {
    ICommPort& port = m_host.port;
    if (port.GetPortOpen()) {
        port.SetPortOpen(false);
    }
    port.SetCommPort(m_strPortName);
    port.SetSettings(kLineSettings);
    port.SetRThreshold(1);
    port.SetInputMode(1);
    port.SetInputLen(0);
    port.SetOutBufferSize(2048);
    return port.SetPortOpen(true);
}

void CDownloadSequencer::OnStartDownload() {
    IDownloadLog& log = m_host.log;
    log.Clear();
    if (m_bDownloading) {
        m_bDownloading = 0;
        log.AppendLine(kLineCheckDevices);
        Finish(DownloadEnd::Stopped);
        return;
    }
    if (!OpenPort()) {
        m_host.log.ShowPortError(m_host.port.GetLastErrorText());
        Finish(DownloadEnd::PortError);
        return;
    }
    // A stream left open by an earlier download is closed before the image is opened again.
    m_pImageFile.Close();
    m_reply.Clear();
    m_bVersionAccepted = false;
    m_nBlocksSent = 0;
    m_lastEnd = DownloadEnd::None;

    if (m_strFilePath.empty()) {
        log.AppendLine(kLineNoDataFile);
        Finish(DownloadEnd::NoImage);
        return;
    }
    // The image is taken whole now: the download sends the file as it was at this click.
    std::string reason;
    if (!m_pImageFile.Open(m_strFilePath, kMaxImageBytes, &reason)) {
        if (m_pImageFile.Length() > kMaxImageBytes) {
            log.AppendLine(
                "ERROR!!!The data file is too large: " + std::to_string(m_pImageFile.Length()) +
                " bytes; at most " + std::to_string(kMaxImageBytes) +
                " bytes fit below the top of the flash address range.\r\n");
        } else {
            log.AppendLine(kLineNoDataFile);
            log.AppendLine("Cannot open " + m_strFilePath + ": " + reason + ".\r\n");
        }
        Finish(DownloadEnd::NoImage);
        return;
    }
    const long long length = m_pImageFile.Length();
    m_bDownloading = 1;
    m_nAwaitedReply = kReplyOk;
    m_nImageKB = static_cast<int>(length / static_cast<long long>(kBlockDataSize));
    // The range counts the erase phase's 20 positions too, so the bar fills with the last block.
    m_host.progress.SetRange(0, kErasePositions + static_cast<int>(BlockCount(length)));
    m_host.progress.SetPos(0);
    log.AppendLine(kLinePrompt);
    m_host.wakeUpTimer.Start(kWakeUpPeriodMs);
}

void CDownloadSequencer::OnTimer() {
    if (m_host.port.GetPortOpen()) {
        m_host.port.SetOutput(&kWakeUpByte, 1);
    } else {
        m_host.wakeUpTimer.Stop();
    }
}

void CDownloadSequencer::OnCommEvent() {
    const short event = m_host.port.GetCommEvent();
    if (event == kComEvLineLost) {
        m_host.wakeUpTimer.Stop();
        if (m_bDownloading) {
            EndWithError(DownloadEnd::LineLost, m_host.port.GetLastErrorText() + ".\r\n");
        }
        return;
    }
    if (event != kComEvReceive || !m_bDownloading) {
        return;
    }
    const std::vector<std::uint8_t> input = m_host.port.GetInput();
    const CReplyAssembler::Result result = m_reply.Feed(input.data(), input.size());
    switch (result.status) {
        case CReplyAssembler::Status::Pending:
            return;
        case CReplyAssembler::Status::Unrecognised:
            EndReset();
            return;
        case CReplyAssembler::Status::Complete:
            ActOnReply(result.replyIndex);
            return;
    }
}

void CDownloadSequencer::OnReplyTimeout() {
    if (!m_bDownloading) {
        return;
    }
    const int seconds = m_nReplyTimeoutMs / 1000;
    const std::string limit = m_nReplyTimeoutMs % 1000 != 0
                                  ? std::to_string(m_nReplyTimeoutMs) + " ms"
                              : seconds == 1 ? std::string("1 second")
                                             : std::to_string(seconds) + " seconds";
    EndWithError(DownloadEnd::Timeout,
                 "The hand controller did not answer within " + limit + ".\r\n");
}

// The boot loader answers a wake-up byte that was already on its way with a second ":OK#", and
// that one with a second version reply; once the erase has begun, both are only late echoes.
bool CDownloadSequencer::IsStaleHandshake(int replyIndex) const {
    return m_bVersionAccepted && (replyIndex == kReplyOk || replyIndex == kReplyVersion);
}

void CDownloadSequencer::ActOnReply(int replyIndex) {
    if (replyIndex < kErrorReplyCount) {
        EndWithError(DownloadEnd::ErrorReply, std::string());
        return;
    }
    if (IsStaleHandshake(replyIndex)) {
        return;
    }
    // A late ":OK#" while the version is asked for asks again; every other success reply must
    // answer the command last sent. Acting on any other would erase, copy or quit out of turn
    // and could put blocks at the wrong addresses under a success line.
    const bool askAgain = replyIndex == kReplyOk && m_nAwaitedReply == kReplyVersion;
    if (replyIndex != m_nAwaitedReply && !askAgain) {
        EndReset();
        return;
    }
    switch (replyIndex) {
        case kReplyOk:
            m_host.wakeUpTimer.Stop();
            // The version request's time-out counts from the first request: a controller that
            // keeps saying ":OK#" must not keep the download alive for ever.
            Send(kCmdGetVersion, kReplyVersion, !askAgain);
            return;
        case kReplyVersion:
            m_bVersionAccepted = true;
            m_host.buttons.EnableStart(false);
            m_host.buttons.EnableOpen(false);
            m_host.log.AppendLine(kLineConnected);
            m_host.log.AppendLine(kLineProcessing);
            m_host.log.AppendLine(kLineDuration);
            m_host.log.AppendLine(kLineWait);
            m_nStep = kFirstSectorStep;
            std::memset(m_szAddress, 0, sizeof m_szAddress);
            std::strcpy(m_szAddress, SectorDigits(SectorOfStep(m_nStep)).c_str());
            SendAddressCommand(kCmdEraseExt, kSectorSuffix, kReplyExOk);
            return;
        case kReplyExOk:
            SendAddressCommand(kCmdCheckBlankExt, kSectorSuffix, kReplyBxOk);
            return;
        case kReplyBxOk:
            NextSector();
            return;
        case kReplyRbOk:
            CopyBlockToFlash();
            return;
        case kReplyWeOk:
            NextBlockOrQuit();
            return;
        case kReplyQuitOk:
            m_bDownloading = 0;
            m_host.log.AppendLine(kLineSuccess);
            m_host.buttons.EnableStart(true);
            m_host.buttons.EnableOpen(true);
            Finish(DownloadEnd::Success);
            return;
        default:
            EndReset();
            return;
    }
}

void CDownloadSequencer::NextSector() {
    ++m_nStep;
    if (m_nStep % 4 == 0) {
        m_host.progress.SetPos(m_nStep / 4);
    }
    if (m_nStep == kSkipFromStep) {
        m_nStep = kSkipToStep;
    } else if (m_nStep == kPastLastSectorStep) {
        m_nStep = 0;
        NextBlockOrQuit();
        return;
    }
    std::memset(m_szAddress, 0, sizeof m_szAddress);
    std::strcpy(m_szAddress, SectorDigits(SectorOfStep(m_nStep)).c_str());
    SendAddressCommand(kCmdEraseExt, kSectorSuffix, kReplyExOk);
}

void CDownloadSequencer::NextBlockOrQuit() {
    if (!m_pImageFile.IsOpen()) {
        EndReset();  // no image to send: never read a closed stream
        return;
    }
    if (m_pImageFile.IsExhausted()) {
        m_pImageFile.Close();
        Send(kCmdQuit, kReplyQuitOk);
        return;
    }
    auto* block = reinterpret_cast<std::uint8_t*>(m_szCommand);
    if (m_pImageFile.ReadBlock(block) < 0) {
        EndWithError(DownloadEnd::ImageChanged,
                     "The data file " + m_strFilePath + " changed while it was being sent.\r\n");
        return;
    }
    block[kBlockDataSize] = Crc8(block, kBlockDataSize);
    // The command and its block go out back to back; the boot loader answers both at once.
    m_host.port.SetOutput(reinterpret_cast<const std::uint8_t*>(kCmdDownData),
                          sizeof kCmdDownData - 1);
    m_host.port.SetOutput(block, kBlockSize);
    ++m_nBlocksSent;
    m_nAwaitedReply = kReplyRbOk;
    ArmReplyTimer();
}

void CDownloadSequencer::CopyBlockToFlash() {
    ++m_nStep;
    m_host.progress.SetPos(m_nStep + kErasePositions);
    std::memset(m_szCommand, 0, sizeof m_szCommand);
    std::memset(m_szAddress, 0, sizeof m_szAddress);
    std::strcpy(m_szAddress, BlockDigits(m_nStep).c_str());
    SendAddressCommand(kCmdRamToExt, kBlockSuffix, kReplyWeOk);
}

void CDownloadSequencer::SendAddressCommand(const char* word, const char* suffix,
                                            int awaitedReply) {
    const std::string command = word + std::string(m_szAddress) + suffix + kCmdEnd;
    std::memset(m_szCommand, 0, sizeof m_szCommand);
    command.copy(m_szCommand, sizeof m_szCommand - 1);
    Send(m_szCommand, awaitedReply);
}

void CDownloadSequencer::Send(const char* command, int awaitedReply, bool restartTimer) {
    if (command != m_szCommand) {
        std::memset(m_szCommand, 0, sizeof m_szCommand);
        std::strcpy(m_szCommand, command);
    }
    m_host.port.SetOutput(reinterpret_cast<const std::uint8_t*>(m_szCommand),
                          std::strlen(m_szCommand));
    m_nAwaitedReply = awaitedReply;
    if (restartTimer || !m_host.replyTimer.IsActive()) {
        ArmReplyTimer();
    }
}

void CDownloadSequencer::ArmReplyTimer() {
    m_host.replyTimer.Start(m_nReplyTimeoutMs);
}

void CDownloadSequencer::EndWithError(DownloadEnd end, const std::string& reason) {
    m_bDownloading = 0;
    if (!reason.empty()) {
        m_host.log.AppendLine(reason);
    }
    m_host.log.AppendLine(kLineError);
    m_host.buttons.EnableStart(true);
    m_host.buttons.EnableOpen(true);
    Finish(end);
}

void CDownloadSequencer::EndReset() {
    m_bDownloading = 0;
    m_host.wakeUpTimer.Stop();
    m_host.log.Clear();
    m_host.log.AppendLine(kLineCheckDevices);
    m_host.buttons.EnableStart(true);
    // Open Data File too: otherwise a reset in the erase phase leaves no way to choose another
    // file.
    m_host.buttons.EnableOpen(true);
    Finish(DownloadEnd::Unrecognised);
}

void CDownloadSequencer::Finish(DownloadEnd end) {
    // A stopped download sends nothing more: no wake-up bytes, no waiting for a reply.
    m_host.wakeUpTimer.Stop();
    m_host.replyTimer.Stop();
    m_reply.Clear();
    m_pImageFile.Close();
    m_nAwaitedReply = -1;
    m_lastEnd = end;
    if (m_onEnd) {
        m_onEnd(end);
    }
}
