// The boot loader's replies reassembled from receive events (whole, split, noisy or foreign), and
// the address commands up to the top of the flash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_protocol.h"
#include "reply_assembler.h"

namespace {

using namespace std::string_literals;
using Status = CReplyAssembler::Status;

CReplyAssembler::Result Feed(CReplyAssembler& assembler, const std::string& text) {
    return assembler.Feed(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(ReplyAssembler, EachEventSequenceGivesItsReplyOrNone) {
    const struct {
        std::vector<std::string> events;  // every event but the last leaves the reply pending
        Status last;
        int reply;
    } table[] = {
        {{":English Ver1.0#"}, Status::Complete, kReplyVersion},
        {{":WI_ERR#"}, Status::Complete, kReplyWiErr},
        {{":EX_", "OK#"}, Status::Complete, kReplyExOk},
        {{":", "B", "X", "_", "O", "K", "#"}, Status::Complete, kReplyBxOk},
        {{":OK#\0JUNK"s}, Status::Complete, kReplyOk},  // a zero byte ends the reply
        {{"\0\0\0:RB_OK#"s}, Status::Complete, kReplyRbOk},
        {{"\0\0"s}, Status::Pending, -1},
        {{":English Ver"}, Status::Pending, -1},
        {{":EX_OK#:BX_OK#"}, Status::Unrecognised, -1},
        {{":OK#\r"}, Status::Unrecognised, -1},
        {{":English Ver2.0#"}, Status::Unrecognised, -1},
        {{":ENGLISH VER1.0#"}, Status::Unrecognised, -1},
        {{":ok#"}, Status::Unrecognised, -1},
        {{"\xAA\x55"}, Status::Unrecognised, -1},
        {{":WE_", "XX#"}, Status::Unrecognised, -1},
        {{":" + std::string(200, 'A') + "#"}, Status::Unrecognised, -1},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.events.back());
        CReplyAssembler assembler;
        for (std::size_t i = 0; i + 1 < row.events.size(); ++i) {
            ASSERT_EQ(Feed(assembler, row.events[i]).status, Status::Pending) << "event " << i;
        }
        const CReplyAssembler::Result result = Feed(assembler, row.events.back());
        EXPECT_EQ(result.status, row.last);
        EXPECT_EQ(result.replyIndex, row.reply);
        if (row.last != Status::Pending) {
            EXPECT_EQ(assembler.Pending(), "");
        }
    }
    CReplyAssembler assembler;  // Clear drops a pending fragment
    EXPECT_EQ(Feed(assembler, ":RB_").status, Status::Pending);
    assembler.Clear();
    EXPECT_EQ(Feed(assembler, "OK#").status, Status::Unrecognised);
}

// Erase steps 1 to 4 and 17 to 80 reach sectors 81000 to 81003 and 81010 to 8104F; block n lies
// 0x400 bytes after block n - 1, the last one just below the top of the address range.
TEST(LinkProtocol, AddressCommands) {
    EXPECT_EQ(EraseCommand(SectorOfStep(1)), ":ERASE_EXT 81000000#");
    EXPECT_EQ(CheckBlankCommand(SectorOfStep(4)), ":CHKBL_EXT 81003000#");
    EXPECT_EQ(EraseCommand(SectorOfStep(80)), ":ERASE_EXT 8104F000#");
    EXPECT_EQ(RamToExtCommand(4), ":RAMTO_EXT 81000C00#");
    EXPECT_EQ(RamToExtCommand(static_cast<int>(kMaxBlocks)), ":RAMTO_EXT FFFFFC00#");
}

}  // namespace
