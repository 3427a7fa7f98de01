// What the end-to-end tests cannot show about the emulated boot loader: a wrong CRC, a sector
// that is not blank, commands split across reads, and each fault's bytes.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "emulated_boot_loader.h"

namespace {

// 1024 zero bytes, whose CRC-8 is zero too, with a right and a wrong CRC.
const std::string kBlock = ":DOWN DATA#" + std::string(1025, '\0');
const std::string kBadBlock = ":DOWN DATA#" + std::string(1024, '\0') + '\x01';
// The commands from the wake-up on, each with its normal reply.
const std::vector<std::pair<std::string, std::string>> kConversation = {
    {"\xAA", ":OK#"},
    {":GET_VER00#", ":English Ver1.0#"},
    {":ERASE_EXT 81000000#", ":EX_OK#"},
    {":CHKBL_EXT 81000000#", ":BX_OK#"},
    {kBadBlock, ":RB_ERR#"},
    {":RAMTO_EXT 81000000#", ":WE_ERR#"},  // the refused block was not staged
    {kBlock, ":RB_OK#"},
    {":RAMTO_EXT 81000000#", ":WE_OK#"},
    {kBlock, ":RB_OK#"},
    {":RAMTO_EXT 81000C00#", ":WE_OK#"},
    {":CHKBL_EXT 81000000#", ":BX_ERR#"},  // the sector's last block holds data now
    {":QUIT_COMM#", ":QUIT_OK#"}};

// Appends (bytes, delay before in ms, input taken when it was due) of each write for one read.
using Writes = std::vector<std::tuple<std::string, int, std::size_t>>;
void Receive(CEmulatedBootLoader& loader, const std::string& input, std::size_t offset,
             Writes& out) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(input.data());
    for (const auto& write : loader.Receive(bytes, input.size(), true)) {
        out.emplace_back(std::string(write.bytes.begin(), write.bytes.end()), write.delayBeforeMs,
                         offset + write.inputEnd);
    }
}

// However the input is cut into reads, each reply is due once its command's last byte is in.
TEST(EmulatedBootLoader, CommandsSplitAcrossReadsGetTheSameReplies) {
    std::string stream;
    Writes expected;
    for (const auto& [command, reply] : kConversation) {
        stream += command;
        expected.emplace_back(reply, 0, stream.size());
    }
    for (const std::size_t size : {1, 3, 11, 1036, 1 << 20}) {
        SCOPED_TRACE(size);
        CEmulatedBootLoader loader;
        Writes writes;
        for (std::size_t at = 0; at < stream.size(); at += size) {
            Receive(loader, stream.substr(at, size), at, writes);
        }
        EXPECT_EQ(writes, expected);
        EXPECT_EQ(loader.ReadFlash(0x81000000, 1024), std::vector<std::uint8_t>(1024, 0));
    }
}

TEST(EmulatedBootLoader, EachFaultShapesTheReplies) {
    using K = FaultKind;
    using Instead = std::vector<std::pair<std::string, int>>;
    const std::pair<FaultPlan, Instead> table[] = {
        // The plan for command k, and the writes (bytes, delay before in ms) instead of its reply.
        {{K::ErrorReply, 7, ":WE_ERR#"}, {{":WE_ERR#", 0}}},
        {{K::UnknownReply, 3, ""}, {{":WHAT#", 0}}},
        {{K::SplitReply, 1, ""}, {{":English", 0}, {" Ver1.0#", 20}}},
        {{K::NoiseBeforeReply, 3, "", 3}, {{std::string(3, '\0') + ":BX_OK#", 0}}},
        {{K::ZeroAfterReply, 7, ""}, {{std::string(":WE_OK#\0JUNK", 12), 0}}},
        {{K::Silence, 11, ""}, {}},
        {{K::HangUp, 11, ""}, {}},
        {{K::OtherVersion, 1, ""}, {{":English Ver2.0#", 0}}},
        {{K::LateSecondOk, 0, ""}, {{":OK#", 0}, {":OK#", 30}}},
    };
    for (const auto& [plan, instead] : table) {
        SCOPED_TRACE(static_cast<int>(plan.kind));
        CEmulatedBootLoader loader(EmulatorOptions{0, false, 0, plan});
        Writes writes;
        Writes expected;
        for (std::size_t k = 0; k < kConversation.size(); ++k) {
            const auto& [command, reply] = kConversation[k];
            Receive(loader, command, 0, writes);
            const bool faulty = static_cast<int>(k) == plan.atCommand;
            for (const auto& [bytes, delay] : faulty ? instead : Instead{{reply, 0}}) {
                expected.emplace_back(bytes, delay, command.size());
            }
        }
        EXPECT_EQ(writes, expected);
    }
}

}  // namespace
