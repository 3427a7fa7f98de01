// flashdl's parts run in this process: the search for the ports where controllers answer, against
// emulated controllers on pseudo-terminals, and the progress line it draws on a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "console_reporter.h"
#include "event_pump.h"
#include "flash_run.h"
#include "json_reporter.h"
#include "progress_bar.h"
#include "pty_boot_loader.h"
#include "temp_image.h"
#include "time_estimate.h"

namespace {

// What a reporter prints, kept in a temporary file.
class CCapturedStream {
public:
    std::FILE* Get() const { return m_file.get(); }
    std::string Text() const {
        std::fflush(Get());
        std::string text(static_cast<std::size_t>(std::ftell(Get())), '\0');
        std::rewind(Get());
        text.resize(std::fread(text.data(), 1, text.size(), Get()));
        return text;
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file{std::tmpfile(), &std::fclose};
};

// Emulated controllers offered to the search, and an image for them.
struct CSearch {
    explicit CSearch(const std::vector<EmulatorOptions>& options) {
        for (const EmulatorOptions& own : options) {
            controllers.push_back(std::make_unique<CPtyBootLoader>(own));
            std::string error;
            EXPECT_TRUE(controllers.back()->Start(&error)) << error;
            ports.push_back(controllers.back()->SlavePath());
        }
        plan.findPorts = true;
        plan.imagePath = image.path;
    }
    int Run(IFlashReport& reporter) {
        return RunFlashPlan(plan, reporter, [this] { return ports; });
    }

    std::vector<std::unique_ptr<CPtyBootLoader>> controllers;
    std::vector<std::string> ports;
    const CTempImage image{6 * 1024 - 100};
    FlashPlan plan;
    CCapturedStream out;
    CCapturedStream err;
};

TEST(PortSearch, TakesTheOnePortThatAnswersAndSendsTheOthersNothingButWakeUps) {
    EmulatorOptions silent;
    silent.fault = {FaultKind::Silence, 0, "", 0};
    EmulatorOptions answering;
    answering.paceLineRate = true;
    answering.resetDelayMs = 400;  // a few wake-up ticks go out on every port first
    CSearch search({silent, silent, answering, silent});
    CJsonReporter reporter(search.out.Get(), search.err.Get());

    EXPECT_EQ(search.Run(reporter), 0) << search.err.Text();

    const CPtyBootLoader& chosen = *search.controllers[2];
    EXPECT_EQ(chosen.ReadFlash(0x81000000, 6 * 1024), search.image.Flashed());
    const std::string err = search.err.Text();
    EXPECT_NE(err.find("Waiting for a controller on 4 USB-serial ports"), std::string::npos) << err;
    EXPECT_NE(err.find("Controller found on " + search.ports[2] + "."), std::string::npos) << err;
    PumpFor(300);
    for (const std::size_t i : {0u, 1u, 3u}) {
        SCOPED_TRACE(search.ports[i]);
        const CPtyBootLoader& other = *search.controllers[i];
        EXPECT_GT(other.WakeUpBytes(), 0);
        EXPECT_EQ(other.BytesReceived(), static_cast<std::size_t>(other.WakeUpBytes()));
        // The ticks stop with the answer: the silent ports got no more than the chosen one
        // got up to its answer, not a tick for each of the download's seconds.
        EXPECT_LE(other.WakeUpBytes(), chosen.WakeUpBytes() + 1);
    }
}

TEST(PortSearch, RefusedWithoutAUsbSerialPort) {
    CSearch search({});
    CConsoleReporter reporter(search.out.Get(), search.err.Get(), false);
    EXPECT_EQ(search.Run(reporter), 2);
    EXPECT_EQ(search.out.Text(), "");
    const std::string err = search.err.Text();
    EXPECT_NE(err.find("flashdl: --port auto found no USB-serial port; plug in"), std::string::npos)
        << err;
}

// The time left comes from the line model and the rate so far; the line always fits the
// terminal, so the cursor never wraps. 64 blocks: the model's whole download is
// 3,724 + 64 x 1,070 bytes, 6.27 s at 11,520 B/s.
TEST(ProgressLine, ShowsTheTimeLeftAndFitsTheTerminal) {
    const std::tuple<int, double, std::string> cases[] = {
        {0, -1.0, "0/64 blocks  waiting for the controller"},
        {1, 0.0, "0/64 blocks  0:00 elapsed  0:06 left"},  // just answered: the model alone
        // Half the blocks in the model's own time: the model's estimate stands.
        {52, 3.1, "32/64 blocks  0:03 elapsed  0:03 left"},
        // Half the blocks in four times the model's time: the measured rate outweighs the model.
        {52, 12.4, "32/64 blocks  0:12 elapsed  0:09 left"},
        {84, 6.3, "64/64 blocks  0:06 elapsed  0:00 left"},
    };
    for (const auto& [position, elapsed, status] : cases) {
        const ProgressFacts progress{0, 84, position, std::max(position - 20, 0), 64, elapsed};
        EXPECT_EQ(ProgressStatus(progress), status);
    }
    EXPECT_EQ(FormatDuration(3725.4), "1:02:05");
    const ProgressFacts half{0, 84, 52, 32, 64, 3.1};
    const std::string status = ProgressStatus(half);
    for (const int columns : {20, 40, 80, 200}) {
        const std::string line = FormatProgressLine("/dev/ttyUSB0", half, status, columns);
        EXPECT_LT(static_cast<int>(line.size()), columns) << line;
        EXPECT_EQ(line.rfind("/dev/ttyUSB0  [", 0), 0u) << line;
    }
    // 80 columns less one, the status and the decoration leave 33 cells for the bar.
    EXPECT_EQ(FormatProgressLine("", half, status, 80),
              "[####################-------------]  61%  " + status);
}

}  // namespace
