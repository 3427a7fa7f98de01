// The download sequencer on the in-memory host, for what the end-to-end tests cannot steer:
// replies out of all order, the opening sequence, and images too large for the address field.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "conversation.h"
#include "download_sequencer.h"
#include "expected_conversation.h"
#include "link_protocol.h"
#include "memory_host.h"
#include "temp_image.h"

namespace {

constexpr int kFirstBlock = 2 + 2 * 68;  // command index of the first ":DOWN DATA#"

class SequencerTest : public ::testing::Test {
protected:
    CMemoryHost host;
    CDownloadSequencer sequencer{host.Host()};
    CConversation talk{host, sequencer};
};

TEST_F(SequencerTest, OpensThePortWithTheFixedLineSettingsAndWaitsWithoutATimeOut) {
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
    EXPECT_EQ(host.wakeUpTimer.interval, 100);
    EXPECT_FALSE(host.replyTimer.active);  // waiting for a reset is not waiting for a reply
    sequencer.OnSelchangePortCombo(4, "/dev/ttyUSB0");  // takes effect at the next start only
    EXPECT_EQ(host.port.portNameSet, "COM3");
}

// Replies the boot loader never sends at that point must not steer the download anywhere
// harmful: no success before the quit, no blank check of a sector that is not being erased.
struct OutOfOrderCase {
    const char* name;
    int atCommand;
    const char* reply;
    DownloadEnd end;
};

class OutOfOrderReplies : public SequencerTest,
                          public ::testing::WithParamInterface<OutOfOrderCase> {};

TEST_P(OutOfOrderReplies, Reset) {
    CTempImage image(2500);
    sequencer.SetFilePath(image.path);
    talk.overrides[GetParam().atCommand] = GetParam().reply;
    talk.Run();
    EXPECT_EQ(sequencer.LastEnd(), GetParam().end);
    EXPECT_EQ(host.log.text.find("successfully"), std::string::npos);
    EXPECT_EQ(host.port.writes.size(), talk.commands.size() + talk.blocks.size());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OutOfOrderReplies,
    ::testing::Values(
        OutOfOrderCase{"QuitOkInTheErase", 5, ":QUIT_OK#", DownloadEnd::Unrecognised},
        OutOfOrderCase{"QuitOkForABlock", kFirstBlock, ":QUIT_OK#", DownloadEnd::Unrecognised},
        OutOfOrderCase{"EraseOkForACopy", kFirstBlock + 1, ":EX_OK#", DownloadEnd::Unrecognised},
        OutOfOrderCase{"RamOkInTheErase", 3, ":RB_OK#", DownloadEnd::Unrecognised},
        OutOfOrderCase{"WriteOkForABlankCheck", 5, ":WE_OK#", DownloadEnd::Unrecognised},
        OutOfOrderCase{"RamOkRepeatedForACopy", kFirstBlock + 1, ":RB_OK#",
                       DownloadEnd::Unrecognised},
        OutOfOrderCase{"OtherVersion", 1, ":English Ver2.0#", DownloadEnd::Unrecognised}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SequencerTest, LateSecondOkAsksTwiceButErasesOnce) {
    CTempImage image(2500);
    sequencer.SetFilePath(image.path);
    talk.overrides[0] = "";  // the wake-up byte is answered by hand, twice
    talk.Run();
    talk.Deliver(":OK#");
    talk.Deliver(":OK#");
    talk.AnswerAll();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::Success);
    EXPECT_EQ(talk.commands[1], ":GET_VER00#");
    EXPECT_EQ(talk.commands[2], ":GET_VER00#");
    EXPECT_EQ(talk.commands[3], ":ERASE_EXT 81000000#");
    EXPECT_EQ(talk.commands.size(), 2u + 1 + 136 + 3 * 2 + 1);
    EXPECT_EQ(talk.FlashBytes(image.Flashed().size()), image.Flashed());
}

TEST_F(SequencerTest, RepliesInAnyOrderNeverProduceMalformedCommands) {
    CTempImage image(0);
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    talk.Deliver(":OK#");
    talk.Deliver(":English Ver1.0#");
    for (int i = 0; i < 300 && sequencer.IsDownloading(); ++i) {
        talk.Deliver(i % 3 ? ":RB_OK#" : (i % 2 ? ":BX_OK#" : ":EX_OK#"));
    }
    for (const auto& write : host.port.writes) {
        const std::string text(write.begin(), write.end());
        EXPECT_TRUE(text.size() == 11 || text.size() == 20) << text;
        EXPECT_EQ(text.front(), ':');
        EXPECT_EQ(text.back(), '#');
    }
}

TEST_F(SequencerTest, ImageTooLargeForTheAddressFieldIsRefusedBeforeAnythingIsSent) {
    CTempImage image(0);
    std::filesystem::resize_file(image.path, static_cast<std::uintmax_t>(kMaxImageBytes) + 1);
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    EXPECT_EQ(host.log.text,
              "ERROR!!!The data file is too large: 2130706433 bytes; at most 2130706432 bytes fit "
              "below the top of the flash address range.\r\n");
    EXPECT_FALSE(sequencer.IsDownloading());
    EXPECT_FALSE(host.wakeUpTimer.active);
    EXPECT_TRUE(host.port.writes.empty());
}

TEST_F(SequencerTest, LineLostAndTimeOutSayWhyBeforeTheErrorLine) {
    CTempImage image(3000);
    sequencer.SetFilePath(image.path);
    talk.overrides[20] = "";
    talk.Run();
    sequencer.SetReplyTimeoutMs(1000);
    sequencer.OnReplyTimeout();
    EXPECT_EQ(host.log.text, kPromptLine + kConnectedLines +
                                 "The hand controller did not answer within 1 second.\r\n" +
                                 kErrorLine);
    EXPECT_TRUE(host.buttons.start && host.buttons.open);

    CConversation again(host, sequencer);
    again.overrides[20] = "";
    again.Run();
    host.port.errorText = "The serial line to /dev/ttyUSB0 was lost";
    host.port.event = kComEvLineLost;
    sequencer.OnCommEvent();
    EXPECT_EQ(sequencer.LastEnd(), DownloadEnd::LineLost);
    EXPECT_EQ(host.log.text, kPromptLine + kConnectedLines +
                                 "The serial line to /dev/ttyUSB0 was lost.\r\n" + kErrorLine);
    EXPECT_FALSE(host.replyTimer.active);
}

}  // namespace
