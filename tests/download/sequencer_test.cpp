// The download sequencer on the in-memory host, for what a real line cannot show: the timers, a
// late second ":OK#", a port closed while waking, an image file that changes after Start
// Download, and one too large for the address field.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "download_sequencer.h"
#include "expected_conversation.h"
#include "link_protocol.h"
#include "memory_host.h"
#include "temp_image.h"

namespace {

// What a boot loader in good order answers to the last thing the tool wrote.
std::string AnswerTo(const std::vector<std::uint8_t>& write) {
    const std::string text(write.begin(), write.end());
    const char* const answers[][2] = {
        {"\xAA", ":OK#"},           {":GET_VER00#", ":English Ver1.0#"},
        {":ERASE_EXT ", ":EX_OK#"}, {":CHKBL_EXT ", ":BX_OK#"},
        {":RAMTO_EXT ", ":WE_OK#"}, {":QUIT_COMM#", ":QUIT_OK#"},
    };
    for (const auto& [command, answer] : answers) {
        if (text.rfind(command, 0) == 0) {
            return answer;
        }
    }
    return write.size() == kBlockSize ? ":RB_OK#" : "?";
}

// One download on its own in-memory host, moved on one event at a time.
struct Download {
    explicit Download(const std::string& imagePath, int replyTimeoutMs = kReplyTimeoutMs) {
        sequencer.SetReplyTimeoutMs(replyTimeoutMs);
        sequencer.SetFilePath(imagePath);
        sequencer.OnStartDownload();
    }
    // The next event: a wake-up tick while nothing was sent, else the answer to the last write.
    void Step() {
        if (host.port.wire.empty()) {
            sequencer.OnTimer();
        } else {
            Receive(AnswerTo(host.port.lastWrite));
        }
    }
    void Receive(const std::string& text) {
        host.port.input.assign(text.begin(), text.end());
        host.port.event = kComEvReceive;
        sequencer.OnCommEvent();
    }
    const std::vector<std::uint8_t>& Run() {
        while (sequencer.LastEnd() == DownloadEnd::None) {
            Step();
        }
        return host.port.wire;
    }
    void ExpectEnd(DownloadEnd end, const std::string& log) const {
        EXPECT_EQ(sequencer.LastEnd(), end);
        EXPECT_EQ(host.log.text, log);
        EXPECT_TRUE(host.buttons.start && host.buttons.open);
        EXPECT_FALSE(host.wakeUpTimer.active || host.replyTimer.active);
    }

    CMemoryHost host;
    CDownloadSequencer sequencer{host.Host()};
};

// While the tool waits for the controller only receive events (code 2) are read, a wake-up byte
// goes out every 100 ms, and no reply time-out runs; then each command has the whole time-out for
// its own reply. A wake-up byte already on its way when ":OK#" came brings a second ":OK#": the
// version is asked for again, and the second version reply, once the erase has begun, is ignored.
TEST(Sequencer, TheTimersOfACompleteDownloadWithALateSecondOk) {
    const CTempImage image(5 * 1024 + 300);
    Download d(image.path);
    for (const short event : {0, 1, 3}) {
        d.host.port.event = event;
        d.sequencer.OnCommEvent();
    }
    EXPECT_EQ(d.host.port.reads, 0);
    EXPECT_TRUE(d.host.wakeUpTimer.active);
    EXPECT_EQ(d.host.wakeUpTimer.interval, 100);
    EXPECT_FALSE(d.host.replyTimer.active);
    d.Step();
    d.Step();
    EXPECT_FALSE(d.host.wakeUpTimer.active);
    EXPECT_EQ(d.host.replyTimer.interval, 10000);
    d.Receive(":OK#");
    d.Step();  // the version reply: the first erase goes out
    EXPECT_FALSE(d.host.buttons.start || d.host.buttons.open);
    d.Receive(":English Ver1.0#");
    d.Run();
    d.ExpectEnd(DownloadEnd::Success, kSuccessLog);
    EXPECT_EQ(d.host.replyTimer.starts, static_cast<int>(ExpectedCommands(5 * 1024 + 300).size()));
    std::vector<std::uint8_t> expected = Download(image.path).Run();
    const std::string request = ":GET_VER00#";
    expected.insert(expected.begin() + 1 + request.size(), request.begin(), request.end());
    EXPECT_TRUE(d.host.port.wire == expected);
}

// The time-out runs from the first version request: a controller that keeps saying ":OK#" does
// not keep the download alive. A reply that comes after the end changes nothing.
TEST(Sequencer, AReplyTimeOutEndsTheDownloadAndSaysHowLongItWaited) {
    const CTempImage image(10);
    for (const auto& [timeoutMs, limit] : std::vector<std::pair<int, std::string>>{
             {kReplyTimeoutMs, "10 seconds"}, {1000, "1 second"}, {150, "150 ms"}}) {
        Download d(image.path, timeoutMs);
        d.Step();
        d.Step();
        d.Receive(":OK#");
        d.sequencer.OnReplyTimeout();
        const std::string log = kPromptLine + "The hand controller did not answer within " + limit +
                                ".\r\n" + kErrorLine;
        const std::size_t sent = d.host.port.wire.size();
        d.Receive(":English Ver1.0#");
        d.ExpectEnd(DownloadEnd::Timeout, log);
        EXPECT_EQ(d.host.port.wire.size(), sent);
    }
}

// The image is taken whole at Start Download: choosing another file while waking, or removing
// the file after the second block, changes nothing that goes out; nor does a wake-up tick that
// finds the port closed, which ends the ticking. The file chosen then is too large for the
// address field: the next start refuses it before anything is sent.
TEST(Sequencer, TheImageIsTheFileAsItWasAtStartDownloadAndOneTooLargeIsRefused) {
    const CTempImage image(64 * 1024, 3), tooLarge(0);
    std::filesystem::resize_file(tooLarge.path, static_cast<std::uintmax_t>(kMaxImageBytes) + 1);
    const std::vector<std::uint8_t> wire = Download(image.path).Run();
    Download d(image.path);
    d.Step();
    d.sequencer.SetFilePath(tooLarge.path);
    d.host.port.open = false;
    d.sequencer.OnTimer();
    EXPECT_FALSE(d.host.wakeUpTimer.active);
    d.host.port.open = true;
    while (d.host.progress.position < 22) {  // after the second block
        d.Step();
    }
    std::filesystem::remove(image.path);
    EXPECT_TRUE(d.Run() == wire);
    d.ExpectEnd(DownloadEnd::Success, kSuccessLog);
    d.sequencer.OnStartDownload();
    d.ExpectEnd(DownloadEnd::NoImage,
                "ERROR!!!The data file is too large: 2130706433 bytes; at most 2130706432 bytes "
                "fit below the top of the flash address range.\r\n");
    EXPECT_TRUE(d.host.port.wire == wire);
}

}  // namespace
