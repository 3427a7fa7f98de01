// What the end-to-end tests cannot show about the emulated boot loader: a wrong CRC, a sector
// that is not blank, and each fault's bytes.
#include <gtest/gtest.h>

#include <string>
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

// Each fault at its command puts its own writes (bytes, delay before in ms) in place of the normal
// reply; every other command gets its reply at once.
TEST(EmulatedBootLoader, EachFaultShapesTheReplies) {
    using K = FaultKind;
    using Writes = std::vector<std::pair<std::string, int>>;
    const std::pair<FaultPlan, Writes> table[] = {
        {{K::ErrorReply, 7, ":WE_ERR#"}, {{":WE_ERR#", 0}}},
        // Without a text, the error reply the command itself has.
        {{K::ErrorReply, 1, ""}, {{":EI_ERR#", 0}}},
        {{K::ErrorReply, 2, ""}, {{":EX_ERR#", 0}}},
        {{K::ErrorReply, 3, ""}, {{":BX_ERR#", 0}}},
        {{K::ErrorReply, 9, ""}, {{":WE_ERR#", 0}}},
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
        for (std::size_t k = 0; k < kConversation.size(); ++k) {
            const auto& [command, reply] = kConversation[k];
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(command.data());
            Writes writes;
            for (const auto& write : loader.Receive(bytes, command.size(), true)) {
                writes.emplace_back(std::string(write.bytes.begin(), write.bytes.end()),
                                    write.delayBeforeMs);
                EXPECT_EQ(write.inputEnd, command.size());  // due once the command is all in
            }
            const bool faulty = static_cast<int>(k) == plan.atCommand;
            EXPECT_EQ(writes, faulty ? instead : Writes({{reply, 0}})) << "command " << k;
        }
    }
}

}  // namespace
