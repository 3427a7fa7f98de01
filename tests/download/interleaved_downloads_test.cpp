// Two downloads in one process, their events interleaved as two ports' events are in flashdl:
// each must produce exactly what it produces alone, so no state of one leaks into the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "download_sequencer.h"
#include "expected_conversation.h"
#include "memory_host.h"
#include "temp_image.h"

namespace {

bool StartsWith(const std::vector<std::uint8_t>& bytes, const std::string& text) {
    return bytes.size() >= text.size() && std::equal(text.begin(), text.end(), bytes.begin());
}

// What a boot loader in good order answers to the last thing the tool wrote.
std::string AnswerTo(const std::vector<std::uint8_t>& write) {
    if (write == std::vector<std::uint8_t>{0xAA}) {
        return ":OK#";
    }
    if (write.size() == 1025) {
        return ":RB_OK#";
    }
    const std::pair<const char*, const char*> answers[] = {
        {":GET_VER00#", ":English Ver1.0#"}, {":ERASE_EXT ", ":EX_OK#"},
        {":CHKBL_EXT ", ":BX_OK#"},          {":RAMTO_EXT ", ":WE_OK#"},
        {":QUIT_COMM#", ":QUIT_OK#"},
    };
    for (const auto& [command, answer] : answers) {
        if (StartsWith(write, command)) {
            return answer;
        }
    }
    return "?";
}

// One download on its own in-memory host, moved on one event at a time.
struct Download {
    explicit Download(const std::string& imagePath) {
        sequencer.SetFilePath(imagePath);
        sequencer.OnStartDownload();
    }
    bool Ended() const { return sequencer.LastEnd() != DownloadEnd::None; }
    // The next event: a wake-up tick while nothing was sent, else the answer to the last write.
    void Step() {
        if (host.port.writes.empty()) {
            sequencer.OnTimer();
            return;
        }
        const std::string answer = AnswerTo(host.port.writes.back());
        host.port.input.assign(answer.begin(), answer.end());
        host.port.event = kComEvReceive;
        sequencer.OnCommEvent();
    }

    CMemoryHost host;
    CDownloadSequencer sequencer{host.Host()};
};

struct Transcript {
    std::vector<std::uint8_t> wire;
    std::string log;
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    DownloadEnd end;
};

Transcript TranscriptOf(const Download& download) {
    const CMemoryHost& host = download.host;
    return {host.port.wire, host.log.text, host.progress.ranges, host.progress.positions,
            download.sequencer.LastEnd()};
}

Transcript Alone(const std::string& imagePath) {
    Download download(imagePath);
    while (!download.Ended()) {
        download.Step();
    }
    return TranscriptOf(download);
}

void ExpectSame(const Transcript& seen, const Transcript& alone, const char* which) {
    SCOPED_TRACE(which);
    EXPECT_EQ(seen.end, DownloadEnd::Success);
    EXPECT_EQ(seen.log, alone.log);
    EXPECT_TRUE(seen.wire == alone.wire) << "the bytes on the wire differ";
    EXPECT_EQ(seen.ranges, alone.ranges);
    EXPECT_EQ(seen.positions, alone.positions);
}

// How far the first download gets before the second starts, and how many events each takes
// in turn: together, apart in the erase phase, one in the data phase while the other erases.
struct Interleaving {
    const char* name;
    int headStart;
    int firstEvents;
    int secondEvents;
};

void PrintTo(const Interleaving& turn, std::ostream* os) {
    *os << turn.name;
}

class InterleavedDownloadsTest : public ::testing::TestWithParam<Interleaving> {};

TEST_P(InterleavedDownloadsTest, EachProducesItsSingleDownloadTranscript) {
    const CTempImage first(5 * 1024 + 300, 1);
    const CTempImage second(3 * 1024, 2);
    const Transcript firstAlone = Alone(first.path);
    const Transcript secondAlone = Alone(second.path);
    ASSERT_EQ(firstAlone.log, kPromptLine + kConnectedLines + kSuccessLine);
    ASSERT_EQ(secondAlone.end, DownloadEnd::Success);

    const Interleaving turn = GetParam();
    Download a(first.path);
    for (int i = 0; i < turn.headStart && !a.Ended(); ++i) {
        a.Step();
    }
    Download b(second.path);
    while (!a.Ended() || !b.Ended()) {
        for (int i = 0; i < turn.firstEvents && !a.Ended(); ++i) {
            a.Step();
        }
        for (int i = 0; i < turn.secondEvents && !b.Ended(); ++i) {
            b.Step();
        }
    }
    ExpectSame(TranscriptOf(a), firstAlone, "first");
    ExpectSame(TranscriptOf(b), secondAlone, "second");
}

INSTANTIATE_TEST_SUITE_P(Turns, InterleavedDownloadsTest,
                         ::testing::Values(Interleaving{"InStep", 0, 1, 1},
                                           Interleaving{"FiveEventsApart", 5, 1, 1},
                                           Interleaving{"UnevenTurns", 3, 2, 3},
                                           Interleaving{"OneSendsWhileTheOtherErases", 140, 1, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
