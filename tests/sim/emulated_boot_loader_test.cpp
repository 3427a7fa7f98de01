// The emulated boot loader driven directly, without I/O: a scripted download, input split every
// way, the command table, noise between frames and each planned fault.
#include <gtest/gtest.h>

#include "demo_image.h"
#include "emulated_boot_loader.h"
#include "tool_side.h"

using simtest::Bytes;
using simtest::ToBytes;

namespace {

std::string Send(CEmulatedBootLoader& loader, const Bytes& bytes, bool awake = true) {
    return simtest::Joined(loader.Receive(bytes.data(), bytes.size(), awake));
}
std::string Send(CEmulatedBootLoader& loader, const std::string& text, bool awake = true) {
    return Send(loader, ToBytes(text), awake);
}

// The image as it lands in flash: whole blocks, padded with 0x00.
Bytes Padded(Bytes image) {
    image.resize((image.size() + 1023) / 1024 * 1024, 0x00);
    return image;
}

TEST(EmulatedBootLoader, DownloadOf2500BytesLandsInThreeBlocks) {
    CEmulatedBootLoader loader;
    const Bytes image = MakeDemoImage(2500);
    for (const auto& step : simtest::DownloadScript(image)) {
        EXPECT_EQ(Send(loader, step.command), step.reply)
            << simtest::ToText(step.command).substr(0, 20);
    }
    EXPECT_EQ(loader.Commands().size(), 1u + 2 * 68 + 2 * 3 + 1);
    EXPECT_TRUE(loader.Rejected().empty());
    EXPECT_EQ(loader.ErasedSectors(), 68);
    EXPECT_EQ(loader.BlankChecks(), 68);
    EXPECT_EQ(loader.Blocks().size(), 3u);
    EXPECT_EQ(loader.ReadFlash(0x81000000, 3 * 1024), Padded(image));
    EXPECT_EQ(loader.ReadFlash(0x81000C00, 0xF400), Bytes(0xF400, 0xFF)) << "after the last block";
}

// The whole download as one stream cut into reads of one size, with no reply awaited: the
// replies, the input offsets they answer and the flash must not depend on the split.
class SplitReads : public testing::TestWithParam<std::size_t> {};

TEST_P(SplitReads, GiveTheSameConversation) {
    const Bytes image = MakeDemoImage(2500, 7);
    std::string expected;
    Bytes stream;
    std::vector<std::size_t> commandEnds;
    for (const auto& step : simtest::DownloadScript(image)) {
        stream.insert(stream.end(), step.command.begin(), step.command.end());
        expected += step.reply;
        commandEnds.push_back(stream.size());
    }
    CEmulatedBootLoader loader;
    std::string replies;
    std::vector<std::size_t> replyEnds;
    for (std::size_t at = 0; at < stream.size(); at += GetParam()) {
        const auto writes =
            loader.Receive(stream.data() + at, std::min(GetParam(), stream.size() - at), true);
        for (const auto& write : writes) {
            replyEnds.push_back(at + write.inputEnd);
        }
        replies += simtest::Joined(writes);
    }
    EXPECT_EQ(replies, expected);
    EXPECT_EQ(replyEnds, commandEnds) << "each reply is due when its command's last byte is in";
    EXPECT_EQ(loader.BytesReceived(), stream.size());
    EXPECT_EQ(loader.ReadFlash(0x81000000, 3 * 1024), Padded(image));
}

INSTANTIATE_TEST_SUITE_P(ReadSizes, SplitReads, testing::Values(1, 3, 11, 1036, 1037, 1 << 20));

TEST(EmulatedBootLoader, WakesOnceTheResetDelayIsOverAndAgainAfterQuitting) {
    CEmulatedBootLoader loader;
    EXPECT_EQ(Send(loader, Bytes{0xAA}, false), "");
    EXPECT_EQ(Send(loader, ":GET_VER00#"), "") << "nothing is taken before a wake-up";
    EXPECT_EQ(Send(loader, Bytes{0xAA}), ":OK#");
    EXPECT_EQ(Send(loader, Bytes{0xAA, 0xAA}), "") << "late wake-up bytes are skipped";
    EXPECT_EQ(Send(loader, ":QUIT_COMM#"), ":QUIT_OK#");
    EXPECT_EQ(Send(loader, Bytes{0xAA}), ":OK#");
    EXPECT_EQ(loader.WakeUpBytes(), 5);
    EXPECT_EQ(loader.Commands(), std::vector<std::string>{":QUIT_COMM#"});
}

struct CommandCase {
    const char* name;
    std::vector<std::string> setup;  // after the wake-up; "block" stands for a good block of 0x12
    std::string command;
    std::string reply;  // empty: unanswered and recorded as rejected
};
void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<CommandCase> CommandCases() {
    const std::string copy = ":RAMTO_EXT 81000000#";
    const std::string check = ":CHKBL_EXT 81000000#";
    return {
        {"BlankCheckOfFreshFlash", {}, check, ":BX_OK#"},
        {"BlankCheckAfterWrite", {"block", copy}, check, ":BX_ERR#"},
        {"BlankCheckAfterErase", {"block", copy, ":ERASE_EXT 81000000#"}, check, ":BX_OK#"},
        {"BlankCheckOfNextSector",
         {"block", ":RAMTO_EXT 81000C00#"},
         ":CHKBL_EXT 81001000#",
         ":BX_OK#"},
        {"CopyWithNothingStaged", {}, copy, ":WE_ERR#"},
        {"SecondCopyOfOneBlock", {"block", copy}, copy, ":WE_ERR#"},
        {"CopyPastTheTopOfFlash", {"block"}, ":RAMTO_EXT FFFFFF00#", ":WE_ERR#"},
        {"UnknownWord", {}, ":HELLO#", ""},
        {"LowerCaseWord", {}, ":get_ver00#", ""},
        {"LowerCaseHex", {}, ":ERASE_EXT 8100a000#", ""},
        {"EraseOffSectorStart", {}, ":ERASE_EXT 81000400#", ""},
        {"ShortAddress", {}, ":CHKBL_EXT 8100000#", ""},
        {"CopyOffBlockStart", {"block"}, ":RAMTO_EXT 81000010#", ""},
    };
}

class Command : public testing::TestWithParam<CommandCase> {};

TEST_P(Command, GetsItsReply) {
    const auto wire = [](const std::string& text) {
        return text == "block" ? simtest::DataCommand(Bytes(1024, 0x12)) : ToBytes(text);
    };
    CEmulatedBootLoader loader;
    Send(loader, Bytes{0xAA});
    for (const std::string& setup : GetParam().setup) {
        Send(loader, wire(setup));
    }
    EXPECT_EQ(Send(loader, wire(GetParam().command)), GetParam().reply);
    const std::string frame = GetParam().command == "block" ? ":DOWN DATA#" : GetParam().command;
    EXPECT_EQ(loader.Commands().back(), frame);
    EXPECT_EQ(!loader.Rejected().empty() && loader.Rejected().back() == frame,
              GetParam().reply.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, Command, testing::ValuesIn(CommandCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EmulatedBootLoader, WrongCrcIsRefusedAndNothingIsStaged) {
    CEmulatedBootLoader loader;
    Send(loader, Bytes{0xAA});
    // Command texts and wake-up bytes inside a block are data, not commands.
    Bytes data;
    while (data.size() < 1024) {
        const Bytes quit = ToBytes(":QUIT_COMM#\xAA");
        data.insert(data.end(), quit.begin(), quit.end());
    }
    EXPECT_EQ(Send(loader, simtest::DataCommand(data, 0x01)), ":RB_ERR#");
    EXPECT_EQ(Send(loader, ":RAMTO_EXT 81000000#"), ":WE_ERR#");
    EXPECT_EQ(loader.ReadFlash(0x81000000, 1024), Bytes(1024, 0xFF));
    EXPECT_EQ(loader.Blocks().size(), 1u) << "a refused block is still recorded";
    EXPECT_EQ(Send(loader, simtest::DataCommand(data)), ":RB_OK#");
}

class NoiseBeforeACommand : public testing::TestWithParam<std::string> {};

TEST_P(NoiseBeforeACommand, IsSkipped) {
    CEmulatedBootLoader loader;
    Send(loader, Bytes{0xAA});
    EXPECT_EQ(Send(loader, GetParam() + ":GET_VER00#"), ":English Ver1.0#");
    EXPECT_EQ(loader.Commands(), std::vector<std::string>{":GET_VER00#"});
}

INSTANTIATE_TEST_SUITE_P(Noise, NoiseBeforeACommand,
                         testing::Values(std::string("\0\xFFxyz\r\n#", 8), ":GET_V", ":GET_V\r",
                                         ":" + std::string(1 << 20, 'A') + "#"));

// Commands 0 to 6: wake-up, version, erase, blank check, block, copy to flash, quit.
const std::vector<Bytes>& ShortConversation() {
    static const std::vector<Bytes> commands{Bytes{0xAA},
                                             ToBytes(":GET_VER00#"),
                                             ToBytes(":ERASE_EXT 81000000#"),
                                             ToBytes(":CHKBL_EXT 81000000#"),
                                             simtest::DataCommand(Bytes(1024, 0x42)),
                                             ToBytes(":RAMTO_EXT 81000000#"),
                                             ToBytes(":QUIT_COMM#")};
    return commands;
}

using Writes = std::vector<std::pair<std::string, int>>;  // bytes, delay before in ms

Writes Normal(std::size_t count = 7) {
    Writes writes{{":OK#", 0},    {":English Ver1.0#", 0}, {":EX_OK#", 0},  {":BX_OK#", 0},
                  {":RB_OK#", 0}, {":WE_OK#", 0},          {":QUIT_OK#", 0}};
    writes.resize(count);
    return writes;
}

// The normal replies with `replaced` of them, from `at` on, replaced.
Writes With(std::size_t at, const Writes& replacement, std::size_t replaced = 1) {
    Writes writes = Normal();
    const auto from = writes.begin() + static_cast<std::ptrdiff_t>(at);
    writes.insert(writes.erase(from, from + static_cast<std::ptrdiff_t>(replaced)),
                  replacement.begin(), replacement.end());
    return writes;
}

struct FaultCase {
    const char* name;
    FaultPlan plan;
    Writes writes;
    bool flashed;  // the block of 0x42 lands at 81000000
};
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<FaultCase> FaultCases() {
    using K = FaultKind;
    return {
        {"None", {}, Normal(), true},
        {"ErrorReply", {K::ErrorReply, 5, ":WE_ERR#"}, With(5, {{":WE_ERR#", 0}}), false},
        {"ErrorReplyByDefault",
         {K::ErrorReply, 4, ""},
         With(4, {{":RB_ERR#", 0}, {":WE_ERR#", 0}}, 2),
         false},
        {"UnknownReply", {K::UnknownReply, 3, ""}, With(3, {{":WHAT#", 0}}), true},
        {"SplitReply", {K::SplitReply, 1, ""}, With(1, {{":English", 0}, {" Ver1.0#", 20}}), true},
        {"NoiseBeforeReply",
         {K::NoiseBeforeReply, 3, "", 3},
         With(3, {{std::string(3, '\0') + ":BX_OK#", 0}}),
         true},
        {"ZeroAfterReply",
         {K::ZeroAfterReply, 5, ""},
         With(5, {{std::string(":WE_OK#\0JUNK", 12), 0}}),
         true},
        {"Silence", {K::Silence, 4, ""}, Normal(4), false},
        {"HangUp", {K::HangUp, 4, ""}, Normal(4), false},
        {"OtherVersion", {K::OtherVersion, -1, ""}, With(1, {{":English Ver2.0#", 0}}), true},
        {"OtherVersionText",
         {K::OtherVersion, 1, ":english Ver1.0#"},
         With(1, {{":english Ver1.0#", 0}}),
         true},
        {"LateSecondOk", {K::LateSecondOk, -1, ""}, With(0, {{":OK#", 0}, {":OK#", 30}}), true},
    };
}

class Fault : public testing::TestWithParam<FaultCase> {};

TEST_P(Fault, ShapesTheReplies) {
    EmulatorOptions options;
    options.fault = GetParam().plan;
    CEmulatedBootLoader loader(options);
    Writes writes;
    for (const Bytes& command : ShortConversation()) {
        for (const auto& write : loader.Receive(command.data(), command.size(), true)) {
            writes.emplace_back(simtest::ToText(write.bytes), write.delayBeforeMs);
        }
    }
    EXPECT_EQ(writes, GetParam().writes);
    EXPECT_EQ(loader.ReadFlash(0x81000000, 1024), Bytes(1024, GetParam().flashed ? 0x42 : 0xFF));
    EXPECT_EQ(loader.HangUpRequested(), GetParam().plan.kind == FaultKind::HangUp);
    // Silence still records what arrives; a hang-up takes nothing more.
    EXPECT_EQ(loader.Commands().size(), GetParam().plan.kind == FaultKind::HangUp ? 4u : 6u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Fault, testing::ValuesIn(FaultCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
