// Shared by the end-to-end tests: the log box's lines, the commands a download must send, and a
// fixture that runs one download against an emulated controller on a fresh pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "event_pump.h"
#include "expected_conversation.h"
#include "headless_download.h"
#include "pty_boot_loader.h"
#include "pty_line_settings.h"

namespace e2e {

constexpr int kHangGuardMs = 60000;
constexpr std::size_t kImageBytes = 2500;  // three blocks, the last one short
// Command indexes as the emulator's fault plan counts them: 0 is the wake-up, 1 the version.
constexpr int kFirstData = 2 + 2 * 68;  // ":DOWN DATA#" of block 1

inline EmulatorOptions WithFault(FaultKind kind, int atCommand, std::string text = "") {
    EmulatorOptions options;
    options.fault = {kind, atCommand, std::move(text)};
    return options;
}

class EndToEnd : public ::testing::Test {
protected:
    // Starts an emulated controller, then selects its port and the image and clicks Start.
    void Start(EmulatorOptions options, const std::string& imagePath) {
        loader = std::make_unique<CPtyBootLoader>(std::move(options));
        std::string error;
        EXPECT_TRUE(loader->Start(&error)) << error;  // then the port is refused: a quick end
        download.Start(loader->SlavePath(), imagePath);
        // Every start opens the line before it looks at the image.
        EXPECT_EQ(loader->LineSettings(), sim::kBootLoaderLine);
    }

    // After an end the buttons work again and nothing goes out, not even a wake-up tick.
    void ExpectNothingSent() {
        EXPECT_TRUE(download.StartEnabled());
        EXPECT_TRUE(download.OpenEnabled());
        PumpFor(300);  // three wake-up ticks
        EXPECT_EQ(loader->BytesReceived(), 0u);
    }

    std::unique_ptr<CPtyBootLoader> loader;
    CHeadlessDownload download;  // declared last: closes the port before the emulator goes
};

}  // namespace e2e
