// The download sequencer on the in-memory host: the wire transcript, the flash, the log box,
// the progress bar, the buttons and the timers at every end.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversation.h"
#include "crc8.h"
#include "download_sequencer.h"
#include "link_protocol.h"
#include "memory_host.h"
#include "temp_image.h"

namespace {

const std::string kPrompt = "Please reset the KESTRANE(VELMORA), waiting for connection ...\r\n";
const std::string kConnected =
    "Connected.\r\nProcessing ...\r\nTotal progress may need 5 minutes.\r\nPlease wait ...\r\n";
const std::string kSuccess = "Flash download successfully finished!\r\n";
const std::string kError =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\r\n";
const std::string kCheckDevices =
    "Please make sure all devices is OK, then click Start Download.\r\n";
const std::string kNoFile = "ERROR!!!Cannot find the data file.\r\n";

// The commands a successful download sends after the wake-up byte.
std::vector<std::string> ExpectedCommands(std::size_t imageBytes) {
    std::vector<std::string> commands = {"\xAA", ":GET_VER00#"};
    for (int step = 1; step <= 80; step = (step == 4 ? 17 : step + 1)) {
        commands.push_back(EraseCommand(SectorOfStep(step)));
        commands.push_back(CheckBlankCommand(SectorOfStep(step)));
    }
    for (long long block = 1; block <= BlockCount(static_cast<long long>(imageBytes)); ++block) {
        commands.push_back(":DOWN DATA#");
        commands.push_back(RamToExtCommand(static_cast<int>(block)));
    }
    commands.push_back(":QUIT_COMM#");
    return commands;
}

class SequencerTest : public ::testing::Test {
protected:
    CMemoryHost host;
    CDownloadSequencer sequencer{host.Host()};
    CConversation talk{host, sequencer};

    std::size_t WrittenAfter(std::size_t before) const { return host.port.writes.size() - before; }
    // Command index of the first ":DOWN DATA#".
    static constexpr int kFirstBlock = 2 + 2 * 68;
};

class CompleteDownload : public SequencerTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(CompleteDownload, WireFlashLogAndProgress) {
    const std::size_t size = GetParam();
    CTempImage image(size);
    sequencer.SetFilePath(image.path);
    talk.Run();

    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Success);
    EXPECT_EQ(talk.commands, ExpectedCommands(size));
    EXPECT_EQ(talk.FlashBytes(image.Flashed().size()), image.Flashed());
    for (const auto& block : talk.blocks) {
        ASSERT_EQ(block.size(), 1025u);
        EXPECT_EQ(block[1024], Crc8(block.data(), 1024));
    }
    EXPECT_EQ(host.log.text, kPrompt + kConnected + kSuccess);
    EXPECT_TRUE(host.buttons.start);
    EXPECT_TRUE(host.buttons.open);
    EXPECT_FALSE(host.wakeUpTimer.active);
    EXPECT_FALSE(host.replyTimer.active);

    const int blocks = static_cast<int>(BlockCount(static_cast<long long>(size)));
    ASSERT_EQ(host.progress.ranges.size(), 1u);
    EXPECT_EQ(host.progress.ranges[0], std::make_pair(0, 20 + blocks));
    std::vector<int> positions = {0, 1};
    for (int p = 5; p <= 20 + blocks; ++p) {
        positions.push_back(p);
    }
    EXPECT_EQ(host.progress.positions, positions);
}

INSTANTIATE_TEST_SUITE_P(ImageSizes, CompleteDownload,
                         ::testing::Values(0u, 1u, 1023u, 1024u, 1025u, 2048u, 2500u, 100u * 1024));

TEST_F(SequencerTest, OpensThePortWithTheFixedLineSettings) {
    CTempImage image(10);
    sequencer.OnSelchangePortCombo(2, "COM3");
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    EXPECT_EQ(sequencer.PortNumber(), 3);
    EXPECT_EQ(host.port.portNameSet, "COM3");
    EXPECT_EQ(host.port.settings, "115200,n,8,1");
    EXPECT_EQ(host.port.rThreshold, 1);
    EXPECT_EQ(host.port.inputMode, 1);
    EXPECT_EQ(host.port.inputLen, 0);
    EXPECT_EQ(host.port.outBufferSize, 2048);
    EXPECT_TRUE(host.port.open);
    EXPECT_EQ(host.log.text, kPrompt);
    EXPECT_TRUE(host.wakeUpTimer.active);
    EXPECT_EQ(host.wakeUpTimer.interval, 100);
    // Waiting for the controller is not a reply wait: no time-out yet.
    EXPECT_FALSE(host.replyTimer.active);

    // A port chosen now is used by the next Start Download only.
    sequencer.OnSelchangePortCombo(4, "/dev/ttyUSB0");
    EXPECT_EQ(host.port.portNameSet, "COM3");
}

TEST_F(SequencerTest, ButtonsAreDisabledFromTheVersionReplyOn) {
    CTempImage image(2000);
    sequencer.SetFilePath(image.path);
    talk.overrides[kFirstBlock + 1] = "";  // silence after the first block's ":DOWN DATA#"
    talk.Run();
    EXPECT_TRUE(sequencer.IsDownloading());
    EXPECT_FALSE(host.buttons.start);
    EXPECT_FALSE(host.buttons.open);
    EXPECT_EQ(host.log.text, kPrompt + kConnected);
}

struct ErrorCase {
    const char* reply;
    int atCommand;
};

class ErrorReplies : public SequencerTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorReplies, EndTheDownloadAtOnce) {
    CTempImage image(3000);
    sequencer.SetFilePath(image.path);
    talk.overrides[GetParam().atCommand] = GetParam().reply;
    talk.Run();
    const std::size_t written = host.port.writes.size();

    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::ErrorReply);
    EXPECT_FALSE(sequencer.IsDownloading());
    EXPECT_EQ(host.log.text, kPrompt + kConnected + kError);
    EXPECT_TRUE(host.buttons.start);
    EXPECT_TRUE(host.buttons.open);
    EXPECT_FALSE(host.wakeUpTimer.active);
    EXPECT_FALSE(host.replyTimer.active);
    EXPECT_EQ(talk.commands.size(), static_cast<std::size_t>(GetParam().atCommand + 1));
    // A late reply after the end is not acted on.
    talk.Deliver(":EX_OK#");
    EXPECT_EQ(host.port.writes.size(), written);
    EXPECT_EQ(host.port.reads, static_cast<int>(talk.commands.size()));
}

std::vector<ErrorCase> AllErrorReplies() {
    std::vector<ErrorCase> cases;
    for (int i = 0; i < kErrorReplyCount; ++i) {
        cases.push_back({kReplies[i], 2});               // first erase
        cases.push_back({kReplies[i], 2 + 2 * 68});      // first block
        cases.push_back({kReplies[i], 2 + 2 * 68 + 3});  // second block's copy
    }
    return cases;
}
INSTANTIATE_TEST_SUITE_P(EraseAndDataPhases, ErrorReplies, ::testing::ValuesIn(AllErrorReplies()));

TEST_F(SequencerTest, UnrecognisedReplyResetsAndEnablesBothButtons) {
    CTempImage image(3000);
    sequencer.SetFilePath(image.path);
    talk.overrides[10] = ":EX_OK";  // a reply that never completes is left waiting...
    talk.Run();
    EXPECT_TRUE(sequencer.IsDownloading());
    talk.Deliver("X#");  // ...until what follows makes it foreign
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Unrecognised);
    EXPECT_EQ(host.log.text, kCheckDevices);
    EXPECT_TRUE(host.buttons.start);
    EXPECT_TRUE(host.buttons.open);
    EXPECT_FALSE(host.replyTimer.active);
}

TEST_F(SequencerTest, OtherVersionTextResets) {
    CTempImage image(100);
    sequencer.SetFilePath(image.path);
    talk.overrides[1] = ":English Ver2.0#";
    talk.Run();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Unrecognised);
    EXPECT_EQ(host.log.text, kCheckDevices);
    EXPECT_EQ(talk.commands, (std::vector<std::string>{"\xAA", ":GET_VER00#"}));
}

TEST_F(SequencerTest, SplitRepliesAndNoiseStillSucceed) {
    CTempImage image(1500);
    sequencer.SetFilePath(image.path);
    talk.overrides[0] = "";  // the wake-up byte is answered by hand
    talk.Run();
    talk.Deliver(std::string("\0\0:O", 4));
    talk.Deliver(std::string("K#\0JUNK", 7));
    const std::vector<std::uint8_t> getVersion(kCmdGetVersion, kCmdGetVersion + 11);
    EXPECT_EQ(host.port.writes.back(), getVersion);
    talk.SkipWritten();
    talk.Deliver(":English ");
    talk.Deliver("Ver1.0#");
    talk.AnswerAll();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Success);
    EXPECT_EQ(talk.FlashBytes(image.Flashed().size()), image.Flashed());
}

TEST_F(SequencerTest, LateSecondOkAsksTwiceButErasesOnce) {
    CTempImage image(2500);
    sequencer.SetFilePath(image.path);
    talk.overrides[0] = "";
    talk.Run();
    talk.Deliver(":OK#");
    talk.Deliver(":OK#");
    talk.AnswerAll();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Success);
    std::vector<std::string> expected = ExpectedCommands(2500);
    expected.insert(expected.begin() + 1, ":GET_VER00#");
    EXPECT_EQ(talk.commands, expected);
    EXPECT_EQ(talk.FlashBytes(image.Flashed().size()), image.Flashed());
}

TEST_F(SequencerTest, QuitOkBeforeTheQuitIsNoSuccess) {
    CTempImage image(2500);
    sequencer.SetFilePath(image.path);
    talk.overrides[5] = ":QUIT_OK#";
    talk.Run();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Unrecognised);
    EXPECT_EQ(host.log.text.find(kSuccess), std::string::npos);
}

TEST_F(SequencerTest, StopWhileWaitingSendsNothingMore) {
    CTempImage image(100);
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    sequencer.OnTimer();
    sequencer.OnStartDownload();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Stopped);
    EXPECT_EQ(host.log.text, kCheckDevices);
    EXPECT_FALSE(host.wakeUpTimer.active);
    const std::size_t written = host.port.writes.size();
    talk.Deliver(":OK#");
    EXPECT_EQ(host.port.writes.size(), written);
    EXPECT_EQ(host.port.reads, 0);
    // The next click opens the port afresh and starts again.
    sequencer.OnStartDownload();
    EXPECT_EQ(host.port.opens, 2);
    EXPECT_EQ(host.log.text, kPrompt);
    EXPECT_TRUE(host.wakeUpTimer.active);
}

TEST_F(SequencerTest, NoImageChosenArmsNothing) {
    sequencer.OnStartDownload();
    EXPECT_EQ(host.log.text, kNoFile);
    EXPECT_FALSE(sequencer.IsDownloading());
    EXPECT_FALSE(host.wakeUpTimer.active);
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::NoImage);
    // The next click with an image starts normally.
    CTempImage image(100);
    sequencer.SetFilePath(image.path);
    talk.Run();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Success);
}

TEST_F(SequencerTest, UnopenableImageNamesTheFileAndTheReason) {
    sequencer.SetFilePath("/nonexistent/firmware.bin");
    sequencer.OnStartDownload();
    EXPECT_EQ(host.log.text,
              kNoFile + "Cannot open /nonexistent/firmware.bin: No such file or directory.\r\n");
    EXPECT_FALSE(sequencer.IsDownloading());
    EXPECT_FALSE(host.wakeUpTimer.active);
    EXPECT_TRUE(host.port.writes.empty());
}

TEST_F(SequencerTest, ImageTooLargeForTheAddressFieldIsRefusedBeforeAnythingIsSent) {
    CTempImage image(0);
    std::filesystem::resize_file(image.path, static_cast<std::uintmax_t>(kMaxImageBytes) + 1);
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    EXPECT_NE(host.log.text.find("too large"), std::string::npos) << host.log.text;
    EXPECT_FALSE(sequencer.IsDownloading());
    EXPECT_FALSE(host.wakeUpTimer.active);
    EXPECT_TRUE(host.port.writes.empty());
}

TEST_F(SequencerTest, PortThatCannotBeOpenedIsReportedAndNothingStarts) {
    CTempImage image(100);
    sequencer.SetFilePath(image.path);
    host.log.text = "old text";
    host.port.refuseOpen = true;
    host.port.errorText = "Cannot open COM7: no such port";
    sequencer.OnStartDownload();
    EXPECT_EQ(host.log.portErrors, std::vector<std::string>{"Cannot open COM7: no such port"});
    EXPECT_EQ(host.log.text, "");
    EXPECT_FALSE(sequencer.IsDownloading());
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::PortError);
    EXPECT_FALSE(host.wakeUpTimer.active);
}

TEST_F(SequencerTest, EventsOtherThanReceiveReadNothing) {
    CTempImage image(100);
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    host.port.input = {':', 'O', 'K', '#'};
    host.port.event = 3;
    sequencer.OnCommEvent();
    EXPECT_EQ(host.port.reads, 0);
    EXPECT_TRUE(host.port.writes.empty());
}

TEST_F(SequencerTest, LineLostEndsTheDownloadAsAnError) {
    CTempImage image(3000);
    sequencer.SetFilePath(image.path);
    talk.overrides[20] = "";
    talk.Run();
    host.port.open = false;
    host.port.errorText = "The serial line to /dev/ttyUSB0 was lost: Input/output error";
    host.port.event = kComEvLineLost;
    sequencer.OnCommEvent();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::LineLost);
    EXPECT_EQ(host.log.text,
              kPrompt + kConnected +
                  "The serial line to /dev/ttyUSB0 was lost: Input/output error.\r\n" + kError);
    EXPECT_TRUE(host.buttons.start);
    EXPECT_TRUE(host.buttons.open);
}

TEST_F(SequencerTest, NoReplyWithinTheTimeOutEndsTheDownload) {
    CTempImage image(3000);
    sequencer.SetFilePath(image.path);
    talk.overrides[30] = "";
    talk.Run();
    EXPECT_TRUE(host.replyTimer.active);
    EXPECT_EQ(host.replyTimer.interval, kReplyTimeoutMs);
    const std::size_t written = host.port.writes.size();
    sequencer.OnReplyTimeout();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Timeout);
    EXPECT_EQ(host.log.text, kPrompt + kConnected +
                                 "The hand controller did not answer within 10 seconds.\r\n" +
                                 kError);
    EXPECT_TRUE(host.buttons.start);
    EXPECT_TRUE(host.buttons.open);
    EXPECT_EQ(host.port.writes.size(), written);
}

TEST_F(SequencerTest, ImageThatShrinksWhileSendingEndsWithAnError) {
    CTempImage image(64 * 1024);
    sequencer.SetFilePath(image.path);
    talk.overrides[kFirstBlock + 2] = "";  // hold after the first block's copy
    talk.Run();
    std::filesystem::resize_file(image.path, 1500);
    talk.overrides.clear();
    talk.Deliver(":WE_OK#");
    talk.AnswerAll();
    // What the stream had read ahead may still go out; the bytes that are gone never do.
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::ImageChanged);
    EXPECT_NE(host.log.text.find("changed while it was being sent"), std::string::npos);
    EXPECT_LT(sequencer.BlocksSent(), 64);
    EXPECT_TRUE(host.buttons.start);
}

TEST_F(SequencerTest, EraseReplyWithoutAnEraseResets) {
    CTempImage image(3000);
    sequencer.SetFilePath(image.path);
    talk.overrides[kFirstBlock + 1] = ":EX_OK#";  // in the data phase, no sector is being erased
    talk.Run();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Unrecognised);
    EXPECT_EQ(talk.commands.back(), ":RAMTO_EXT 81000000#");
    EXPECT_EQ(host.port.writes.size(), talk.commands.size() + 1);  // and its block
}

TEST_F(SequencerTest, RepliesOutOfOrderNeverProduceMalformedCommands) {
    CTempImage image(0);
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    sequencer.OnTimer();
    talk.Deliver(":OK#");
    talk.Deliver(":English Ver1.0#");
    for (int i = 0; i < 300 && sequencer.IsDownloading(); ++i) {
        talk.Deliver(i % 3 ? ":RB_OK#" : (i % 2 ? ":BX_OK#" : ":EX_OK#"));
    }
    for (const auto& write : host.port.writes) {
        const std::string text(write.begin(), write.end());
        if (text.size() > 1) {
            EXPECT_TRUE(text.size() == 11 || text.size() == 20) << text;
            EXPECT_EQ(text.front(), ':');
            EXPECT_EQ(text.back(), '#');
        }
    }
}

}  // namespace
