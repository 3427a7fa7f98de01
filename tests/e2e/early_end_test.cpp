// Downloads that end early: each error reply in the erase and in the data phase, a reply the
// boot loader never gives, silence, a line that hangs up, a stop while waiting, no usable image
// and a port that does not exist. Each must say why and then send nothing more.
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"
#include "temp_image.h"

namespace {

using namespace e2e;

struct EndCase {
    std::string name;
    FaultKind kind;
    int atCommand;  // also the number of commands the boot loader gets
    std::string text;
    DownloadEnd end;
    std::string log;
};
void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<EndCase> EndCases() {
    using K = FaultKind;
    std::vector<EndCase> cases = {
        {"UnknownWhileErasing", K::UnknownReply, kFirstErase + 1, "", DownloadEnd::Unrecognised,
         kCheckDevicesLine},
        {"UnknownWhileSending", K::UnknownReply, kFirstData + 1, "", DownloadEnd::Unrecognised,
         kCheckDevicesLine},
        {"OtherVersion", K::OtherVersion, 1, "", DownloadEnd::Unrecognised, kCheckDevicesLine},
        {"Silence", K::Silence, kFirstErase + 4, "", DownloadEnd::Timeout,
         kPromptLine + kConnectedLines + "The hand controller did not answer within 300 ms.\r\n" +
             kErrorLine},
    };
    // Each error reply to a blank check while erasing and to block 2 going into RAM.
    const std::pair<const char*, int> phases[] = {{"Erase", kFirstErase + 3},
                                                  {"Data", kFirstData + 2}};
    for (const std::string code : {"EI", "BI", "RB", "WI", "EX", "BX", "WE"}) {
        for (const auto& [phase, at] : phases) {
            cases.push_back({phase + code + "Err", K::ErrorReply, at, ":" + code + "_ERR#",
                             DownloadEnd::ErrorReply, kPromptLine + kConnectedLines + kErrorLine});
        }
    }
    return cases;
}

class EarlyEnd : public EndToEnd, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EarlyEnd, LogSaysWhyAndNothingMoreIsSent) {
    const EndCase& c = GetParam();
    const CTempImage image(kImageBytes);
    if (c.end == DownloadEnd::Timeout) {
        download.SetReplyTimeoutMs(300);
    }
    Start(WithFault(c.kind, c.atCommand, c.text), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), c.end) << download.LogText();
    EXPECT_EQ(download.LogText(), c.log);
    ExpectNothingMoreSent(static_cast<std::size_t>(c.atCommand));
}

INSTANTIATE_TEST_SUITE_P(Faults, EarlyEnd, ::testing::ValuesIn(EndCases()),
                         [](const auto& info) { return info.param.name; });

TEST_F(EndToEnd, HangUpWhileSendingBlocksEndsAsALostLine) {
    const CTempImage image(kImageBytes);
    Start(WithFault(FaultKind::HangUp, kFirstData + 2), image.path);
    // Only the line-lost event ends it so; the 10 s reply time-out would be a later, other end.
    ASSERT_EQ(download.RunUntilEnd(5000), DownloadEnd::LineLost) << download.LogText();
    const std::string log = download.LogText();
    const std::string lost = "The serial line to " + loader->SlavePath() + " was lost: ";
    ASSERT_EQ(log.rfind(kPromptLine + kConnectedLines + lost, 0), 0u) << log;
    EXPECT_EQ(log.substr(log.size() - kErrorLine.size()), kErrorLine) << log;
    EXPECT_TRUE(loader->HungUp());
}

TEST_F(EndToEnd, StopWhileWaitingShowsTheCheckDevicesLineAndStopsTheWakeUpBytes) {
    const CTempImage image(kImageBytes);
    EmulatorOptions options;
    options.resetDelayMs = 600000;  // the controller never wakes during this test
    Start(options, image.path);
    EXPECT_EQ(download.LogText(), kPromptLine);
    ASSERT_TRUE(PumpUntil([&] { return loader->WakeUpBytes() >= 2; }, kHangGuardMs));
    ASSERT_TRUE(download.Stop());  // Start Download clicked again
    EXPECT_EQ(download.LastEnd(), DownloadEnd::Stopped);
    EXPECT_EQ(download.LogText(), kCheckDevicesLine);
    ExpectNothingMoreSent(0);
}

struct ImageCase {
    const char* name;
    std::string path;
    std::string log;
};
void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

class NoImage : public EndToEnd, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(NoImage, LogSaysWhyAndNothingIsSent) {
    Start({}, GetParam().path);
    EXPECT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::NoImage);
    EXPECT_EQ(download.LogText(), GetParam().log);
    EXPECT_TRUE(download.ProgressRecords().empty());
    ExpectNothingMoreSent(0);
    EXPECT_EQ(loader->BytesReceived(), 0u);
}

const std::string kMissing = "/nonexistent-folder/image.bin";
const std::string kFolder = std::filesystem::temp_directory_path().string();
INSTANTIATE_TEST_SUITE_P(Paths, NoImage,
                         ::testing::Values(ImageCase{"NoneChosen", "", kNoDataFileLine},
                                           ImageCase{"Missing", kMissing,
                                                     kNoDataFileLine + "Cannot open " + kMissing +
                                                         ": No such file or directory.\r\n"},
                                           ImageCase{"Folder", kFolder,
                                                     kNoDataFileLine + "Cannot open " + kFolder +
                                                         ": it is a folder, not a file.\r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEnd, NonexistentPortIsReportedAndNothingStarts) {
    const CTempImage image(kImageBytes);
    download.Start("/dev/afd-no-such-port", image.path);
    EXPECT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::PortError);
    EXPECT_NE(download.PortError().find("/dev/afd-no-such-port"), std::string::npos)
        << download.PortError();
    EXPECT_EQ(download.LogText(), "");
    EXPECT_TRUE(download.ProgressRecords().empty());
    EXPECT_FALSE(download.Stop());
}

}  // namespace
