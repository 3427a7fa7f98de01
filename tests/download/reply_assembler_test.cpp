// Reassembly of replies from receive events: whole, split, noisy and foreign input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_protocol.h"
#include "reply_assembler.h"

namespace {

using Status = CReplyAssembler::Status;

CReplyAssembler::Result FeedText(CReplyAssembler& assembler, const std::string& text) {
    return assembler.Feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

struct Case {
    const char* name;
    std::vector<std::string> events;  // the receive events, in order
    Status last;                      // what the last event gives
    int reply;                        // the reply it completes, if any
};

class ReplyAssemblerCases : public ::testing::TestWithParam<Case> {};

TEST_P(ReplyAssemblerCases, LastEventGives) {
    CReplyAssembler assembler;
    const Case& c = GetParam();
    CReplyAssembler::Result result;
    for (std::size_t i = 0; i < c.events.size(); ++i) {
        result = FeedText(assembler, c.events[i]);
        if (i + 1 < c.events.size()) {
            ASSERT_EQ(result.status, Status::Pending) << "event " << i;
        }
    }
    EXPECT_EQ(result.status, c.last);
    EXPECT_EQ(result.replyIndex, c.reply);
    if (c.last != Status::Pending) {
        EXPECT_EQ(assembler.Pending(), "");
    }
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyAssemblerCases,
    ::testing::Values(
        Case{"Version", {":English Ver1.0#"}, Status::Complete, kReplyVersion},
        Case{"ErrorReply", {":WI_ERR#"}, Status::Complete, kReplyWiErr},
        Case{"SplitInTwo", {":EX_", "OK#"}, Status::Complete, kReplyExOk},
        Case{"ByteByByte", {":", "B", "X", "_", "O", "K", "#"}, Status::Complete, kReplyBxOk},
        Case{"ZeroAfterReply", {":OK#\0JUNK"s}, Status::Complete, kReplyOk},
        Case{"LeadingZeros", {"\0\0\0:RB_OK#"s}, Status::Complete, kReplyRbOk},
        Case{"OnlyZeros", {"\0\0"s}, Status::Pending, -1},
        Case{"Prefix", {":English Ver"}, Status::Pending, -1},
        Case{"TwoRunTogether", {":EX_OK#:BX_OK#"}, Status::Unrecognised, -1},
        Case{"OkThenCr", {":OK#\r"}, Status::Unrecognised, -1},
        Case{"OtherVersion", {":English Ver2.0#"}, Status::Unrecognised, -1},
        Case{"VersionInCapitals", {":ENGLISH VER1.0#"}, Status::Unrecognised, -1},
        Case{"OkInSmallLetters", {":ok#"}, Status::Unrecognised, -1},
        Case{"Garbage", {"\xAA\x55"}, Status::Unrecognised, -1},
        Case{"SplitThenGarbage", {":WE_", "XX#"}, Status::Unrecognised, -1},
        Case{"Overlong", {":" + std::string(200, 'A') + "#"}, Status::Unrecognised, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyAssembler, ClearDropsAPendingFragment) {
    CReplyAssembler assembler;
    EXPECT_EQ(FeedText(assembler, ":RB_").status, Status::Pending);
    assembler.Clear();
    EXPECT_EQ(FeedText(assembler, "OK#").status, Status::Unrecognised);
}

TEST(ReplyAssembler, OverlongPendingTextNeverGrowsPastOneReply) {
    CReplyAssembler assembler;
    for (int i = 0; i < 1000; ++i) {
        FeedText(assembler, ":");
        ASSERT_LE(assembler.Pending().size(), 99u);
    }
}

}  // namespace
