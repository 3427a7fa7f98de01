// Downloads the boot loader ends early: each error reply in the erase and in the data phase, a
// reply it never gives, another version, silence and a line that hangs up.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "headless_download.h"
#include "temp_image.h"

namespace {

using namespace e2e;

constexpr int kHangGuardMs = 30000;
// Long enough for any stray byte the tool might still send to reach the emulator.
constexpr int kSettleMs = 200;
constexpr std::size_t kImageBytes = 2500;

struct ErrorCase {
    const char* reply;
    int atCommand;
    const char* phase;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.phase << ' ' << c.reply;
}

class ErrorReply : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorReply, EndsWithTheErrorLineAndSendsNothingMore) {
    const ErrorCase& c = GetParam();
    const CTempImage image(kImageBytes);
    CEmulatedController controller(WithFault(FaultKind::ErrorReply, c.atCommand, c.reply));
    ASSERT_TRUE(controller.Started()) << controller.StartError();
    CPtyBootLoader& loader = controller.Loader();

    CHeadlessDownload download;
    download.Start(controller.Port(), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::ErrorReply) << download.LogText();

    EXPECT_EQ(download.LogText(), kPrompt + kConnected + kError);
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
    // The failed command was the last one the boot loader got.
    const std::vector<std::string> expected = ExpectedCommands(kImageBytes);
    const std::vector<std::string> sent = loader.Commands();
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(c.atCommand));
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), expected.begin()));
    const std::size_t bytesAtEnd = loader.BytesReceived();
    SpinEventLoop(kSettleMs);
    EXPECT_EQ(loader.BytesReceived(), bytesAtEnd);
}

// The seven error replies, each once while erasing and once while sending blocks.
std::vector<ErrorCase> ErrorCases() {
    const char* replies[] = {":EI_ERR#", ":BI_ERR#", ":RB_ERR#", ":WI_ERR#",
                             ":EX_ERR#", ":BX_ERR#", ":WE_ERR#"};
    std::vector<ErrorCase> cases;
    for (const char* reply : replies) {
        cases.push_back({reply, kFirstEraseCommand + 3, "Erase"});  // blank check of sector 2
        cases.push_back({reply, kFirstDataCommand + 2, "Data"});    // block 2 into RAM
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Replies, ErrorReply, ::testing::ValuesIn(ErrorCases()),
                         [](const ::testing::TestParamInfo<ErrorCase>& info) {
                             std::string name = info.param.phase;
                             for (const char* p = info.param.reply; *p != '\0'; ++p) {
                                 if (std::isalnum(static_cast<unsigned char>(*p))) {
                                     name += *p;
                                 }
                             }
                             return name;
                         });

struct ResetCase {
    const char* name;
    FaultKind kind;
    int atCommand;
    std::size_t commandsSent;  // framed commands the boot loader got before the reset
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ResetCase& c, std::ostream* os) {
    *os << c.name;
}

class ResetReply : public ::testing::TestWithParam<ResetCase> {};

// A reply the boot loader never gives resets the download to the check-devices line.
TEST_P(ResetReply, LeavesOnlyTheCheckDevicesLine) {
    const ResetCase& c = GetParam();
    const CTempImage image(kImageBytes);
    CEmulatedController controller(WithFault(c.kind, c.atCommand));
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.Start(controller.Port(), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Unrecognised) << download.LogText();

    EXPECT_EQ(download.LogText(), kCheckDevices);
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
    SpinEventLoop(kSettleMs);
    EXPECT_EQ(controller.Loader().Commands().size(), c.commandsSent);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ResetReply,
    ::testing::Values(ResetCase{"UnknownWhileErasing", FaultKind::UnknownReply,
                                kFirstEraseCommand + 1, kFirstEraseCommand + 1},
                      ResetCase{"UnknownWhileSending", FaultKind::UnknownReply,
                                kFirstDataCommand + 1, kFirstDataCommand + 1},
                      ResetCase{"OtherVersion", FaultKind::OtherVersion, kGetVersionCommand, 1}),
    [](const ::testing::TestParamInfo<ResetCase>& info) { return std::string(info.param.name); });

TEST(SilentController, TimesOutWithTheDidNotAnswerLine) {
    const CTempImage image(kImageBytes);
    CEmulatedController controller(WithFault(FaultKind::Silence, kFirstEraseCommand + 4));
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.SetReplyTimeoutMs(300);
    download.Start(controller.Port(), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Timeout) << download.LogText();

    EXPECT_EQ(
        download.LogText(),
        kPrompt + kConnected + "The hand controller did not answer within 300 ms.\r\n" + kError);
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
    const std::size_t bytesAtEnd = controller.Loader().BytesReceived();
    SpinEventLoop(kSettleMs);
    EXPECT_EQ(controller.Loader().BytesReceived(), bytesAtEnd);
}

TEST(HangUp, WhileSendingBlocksEndsAsALostLine) {
    const CTempImage image(kImageBytes);
    CEmulatedController controller(WithFault(FaultKind::HangUp, kFirstDataCommand + 2));
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.Start(controller.Port(), image.path);
    // The reply time-out would end it too, but later and as a different end.
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::LineLost) << download.LogText();

    const std::string log = download.LogText();
    ASSERT_GE(log.size(), kError.size());
    EXPECT_EQ(log.substr(log.size() - kError.size()), kError);
    EXPECT_EQ(log.rfind(kPrompt + kConnected, 0), 0u) << log;
    EXPECT_NE(log.find(controller.Port()), std::string::npos) << log;
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
    EXPECT_TRUE(controller.Loader().HungUp());
}

}  // namespace
