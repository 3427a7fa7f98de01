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
#include "headless_download.h"
#include "pty_boot_loader.h"

namespace e2e {

inline const std::string kPrompt =
    "Please reset the KESTRANE(VELMORA), waiting for connection ...\r\n";
inline const std::string kConnected =
    "Connected.\r\nProcessing ...\r\nTotal progress may need 5 minutes.\r\nPlease wait ...\r\n";
inline const std::string kSuccess = "Flash download successfully finished!\r\n";
inline const std::string kError =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\r\n";
inline const std::string kCheckDevices =
    "Please make sure all devices is OK, then click Start Download.\r\n";
inline const std::string kNoDataFile = "ERROR!!!Cannot find the data file.\r\n";

constexpr int kHangGuardMs = 60000;
constexpr std::size_t kImageBytes = 2500;  // three blocks, the last one short
// Command indexes as the emulator's fault plan counts them: 0 is the wake-up, 1 the version.
constexpr int kFirstErase = 2;
constexpr int kFirstData = 2 + 2 * 68;  // ":DOWN DATA#" of block 1

// The framed commands of a complete download of an image this long, in order, built by hand.
inline std::vector<std::string> ExpectedCommands(std::size_t imageBytes) {
    std::vector<std::string> commands = {":GET_VER00#"};
    const auto add = [&commands](const char* word, std::size_t address) {
        char text[32];
        std::snprintf(text, sizeof text, "%s%08X#", word, static_cast<unsigned>(address));
        commands.push_back(text);
    };
    for (std::size_t sector = 0x81000; sector <= 0x8104F; ++sector) {
        sector = sector == 0x81004 ? 0x81010 : sector;  // 81004 to 8100F are not erased
        add(":ERASE_EXT ", sector * 0x1000);
        add(":CHKBL_EXT ", sector * 0x1000);
    }
    for (std::size_t at = 0; at < imageBytes; at += 1024) {
        commands.push_back(":DOWN DATA#");
        add(":RAMTO_EXT ", 0x81000000 + at);
    }
    commands.push_back(":QUIT_COMM#");
    return commands;
}

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
    }

    // After an end the buttons work again and nothing more goes out: no wake-up tick, no
    // command after the first `commands` of a download of kImageBytes.
    void ExpectNothingMoreSent(std::size_t commands) {
        EXPECT_TRUE(download.StartEnabled());
        EXPECT_TRUE(download.OpenEnabled());
        PumpFor(50);  // a byte already on its way may still arrive
        const std::size_t bytes = loader->BytesReceived();
        PumpFor(300);  // three wake-up ticks
        EXPECT_EQ(loader->BytesReceived(), bytes);
        const std::vector<std::string> all = ExpectedCommands(kImageBytes);
        EXPECT_EQ(loader->Commands(),
                  std::vector<std::string>(all.begin(), all.begin() + commands));
    }

    std::unique_ptr<CPtyBootLoader> loader;
    CHeadlessDownload download;  // declared last: closes the port before the emulator goes
};

}  // namespace e2e
