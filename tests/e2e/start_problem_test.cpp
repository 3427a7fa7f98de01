// Starts that go nowhere: stopped while waiting for the controller, no image, an image that
// cannot be opened and a port that does not exist.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "e2e_support.h"
#include "headless_download.h"
#include "temp_image.h"

namespace {

using namespace e2e;

constexpr int kSettleMs = 300;

TEST(StopWhileWaiting, ShowsTheCheckDevicesLineAndStopsTheWakeUpBytes) {
    const CTempImage image(2500);
    EmulatorOptions options;
    options.resetDelayMs = 60000;  // the controller never wakes during this test
    CEmulatedController controller(options);
    ASSERT_TRUE(controller.Started()) << controller.StartError();
    CPtyBootLoader& loader = controller.Loader();

    CHeadlessDownload download;
    download.Start(controller.Port(), image.path);
    EXPECT_EQ(download.LogText(), kPrompt);
    // Wait until wake-up bytes are seen going out, then click Start Download again.
    for (int i = 0; i < 100 && loader.WakeUpBytes() < 2; ++i) {
        SpinEventLoop(50);
    }
    ASSERT_GE(loader.WakeUpBytes(), 2);
    ASSERT_TRUE(download.Stop());

    EXPECT_EQ(download.LastEnd(), DownloadEnd::Stopped);
    EXPECT_EQ(download.LogText(), kCheckDevices);
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
    SpinEventLoop(50);  // a byte already on its way may still arrive
    const int wakeUpsAfterStop = loader.WakeUpBytes();
    SpinEventLoop(kSettleMs);
    EXPECT_EQ(loader.WakeUpBytes(), wakeUpsAfterStop);
    EXPECT_TRUE(loader.Commands().empty());
}

TEST(NoImage, WritesTheCannotFindLineAndSendsNothing) {
    CEmulatedController controller;
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.Start(controller.Port(), "");
    ASSERT_TRUE(download.HasEnded());
    EXPECT_EQ(download.RunUntilEnd(1000), DownloadEnd::NoImage);
    EXPECT_EQ(download.LogText(), kNoDataFile);
    SpinEventLoop(kSettleMs);
    EXPECT_EQ(controller.Loader().BytesReceived(), 0u);
}

struct UnopenableCase {
    const char* name;
    std::string path;
    const char* reason;  // part of the log line that says why
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const UnopenableCase& c, std::ostream* os) {
    *os << c.name;
}

class UnopenableImage : public ::testing::TestWithParam<UnopenableCase> {};

TEST_P(UnopenableImage, LogNamesTheFileAndNothingIsSent) {
    const UnopenableCase& c = GetParam();
    CEmulatedController controller;
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.Start(controller.Port(), c.path);
    EXPECT_EQ(download.RunUntilEnd(1000), DownloadEnd::NoImage);
    const std::string log = download.LogText();
    EXPECT_EQ(log.rfind(kNoDataFile, 0), 0u) << log;
    EXPECT_NE(log.find(c.path), std::string::npos) << log;
    EXPECT_NE(log.find(c.reason), std::string::npos) << log;
    EXPECT_TRUE(download.ProgressRecords().empty());
    SpinEventLoop(kSettleMs);
    EXPECT_EQ(controller.Loader().BytesReceived(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnopenableImage,
    ::testing::Values(UnopenableCase{"Missing", "/nonexistent-folder/image.bin", "No such file"},
                      UnopenableCase{"Folder", std::filesystem::temp_directory_path().string(),
                                     "folder"}),
    [](const ::testing::TestParamInfo<UnopenableCase>& info) {
        return std::string(info.param.name);
    });

TEST(NonexistentPort, ReportsThePortAndStartsNothing) {
    const CTempImage image(2500);
    const std::string port = "/dev/afd-no-such-port";

    CHeadlessDownload download;
    download.Start(port, image.path);
    ASSERT_TRUE(download.HasEnded());
    EXPECT_EQ(download.RunUntilEnd(1000), DownloadEnd::PortError);
    EXPECT_NE(download.PortError().find(port), std::string::npos) << download.PortError();
    EXPECT_EQ(download.LogText(), "");
    EXPECT_TRUE(download.ProgressRecords().empty());
    EXPECT_FALSE(download.IsDownloading());
    EXPECT_FALSE(download.Stop());
}

}  // namespace
