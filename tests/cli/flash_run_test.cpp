// flashdl --port auto: the search for the ports where controllers answer, against emulated
// controllers on pseudo-terminals in this process.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console_reporter.h"
#include "event_pump.h"
#include "flash_run.h"
#include "json_reporter.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

constexpr auto npos = std::string::npos;

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
    EXPECT_EQ(search.out.Text().rfind("{\"blocks\":6,\"event\":\"start\",\"image\":\"" +
                                          search.image.path + "\",\"port\":\"" + search.ports[2] +
                                          "\",\"size\":6044}\n",
                                      0),
              0u)
        << search.out.Text();
    const std::string err = search.err.Text();
    EXPECT_NE(err.find("Waiting for a controller on 4 USB-serial ports"), npos) << err;
    EXPECT_NE(err.find("Controller found on " + search.ports[2] + "."), npos) << err;
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

TEST(PortSearch, RefusedBeforeAnythingIsSent) {
    struct Case {
        std::size_t ports;
        int count;
        std::string message;
    };
    for (const Case& c :
         {Case{0, 1, "flashdl: --port auto found no USB-serial port; plug in the controller's"},
          Case{2, 3, "--count 3 asks for more controllers than the 2 USB-serial ports found"}}) {
        SCOPED_TRACE(c.message);
        CSearch search(std::vector<EmulatorOptions>(c.ports));
        search.plan.count = c.count;
        CConsoleReporter reporter(search.out.Get(), search.err.Get(), false);
        EXPECT_EQ(search.Run(reporter), 2);
        EXPECT_EQ(search.out.Text(), "");
        EXPECT_NE(search.err.Text().find(c.message), npos) << search.err.Text();
        for (const auto& controller : search.controllers) {
            EXPECT_EQ(controller->BytesReceived(), 0u);
        }
    }
}

}  // namespace
