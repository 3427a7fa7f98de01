// The download sequencer: runs the conversation with the hand controller's boot loader, one
// reply at a time, from the Start Download click to the last line in the log box.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "download_host.h"
#include "firmware_image.h"
#include "reply_assembler.h"

// How the last download ended; flashdl turns it into its exit status.
enum class DownloadEnd {
    None,          // still running, or never started
    Success,       // ":QUIT_OK#" after the last block
    ErrorReply,    // one of the seven error replies
    Unrecognised,  // a reply the boot loader never sends: the download is reset
    Stopped,       // Start Download clicked while a download was active
    NoImage,       // no image chosen, or it cannot be measured, opened or sent
    PortError,     // the port could not be opened
    LineLost,      // the adapter was unplugged or the line hung up
    Timeout,       // a command got no reply in time
    ImageChanged,  // the image taken at Start Download could not be sent
};

const char* DownloadEndName(DownloadEnd end);

// The default time a command may wait for its reply.
constexpr int kReplyTimeoutMs = 10000;
constexpr int kWakeUpPeriodMs = 100;

class CDownloadSequencer {
public:
    explicit CDownloadSequencer(DownloadHost host);
    CDownloadSequencer(const CDownloadSequencer&) = delete;
    CDownloadSequencer& operator=(const CDownloadSequencer&) = delete;

    // Handlers, called on the user-interface thread.
    void OnStartDownload();
    void OnSelchangePortCombo(int index, const std::string& portName);
    void OnTimer();
    void OnCommEvent();
    void OnReplyTimeout();

    // The chosen image; set by Open Data File, used by the next Start Download.
    void SetFilePath(const std::string& path) { m_strFilePath = path; }
    const std::string& FilePath() const { return m_strFilePath; }

    bool IsDownloading() const { return m_bDownloading != 0; }
    int PortNumber() const { return m_nPort; }
    const std::string& PortName() const { return m_strPortName; }
    DownloadEnd LastEnd() const { return m_lastEnd; }
    int BlocksSent() const { return m_nBlocksSent; }

    // Called once at every end of a download.
    void SetEndCallback(std::function<void(DownloadEnd)> onEnd) { m_onEnd = std::move(onEnd); }
    void SetReplyTimeoutMs(int ms) { m_nReplyTimeoutMs = ms; }

private:
    bool OpenPort();
    // Arms the reply timer unless `restartTimer` is false and it is already running.
    void Send(const char* command, int awaitedReply, bool restartTimer = true);
    void SendAddressCommand(const char* word, const char* suffix, int awaitedReply);
    void NextSector();
    void NextBlockOrQuit();
    void CopyBlockToFlash();
    void ActOnReply(int replyIndex);
    bool IsStaleHandshake(int replyIndex) const;
    void EndWithError(DownloadEnd end, const std::string& reason);
    void EndReset();
    void Finish(DownloadEnd end);
    void ArmReplyTimer();

    DownloadHost m_host;
    std::string m_strFilePath;
    CImageFile m_pImageFile;
    int m_nPort = 1;
    std::string m_strPortName = "COM1";
    int m_bDownloading = 0;
    CReplyAssembler m_reply;
    // The success reply that answers the command last sent; any other success reply is not the
    // boot loader's answer (a stray or garbled reply) and must not steer the download.
    int m_nAwaitedReply = -1;
    bool m_bVersionAccepted = false;  // the erase has begun in this download
    DownloadEnd m_lastEnd = DownloadEnd::None;
    int m_nBlocksSent = 0;
    int m_nReplyTimeoutMs = kReplyTimeoutMs;
    std::function<void(DownloadEnd)> m_onEnd;

    // The conversation's state between two events belongs to this download alone, so downloads
    // on several ports never disturb one another: the step counter, the current address text,
    // the command being built (which is also the block buffer) and the image size in KiB.
    static constexpr std::size_t kBufferSize = 1030;
    int m_nStep = 0;
    char m_szAddress[kBufferSize] = {};
    char m_szCommand[kBufferSize] = {};
    int m_nImageKB = 0;
};
