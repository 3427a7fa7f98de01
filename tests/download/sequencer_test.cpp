// The download sequencer on the in-memory host, for what the end-to-end tests cannot see: the
// opening sequence, and images too large for the address field.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "download_sequencer.h"
#include "link_protocol.h"
#include "memory_host.h"
#include "temp_image.h"

namespace {

class SequencerTest : public ::testing::Test {
protected:
    CMemoryHost host;
    CDownloadSequencer sequencer{host.Host()};
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

// While the tool waits for the controller: only receive events (code 2) are read, each wake-up
// tick sends one wake-up byte, and a tick that finds the port closed ends the ticking.
TEST_F(SequencerTest, WhileWaitingOnlyReceiveEventsAreReadAndAClosedPortEndsTheTicks) {
    CTempImage image(10);
    sequencer.SetFilePath(image.path);
    sequencer.OnStartDownload();
    const std::string log = host.log.text;
    for (const short event : {0, 1, 3}) {
        host.port.event = event;
        host.port.input = {':', 'O', 'K', '#'};
        sequencer.OnCommEvent();
        EXPECT_EQ(host.port.reads, 0) << event;
    }
    EXPECT_TRUE(host.port.wire.empty());
    sequencer.OnTimer();
    sequencer.OnTimer();
    EXPECT_EQ(host.port.wire, std::vector<std::uint8_t>({0xAA, 0xAA}));
    host.port.open = false;
    sequencer.OnTimer();
    EXPECT_FALSE(host.wakeUpTimer.active);
    EXPECT_EQ(host.port.wire.size(), 2u);
    EXPECT_TRUE(sequencer.IsDownloading());
    EXPECT_EQ(host.log.text, log);
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

}  // namespace
