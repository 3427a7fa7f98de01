// Several controllers flashed at once, the search for the port where a controller answers, and
// the JSON events, against emulated controllers on pseudo-terminals in this process.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "console_reporter.h"
#include "event_pump.h"
#include "expected_conversation.h"
#include "flash_run.h"
#include "json_reporter.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

constexpr std::uint32_t kFlashBase = 0x81000000;
constexpr std::size_t kImageBytes = 6 * 1024 - 100;  // six blocks, the last one short
const std::string kNoSuchPort = "/dev/afd-no-such-port";

// A stream in memory that flashdl's reporters print into.
class CCapturedStream {
public:
    CCapturedStream() : m_file(std::tmpfile(), &std::fclose) {}
    std::FILE* Get() const { return m_file.get(); }
    std::string Text() const {
        std::fflush(m_file.get());
        std::rewind(m_file.get());
        std::string text;
        char chunk[4096];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, m_file.get())) > 0) {
            text.append(chunk, got);
        }
        return text;
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::unique_ptr<CPtyBootLoader>> StartControllers(
    const std::vector<EmulatorOptions>& options) {
    std::vector<std::unique_ptr<CPtyBootLoader>> controllers;
    for (const EmulatorOptions& own : options) {
        controllers.push_back(std::make_unique<CPtyBootLoader>(own));
        std::string error;
        EXPECT_TRUE(controllers.back()->Start(&error)) << error;
    }
    return controllers;
}

EmulatorOptions Paced(FaultPlan fault = {}) {
    EmulatorOptions options;
    options.paceLineRate = true;
    options.fault = std::move(fault);
    return options;
}

const FaultPlan kRefusesBlockThree{FaultKind::ErrorReply, DataCommandIndexOfBlock(3), "", 0};

// Four controllers at the line rate, side by side; `failing` refuses block 3 of 6, `missing`
// is a port that does not exist (-1: none).
struct ParallelCase {
    const char* name;
    int failing;
    int missing;
    int exitStatus;
};
void PrintTo(const ParallelCase& c, std::ostream* os) {
    *os << c.name;
}

class ParallelFlash : public ::testing::TestWithParam<ParallelCase> {};

TEST_P(ParallelFlash, EveryOtherControllerHoldsTheImageAndTheSummaryNamesEachEnd) {
    const ParallelCase& c = GetParam();
    std::vector<EmulatorOptions> options(4, Paced());
    if (c.failing >= 0) {
        options[static_cast<std::size_t>(c.failing)] = Paced(kRefusesBlockThree);
    }
    const auto controllers = StartControllers(options);
    const CTempImage image(kImageBytes);
    FlashPlan plan;
    for (const auto& controller : controllers) {
        plan.ports.push_back(controller->SlavePath());
    }
    if (c.missing >= 0) {
        plan.ports[static_cast<std::size_t>(c.missing)] = kNoSuchPort;
    }
    plan.imagePath = image.path;
    CCapturedStream out, err;
    CConsoleReporter reporter(out.Get(), err.Get(), false);

    EXPECT_EQ(RunFlashPlan(plan, reporter, nullptr), c.exitStatus) << out.Text() << err.Text();

    const std::vector<std::string> lines = Lines(out.Text());
    const auto summary = std::find(lines.begin(), lines.end(), "Summary:");
    ASSERT_EQ(lines.end() - summary, 7) << out.Text();  // title, heading, 4 ports, count
    for (int i = 0; i < 4; ++i) {
        const std::string& row = summary[2 + i];
        SCOPED_TRACE(row);
        EXPECT_EQ(row.find("  " + plan.ports[static_cast<std::size_t>(i)] + "  "), 0u);
        const char* end = i == c.failing   ? "  error reply  "
                          : i == c.missing ? "  port error  "
                                           : "  success  ";
        EXPECT_NE(row.find(end), std::string::npos);
        const std::vector<std::uint8_t> flash =
            controllers[static_cast<std::size_t>(i)]->ReadFlash(kFlashBase, kImageBytes + 100);
        if (i != c.failing && i != c.missing) {
            EXPECT_EQ(flash, image.Flashed());
        }
    }
    // Every line of a download carries its port.
    for (auto line = lines.begin(); line != summary; ++line) {
        EXPECT_EQ(line->rfind("/dev/", 0), 0u) << *line;
    }
    if (c.failing >= 0) {
        EXPECT_NE(err.Text().find(plan.ports[static_cast<std::size_t>(c.failing)] +
                                  ": the hand controller reported an error"),
                  std::string::npos)
            << err.Text();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ParallelFlash,
                         ::testing::Values(ParallelCase{"AllFour", -1, -1, 0},
                                           ParallelCase{"OneRefusesABlockHalfWay", 2, -1, 1},
                                           ParallelCase{"OnePortMissing", -1, 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ParallelFlashStop, CtrlCStopsEveryDownloadAsStopped) {
    const auto controllers = StartControllers({Paced(), Paced()});
    const CTempImage image(64 * 1024);
    FlashPlan plan;
    plan.ports = {controllers[0]->SlavePath(), controllers[1]->SlavePath()};
    plan.imagePath = image.path;
    CCapturedStream out, err;
    CJsonReporter reporter(out.Get(), err.Get());
    QTimer::singleShot(1000, [] { std::raise(SIGINT); });

    EXPECT_EQ(RunFlashPlan(plan, reporter, nullptr), 1);
    const std::vector<std::string> lines = Lines(out.Text());
    ASSERT_FALSE(lines.empty());
    const QJsonObject summary = QJsonDocument::fromJson(lines.back().c_str()).object();
    ASSERT_EQ(summary["event"].toString(), "summary");
    ASSERT_EQ(summary["ports"].toArray().size(), 2);
    for (const QJsonValue& port : summary["ports"].toArray()) {
        EXPECT_EQ(port["result"].toString(), "stopped");
    }
    EXPECT_NE(err.Text().find("interrupted; stopping the downloads."), std::string::npos);
}

TEST(PortSearch, TakesTheOnePortThatAnswersAndSendsTheOthersNothingButWakeUps) {
    EmulatorOptions silent;
    silent.fault = {FaultKind::Silence, 0, "", 0};
    EmulatorOptions answering = Paced();
    answering.resetDelayMs = 400;  // a few wake-up ticks go out on every port first
    const auto controllers = StartControllers({silent, silent, answering, silent});
    const CTempImage image(kImageBytes);
    FlashPlan plan;
    plan.findPorts = true;
    plan.imagePath = image.path;
    std::vector<std::string> candidates;
    for (const auto& controller : controllers) {
        candidates.push_back(controller->SlavePath());
    }
    CCapturedStream out, err;
    CJsonReporter reporter(out.Get(), err.Get());

    EXPECT_EQ(RunFlashPlan(plan, reporter, [&candidates] { return candidates; }), 0) << err.Text();

    const CPtyBootLoader& chosen = *controllers[2];
    EXPECT_EQ(chosen.ReadFlash(kFlashBase, image.Flashed().size()), image.Flashed());
    const QJsonObject start = QJsonDocument::fromJson(Lines(out.Text()).front().c_str()).object();
    EXPECT_EQ(start["port"].toString().toStdString(), candidates[2]);
    EXPECT_NE(err.Text().find("Waiting for a controller on 4 USB-serial ports"), std::string::npos)
        << err.Text();
    EXPECT_NE(err.Text().find("Controller found on " + candidates[2] + "."), std::string::npos);
    PumpFor(300);
    for (const std::size_t i : {0u, 1u, 3u}) {
        SCOPED_TRACE(candidates[i]);
        const CPtyBootLoader& other = *controllers[i];
        EXPECT_GT(other.WakeUpBytes(), 0);
        EXPECT_EQ(other.BytesReceived(), static_cast<std::size_t>(other.WakeUpBytes()));
        // The ticks stop with the answer: the silent ports got no more than the chosen one
        // got up to its answer, not a tick for each of the download's seconds.
        EXPECT_LE(other.WakeUpBytes(), chosen.WakeUpBytes() + 1);
    }
}

struct SearchRefusal {
    const char* name;
    int ports;
    int count;
    std::string message;
};
void PrintTo(const SearchRefusal& c, std::ostream* os) {
    *os << c.name;
}

class PortSearchRefused : public ::testing::TestWithParam<SearchRefusal> {};

TEST_P(PortSearchRefused, BeforeAnythingIsSent) {
    const SearchRefusal& c = GetParam();
    const auto controllers = StartControllers(std::vector<EmulatorOptions>(c.ports));
    std::vector<std::string> candidates;
    for (const auto& controller : controllers) {
        candidates.push_back(controller->SlavePath());
    }
    const CTempImage image(kImageBytes);
    FlashPlan plan;
    plan.findPorts = true;
    plan.count = c.count;
    plan.imagePath = image.path;
    CCapturedStream out, err;
    CConsoleReporter reporter(out.Get(), err.Get(), false);
    EXPECT_EQ(RunFlashPlan(plan, reporter, [&candidates] { return candidates; }), 2);
    EXPECT_EQ(out.Text(), "");
    EXPECT_NE(err.Text().find(c.message), std::string::npos) << err.Text();
    for (const auto& controller : controllers) {
        EXPECT_EQ(controller->BytesReceived(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortSearchRefused,
    ::testing::Values(SearchRefusal{"NoUsbSerialPort", 0, 1,
                                    "flashdl: --port auto found no USB-serial port"},
                      SearchRefusal{"CountAboveThePortsFound", 2, 3,
                                    "--count 3 asks for more controllers than the 2 USB-serial "
                                    "ports found"}),
    [](const auto& info) { return std::string(info.param.name); });

QJsonObject Parsed(const std::string& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    return document.object();
}

TEST(JsonEvents, EveryLineParsesAndTellsEachDownloadInOrderWithItsNumbers) {
    const auto controllers =
        StartControllers({{}, EmulatorOptions{0, false, 0, kRefusesBlockThree}});
    const CTempImage image(kImageBytes);
    FlashPlan plan;
    plan.ports = {controllers[0]->SlavePath(), controllers[1]->SlavePath()};
    plan.imagePath = image.path;
    CCapturedStream out, err;
    CJsonReporter reporter(out.Get(), err.Get());
    EXPECT_EQ(RunFlashPlan(plan, reporter, nullptr), 1);

    const std::vector<std::string> lines = Lines(out.Text());
    ASSERT_FALSE(lines.empty());
    struct Seen {
        std::vector<std::string> events;
        std::string text;
        QJsonObject lastProgress, end;
    };
    std::map<std::string, Seen> seen;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const QJsonObject event = Parsed(lines[i]);
        const std::string name = event["event"].toString().toStdString();
        Seen& port = seen[event["port"].toString().toStdString()];
        if (port.events.empty() || port.events.back() != name) {
            port.events.push_back(name);  // runs of the same event count once
        }
        if (name == "start") {
            EXPECT_EQ(event["image"].toString().toStdString(), image.path);
            EXPECT_EQ(event["size"].toInt(), static_cast<int>(kImageBytes));
            EXPECT_EQ(event["blocks"].toInt(), 6);
        } else if (name == "line") {
            port.text += event["text"].toString().toStdString() + "\r\n";
        } else if (name == "progress") {
            port.lastProgress = event;
        } else if (name == "end") {
            port.end = event;
        }
    }
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& [name, port] : seen) {
        SCOPED_TRACE(name);
        ASSERT_GE(port.events.size(), 3u);
        EXPECT_EQ(port.events.front(), "start");
        EXPECT_EQ(port.events.back(), "end");
        EXPECT_EQ(std::count(port.events.begin(), port.events.end(), "start"), 1);
    }
    const Seen& good = seen[plan.ports[0]];
    EXPECT_EQ(good.text, kPromptLine + kConnectedLines + kSuccessLine);
    EXPECT_EQ(good.lastProgress["position"].toInt(), 26);
    EXPECT_EQ(good.lastProgress["upper"].toInt(), 26);
    EXPECT_EQ(good.lastProgress["blocks_sent"].toInt(), 6);
    EXPECT_EQ(good.end["result"].toString(), "success");
    EXPECT_EQ(good.end["exit"].toInt(), 0);
    EXPECT_EQ(good.end["bytes"].toInt(), static_cast<int>(kImageBytes));
    const Seen& failed = seen[plan.ports[1]];
    EXPECT_EQ(failed.text, kPromptLine + kConnectedLines + kErrorLine);
    // Blocks 1 and 2 taken into RAM; block 3, refused, was sent after that.
    EXPECT_EQ(failed.lastProgress["position"].toInt(), 22);
    EXPECT_EQ(failed.lastProgress["blocks_sent"].toInt(), 2);
    EXPECT_EQ(failed.end["result"].toString(), "error reply");
    EXPECT_EQ(failed.end["exit"].toInt(), 1);
    EXPECT_EQ(failed.end["bytes"].toInt(), 3 * 1024);

    const QJsonObject summary = Parsed(lines.back());
    EXPECT_EQ(summary["event"].toString(), "summary");
    EXPECT_EQ(summary["exit"].toInt(), 1);
    const QJsonArray ports = summary["ports"].toArray();
    ASSERT_EQ(ports.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QJsonObject end = (i == 0 ? good : failed).end;
        end.remove("event");
        EXPECT_EQ(ports[i].toObject(), end);
    }
}

}  // namespace
