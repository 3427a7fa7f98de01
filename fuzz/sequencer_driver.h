// Plays one fuzz input as a download against the sequencer on the in-memory host, and checks
// after every step the properties every download must keep.
//
// An input is a stream of one-letter steps, some followed by one argument byte; any other byte
// is skipped. Before the first step the small image is chosen, Start Download is clicked and the
// wake-up timer fires once.
//   R       the boot loader's right answer to the last command, in one receive event
//   r n     the same, split into two events after 1 + n % (length - 1) bytes
//   K n     reply n % 14 of the boot loader's replies, in one event
//   D n ... a receive event carrying the next n bytes, whatever they are
//   N n     an event of the serial control other than "bytes received" (code n)
//   C       the port closes under the tool; its line-lost event comes with the next L
//   L       the line is lost: the port closes and the control raises its line-lost event
//   T       the wake-up timer fires, if it runs
//   O       the reply timer fires, if it runs
//   S       Start Download is clicked
//   P n     port n % 9 is chosen in the list
//   F n     the port refuses to open from now on if n is odd, opens again if n is even
//   I n     the file for the next start: n % 5 picks the small image, an empty one, a missing
//           one, a folder, or none at all
// A whole successful download of the small image is "R" repeated 145 times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "download_sequencer.h"
#include "fuzz_images.h"
#include "memory_host.h"
#include "wire_checker.h"

class CSequencerRun {
public:
    explicit CSequencerRun(const CFuzzImages& images);
    CSequencerRun(const CSequencerRun&) = delete;
    CSequencerRun& operator=(const CSequencerRun&) = delete;

    // Returns the first property that broke, or an empty string when all held.
    std::string Play(const std::uint8_t* data, std::size_t size);

    int Successes() const { return m_successes; }
    DownloadEnd LastEnd() const { return m_sequencer.LastEnd(); }
    const std::vector<std::uint8_t>& Wire() const { return m_port.wire; }

private:
    // Keeps only what the checks need: the wire, writes to a port that is not open (a real port
    // would refuse them), and the tail of the reply text the sequencer has read.
    class CCheckedPort : public CMemoryPort {
    public:
        void SetOutput(const std::uint8_t* data, std::size_t size) override;
        std::vector<std::uint8_t> GetInput() override;
        int closedWrites = 0;
        std::string readText;
    };

    void Step(char op, const std::uint8_t*& at, const std::uint8_t* end);
    void Start();
    void Tick();
    void ReplyTimeout();
    void ClosePort();
    void LoseLine();
    void OtherEvent(std::uint8_t code);
    void Deliver(const std::uint8_t* data, std::size_t size);
    void Deliver(const char* text);
    void DeliverRightAnswer(bool split, std::uint8_t cut);
    void OnEnd(DownloadEnd end);

    void CheckAfterStep(bool hadSuccessLine);
    void Track(const WireCommand& command);
    void CheckSuccess(bool successLine);
    void Fail(const std::string& what);

    const CFuzzImages& m_images;
    CCheckedPort m_port;
    CMemoryLog m_log;
    CMemoryProgress m_progress;
    CMemoryButtons m_buttons;
    CMemoryTimer m_wakeUpTimer;
    CMemoryTimer m_replyTimer;
    CDownloadSequencer m_sequencer;
    CWireChecker m_checker;
    std::size_t m_wireChecked = 0;
    bool m_lineLostPending = false;  // the port closed, its event not yet raised

    CFuzzImages::Choice m_choice = CFuzzImages::kSmall;       // for the next start
    CFuzzImages::Choice m_startedWith = CFuzzImages::kSmall;  // at the last start
    WireItem m_lastCommand = WireItem::WakeUp;
    std::size_t m_blocksSent = 0;       // since the last start
    std::size_t m_blocksCopied = 0;     // ":RAMTO_EXT" commands since the last start
    bool m_quitAfterAllBlocks = false;  // the last ":QUIT_COMM#" followed the image's last block

    bool m_ended = false;  // an end since the last start
    DownloadEnd m_end = DownloadEnd::None;
    std::size_t m_wireAtEnd = 0;
    int m_endsSinceStart = 0;
    bool m_successThisStep = false;
    bool m_receiveStep = false;
    int m_successes = 0;
    std::string m_failure;
};
