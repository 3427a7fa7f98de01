// Helpers of the end-to-end tests.
#include "e2e_support.h"

#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace e2e {

namespace {

std::string AddressCommand(const char* word, std::uint32_t address) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%08X#", word, static_cast<unsigned>(address));
    return text;
}

}  // namespace

std::size_t BlockCount(std::size_t imageBytes) {
    return (imageBytes + 1023) / 1024;
}

std::vector<std::string> ExpectedCommands(std::size_t imageBytes) {
    std::vector<std::string> commands = {":GET_VER00#"};
    std::vector<std::uint32_t> sectors;
    for (std::uint32_t sector = 0x81000; sector <= 0x81003; ++sector) {
        sectors.push_back(sector);
    }
    for (std::uint32_t sector = 0x81010; sector <= 0x8104F; ++sector) {
        sectors.push_back(sector);
    }
    for (const std::uint32_t sector : sectors) {
        commands.push_back(AddressCommand(":ERASE_EXT ", sector * 0x1000));
        commands.push_back(AddressCommand(":CHKBL_EXT ", sector * 0x1000));
    }
    for (std::size_t block = 0; block < BlockCount(imageBytes); ++block) {
        commands.push_back(":DOWN DATA#");
        commands.push_back(
            AddressCommand(":RAMTO_EXT ", static_cast<std::uint32_t>(0x81000000 + block * 0x400)));
    }
    commands.push_back(":QUIT_COMM#");
    return commands;
}

std::uint8_t BitwiseCrc8(const std::uint8_t* data, std::size_t size) {
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x07 : crc << 1);
        }
    }
    return crc;
}

void SpinEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

CEmulatedController::CEmulatedController(EmulatorOptions options)
    : m_loader(std::make_unique<CPtyBootLoader>(std::move(options))) {
    m_started = m_loader->Start(&m_error);
}

EmulatorOptions WithFault(FaultKind kind, int atCommand, std::string text) {
    EmulatorOptions options;
    options.fault.kind = kind;
    options.fault.atCommand = atCommand;
    options.fault.text = std::move(text);
    return options;
}

}  // namespace e2e
