// The benchmark's downloads: complete runs through the real serial control against the emulated
// controller in its own process, with the bytes counted at both ends agreeing with the model and
// the controller's flash checked against the image.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator_process.h"
#include "reference_client.h"
#include "temp_image.h"
#include "timed_download.h"
#include "wire_model.h"

namespace {

constexpr int kHangGuardMs = 120000;

// The number after "tool_bytes=" in the emulator's report.
long long ToolBytesReported(const std::string& report) {
    const std::size_t at = report.find("tool_bytes=");
    return at == std::string::npos ? -1 : std::stoll(report.substr(at + 11));
}

// An emulated controller in its own process that checks its flash against `image` at the end.
std::unique_ptr<bench::CEmulatorProcess> StartEmulator(const std::string& image) {
    auto emulator = std::make_unique<bench::CEmulatorProcess>(AFD_BENCH_EMULATOR);
    bench::EmulatorSettings settings;
    settings.verifyImage = image;
    std::string error;
    if (!emulator->Start(settings, &error)) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    return emulator;
}

class MeasuredDownload : public ::testing::TestWithParam<std::size_t> {};

TEST_P(MeasuredDownload, BytesOnTheLineAreTheModelsAndTheFlashHoldsTheImage) {
    const std::size_t imageBytes = GetParam();
    const CTempImage imageFile(imageBytes, 3);
    const std::string& image = imageFile.path;
    const auto started = StartEmulator(image);
    ASSERT_NE(started, nullptr);
    bench::CEmulatorProcess& emulator = *started;

    const bench::DownloadFigures figures =
        bench::RunTimedDownload(emulator.Port(), image, kHangGuardMs);
    std::string report;
    const bool verified = emulator.Finish(&report);

    ASSERT_EQ(figures.end, DownloadEnd::Success) << figures.log;
    EXPECT_TRUE(verified) << report;
    const bench::CWireModel model;
    const std::size_t blocks = bench::CWireModel::BlocksOf(imageBytes);
    EXPECT_EQ(figures.blocks, static_cast<int>(blocks));
    EXPECT_EQ(figures.bytesIn, static_cast<long long>(model.LoaderBytes(blocks)));
    // Only wake-up bytes may come on top: a second one goes out when the first ":OK#" is slow.
    const long long extraWakeUps =
        figures.bytesOut - static_cast<long long>(model.ToolBytes(blocks));
    EXPECT_GE(extraWakeUps, 0);
    EXPECT_LT(extraWakeUps, 11) << "more than wake-up bytes went out";
    // What the tool wrote is what the controller received.
    EXPECT_EQ(ToolBytesReported(report), figures.bytesOut) << report;
    EXPECT_GE(figures.receiveEvents, static_cast<long>(model.RoundTrips(blocks)));
    EXPECT_GT(figures.wireToEndSeconds, 0.0);
    EXPECT_GE(figures.startToEndSeconds, figures.wireToEndSeconds);
    EXPECT_GE(figures.cpu.Total(), figures.dataPhaseCpu.Total());
}

// No block, one short block, a block and one byte, three blocks.
INSTANTIATE_TEST_SUITE_P(Images, MeasuredDownload,
                         ::testing::Values(std::size_t{0}, std::size_t{1023}, std::size_t{1025},
                                           std::size_t{2500}));

TEST(MeasuredDownloadCheck, AFlashThatDiffersFromTheImageIsNoSuccess) {
    const CTempImage sentFile(3000, 5);
    const std::string& sent = sentFile.path;
    const CTempImage expectedFile(3000, 6);
    const std::string& expected = expectedFile.path;
    const auto started = StartEmulator(expected);
    ASSERT_NE(started, nullptr);
    bench::CEmulatorProcess& emulator = *started;
    const bench::DownloadFigures figures =
        bench::RunTimedDownload(emulator.Port(), sent, kHangGuardMs);
    EXPECT_EQ(figures.end, DownloadEnd::Success) << figures.log;
    std::string report;
    EXPECT_FALSE(emulator.Finish(&report));
    EXPECT_NE(report.find("mismatch"), std::string::npos) << report;
}

// The floor the figures are compared with must itself do the whole conversation right.
TEST(ReferenceClient, FlashesTheImageThroughTheSameConversation) {
    const CTempImage imageFile(2500, 9);
    const std::string& image = imageFile.path;
    const auto started = StartEmulator(image);
    ASSERT_NE(started, nullptr);
    bench::CEmulatorProcess& emulator = *started;
    const bench::ReferenceFigures figures =
        bench::RunReferenceDownload(emulator.Port(), image, kHangGuardMs);
    std::string report;
    const bool verified = emulator.Finish(&report);
    ASSERT_TRUE(figures.ok) << figures.error;
    EXPECT_EQ(figures.blocks, 3);
    EXPECT_TRUE(verified) << report;
    const bench::CWireModel model;
    // Exactly one wake-up byte: the client waits for its ":OK#".
    EXPECT_EQ(ToolBytesReported(report), static_cast<long long>(model.ToolBytes(3))) << report;
}

}  // namespace
