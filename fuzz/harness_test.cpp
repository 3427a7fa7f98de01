// Checks the fuzz harness itself: the wire checker must take every well-formed command and
// reject each way a command or block can go wrong, and the committed seeds must reach the ends
// they were written for, so a fuzz run starts from deep states.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_images.h"
#include "sequencer_driver.h"
#include "wire_checker.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// ":DOWN DATA#" and a block of 1024 bytes counting up, with the checksum given.
std::vector<std::uint8_t> DataCommand(int crcDelta, std::size_t length = 1025) {
    std::vector<std::uint8_t> bytes = Bytes(":DOWN DATA#");
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 1024; ++i) {
        block.push_back(static_cast<std::uint8_t>(i));
    }
    block.push_back(static_cast<std::uint8_t>(0x12 + crcDelta));  // 0x00..0xFF four times: 0x12
    block.resize(length);
    bytes.insert(bytes.end(), block.begin(), block.end());
    return bytes;
}

TEST(BitwiseCrc8, KnownValues) {
    const struct {
        std::vector<std::uint8_t> data;
        std::uint8_t crc;
    } cases[] = {
        {Bytes("123456789"), 0xF4},
        {{0x80}, 0x89},
        {std::vector<std::uint8_t>(1024, 0xFF), 0xD7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BitwiseCrc8(c.data.data(), c.data.size()), c.crc) << Escaped(c.data.data(), 9);
    }
}

// A checker that keeps copies of the commands it took.
struct CheckedWire {
    std::vector<WireItem> items;
    std::vector<std::string> texts;
    std::vector<std::vector<std::uint8_t>> blocks;
    CWireChecker checker{[this](const WireCommand& command) {
        items.push_back(command.item);
        texts.emplace_back(command.text);
        if (command.data != nullptr) {
            blocks.emplace_back(command.data, command.data + 1024);
        }
    }};
};

TEST(WireChecker, TakesEveryWellFormedCommandEvenByteByByte) {
    const struct {
        std::vector<std::uint8_t> bytes;
        WireItem item;
    } cases[] = {
        {{0xAA}, WireItem::WakeUp},
        {Bytes(":GET_VER00#"), WireItem::GetVersion},
        {Bytes(":ERASE_EXT 81000000#"), WireItem::Erase},
        {Bytes(":CHKBL_EXT 8104F000#"), WireItem::CheckBlank},
        {Bytes(":RAMTO_EXT 81000C00#"), WireItem::RamToExt},
        {Bytes(":QUIT_COMM#"), WireItem::Quit},
        {DataCommand(0), WireItem::DownData},
    };
    for (const auto& c : cases) {
        CheckedWire whole;
        CheckedWire pieces;
        EXPECT_TRUE(whole.checker.Feed(c.bytes.data(), c.bytes.size())) << whole.checker.Error();
        for (std::uint8_t byte : c.bytes) {
            EXPECT_TRUE(pieces.checker.Feed(&byte, 1)) << pieces.checker.Error();
        }
        for (CheckedWire* wire : {&whole, &pieces}) {
            EXPECT_TRUE(wire->checker.AtBoundary());
            EXPECT_EQ(wire->items, std::vector<WireItem>{c.item})
                << Escaped(c.bytes.data(), c.bytes.size());
        }
    }
}

TEST(WireChecker, RejectsEveryMalformedOutput) {
    const std::vector<std::uint8_t> cases[] = {
        Bytes(":CHKBL_EXT 810000000#"),  // a block address where a sector belongs
        Bytes(":ERASE_EXT 8101a000#"),   // lower-case hex digit
        Bytes(":ERASE_EXT 81010001#"),   // the sector tail is not "000"
        Bytes(":RAMTO_EXT 81000401#"),   // the block tail is not "00"
        Bytes(":RAMTO_EXT 81000400#:"),  // a frame begun and never finished
        Bytes(":GET_VER00#\r\n"),        // a line end after the command
        Bytes(":GET_VER#"),              // unknown command word
        Bytes(":QUIT_COMM#\x55"),        // a byte that is neither wake-up nor frame
        Bytes(":RAMTO_EXT 810000000000000000000000000000000000000000"),  // never ends
        DataCommand(1),                                                  // wrong checksum
        DataCommand(0, 1000),                                            // block cut short
    };
    for (const auto& bytes : cases) {
        CheckedWire wire;
        const bool fed = wire.checker.Feed(bytes.data(), bytes.size());
        EXPECT_FALSE(fed && wire.checker.AtBoundary()) << Escaped(bytes.data(), bytes.size());
    }
}

std::vector<std::uint8_t> ReadSeed(const std::string& name) {
    std::ifstream in(std::string(AFD_FUZZ_CORPUS) + "/fuzz_sequencer/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>());
}

TEST(SequencerSeeds, ReachTheEndsTheyWereWrittenFor) {
    const CFuzzImages images;
    const struct {
        const char* seed;
        int successes;
        DownloadEnd last;
    } cases[] = {
        {"success", 1, DownloadEnd::Success},
        {"success_split_noise", 1, DownloadEnd::Success},
        {"error_then_restart", 1, DownloadEnd::Success},
        {"stop_and_restart", 1, DownloadEnd::Success},
        {"empty_image", 1, DownloadEnd::Success},
        {"no_file_folder_missing_file_port_refused", 1, DownloadEnd::Success},
        {"timeout_and_line_lost", 1, DownloadEnd::Success},
        {"port_closes_while_waiting", 1, DownloadEnd::Success},
        {"garbage_reset_and_double_ok", 1, DownloadEnd::Success},
        {"out_of_order_replies", 0, DownloadEnd::Unrecognised},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> input = ReadSeed(c.seed);
        CSequencerRun run(images);
        EXPECT_EQ(run.Play(input.data(), input.size()), "") << c.seed;
        EXPECT_EQ(run.Successes(), c.successes) << c.seed;
        EXPECT_EQ(run.LastEnd(), c.last) << c.seed << ": " << DownloadEndName(run.LastEnd());
    }
}

TEST(SequencerRun, SuccessfulDownloadPutsTheWholeImageOnTheWire) {
    const CFuzzImages images;
    const std::string input(145, 'R');
    CSequencerRun run(images);
    ASSERT_EQ(run.Play(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), "");
    CheckedWire wire;
    ASSERT_TRUE(wire.checker.Feed(run.Wire().data(), run.Wire().size()));
    std::vector<std::string> copies;
    for (const std::string& text : wire.texts) {
        if (text.rfind(":RAMTO_EXT ", 0) == 0) {
            copies.push_back(text);
        }
    }
    EXPECT_EQ(wire.blocks, images.Blocks(CFuzzImages::kSmall));
    EXPECT_EQ(copies, (std::vector<std::string>{":RAMTO_EXT 81000000#", ":RAMTO_EXT 81000400#",
                                                ":RAMTO_EXT 81000800#"}));
}

}  // namespace
