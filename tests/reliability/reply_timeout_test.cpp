// The reply time-out over a real line: a controller that stops answering ends the download with
// the did-not-answer line; a slow but steady one, and one that takes long to wake, do not.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "demo_image.h"
#include "event_spin.h"
#include "expected_download.h"
#include "headless_download.h"
#include "pty_boot_loader.h"
#include "temp_image_file.h"

namespace {

using namespace rel;

constexpr int kHangGuardMs = 60000;
constexpr std::size_t kImageBytes = 2000;

class ReplyTimeout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_image.Valid()); }

    CPtyBootLoader& StartEmulator(const EmulatorOptions& options) {
        m_loader = std::make_unique<CPtyBootLoader>(options);
        std::string error;
        EXPECT_TRUE(m_loader->Start(&error)) << error;
        return *m_loader;
    }

    void ExpectFlashed(const CPtyBootLoader& loader) const {
        EXPECT_EQ(m_download.LogText(), kPromptLine + kConnectedLines + kSuccessLine);
        EXPECT_EQ(loader.Commands(), ExpectedCommands(kImageBytes));
        const std::vector<std::uint8_t> flashed = Flashed(m_image.Bytes());
        EXPECT_EQ(loader.ReadFlash(kFlashBase, flashed.size()), flashed);
    }

    CTempImageFile m_image{MakeDemoImage(kImageBytes, 5)};
    std::unique_ptr<CPtyBootLoader> m_loader;
    CHeadlessDownload m_download;
};

TEST_F(ReplyTimeout, ByDefaultAControllerGetsTenSecondsToAnswer) {
    EmulatorOptions options;
    options.fault = FaultPlan{FaultKind::Silence, 1, "", 3};  // from ":GET_VER00#" on
    CPtyBootLoader& loader = StartEmulator(options);

    m_download.Start(loader.SlavePath(), m_image.Path());
    ASSERT_EQ(m_download.RunUntilEnd(kHangGuardMs), DownloadEnd::Timeout) << m_download.LogText();
    EXPECT_EQ(
        m_download.LogText(),
        kPromptLine + "The hand controller did not answer within 10 seconds.\r\n" + kErrorLine);
    EXPECT_TRUE(m_download.StartEnabled());
    EXPECT_TRUE(m_download.OpenEnabled());
}

TEST_F(ReplyTimeout, AReplyThatComesTooLateIsIgnored) {
    // Every answer comes 400 ms after its command: the wake-up waits for it, the version request
    // does not.
    EmulatorOptions options;
    options.replyLatencyUs = 400000;
    CPtyBootLoader& loader = StartEmulator(options);
    m_download.SetReplyTimeoutMs(150);

    m_download.Start(loader.SlavePath(), m_image.Path());
    ASSERT_EQ(m_download.RunUntilEnd(kHangGuardMs), DownloadEnd::Timeout) << m_download.LogText();
    const std::string log =
        kPromptLine + "The hand controller did not answer within 150 ms.\r\n" + kErrorLine;
    EXPECT_EQ(m_download.LogText(), log);
    const std::size_t bytesAtEnd = loader.BytesReceived();

    // The version reply arrives after the end: nothing is erased, nothing changes.
    SpinFor(800);
    EXPECT_EQ(m_download.LogText(), log);
    EXPECT_EQ(loader.Commands(), std::vector<std::string>{":GET_VER00#"});
    EXPECT_EQ(loader.BytesReceived(), bytesAtEnd);
    EXPECT_TRUE(m_download.StartEnabled());
    EXPECT_TRUE(m_download.OpenEnabled());
    EXPECT_FALSE(m_download.IsDownloading());
}

TEST_F(ReplyTimeout, TheTimeOutIsPerCommandNotForTheWholeDownload) {
    // 143 answers of 10 ms each take far longer than the time-out, which no single one does.
    EmulatorOptions options;
    options.replyLatencyUs = 10000;
    CPtyBootLoader& loader = StartEmulator(options);
    m_download.SetReplyTimeoutMs(500);

    m_download.Start(loader.SlavePath(), m_image.Path());
    ASSERT_EQ(m_download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << m_download.LogText();
    ExpectFlashed(loader);
}

TEST_F(ReplyTimeout, WakingTheControllerHasNoTimeOut) {
    // The controller ignores wake-up bytes for four times the reply time-out after its reset.
    EmulatorOptions options;
    options.resetDelayMs = 800;
    CPtyBootLoader& loader = StartEmulator(options);
    m_download.SetReplyTimeoutMs(200);

    m_download.Start(loader.SlavePath(), m_image.Path());
    ASSERT_EQ(m_download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << m_download.LogText();
    ExpectFlashed(loader);
    EXPECT_GE(loader.WakeUpBytes(), 2);
}

}  // namespace
