// Shared by the end-to-end tests: the log box's lines, the commands a download must send, an
// emulated controller on a pseudo-terminal, and waiting with the event loop running.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "emulator_options.h"
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

// Command indexes of a download, as the emulator's fault plan counts them.
constexpr int kGetVersionCommand = 1;
constexpr int kFirstEraseCommand = 2;
constexpr int kFirstDataCommand = 2 + 2 * 68;  // ":DOWN DATA#" of block 1

// The framed commands of a complete download of an image this long, in order, built by hand.
std::vector<std::string> ExpectedCommands(std::size_t imageBytes);
std::size_t BlockCount(std::size_t imageBytes);

// CRC-8 (polynomial 0x07, initial 0) computed bit by bit.
std::uint8_t BitwiseCrc8(const std::uint8_t* data, std::size_t size);

// Runs the event loop for this long, so the port and the timers keep working.
void SpinEventLoop(int ms);

// An emulated controller, started on a fresh pseudo-terminal.
class CEmulatedController {
public:
    explicit CEmulatedController(EmulatorOptions options = {});
    bool Started() const { return m_started; }
    const std::string& StartError() const { return m_error; }
    std::string Port() const { return m_loader->SlavePath(); }
    CPtyBootLoader& Loader() { return *m_loader; }

private:
    std::unique_ptr<CPtyBootLoader> m_loader;
    std::string m_error;
    bool m_started = false;
};

EmulatorOptions WithFault(FaultKind kind, int atCommand, std::string text = std::string());

}  // namespace e2e
