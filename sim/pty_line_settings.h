// Reads back the line settings the tool put on the emulated line: on Linux the master side of a
// pseudo-terminal reports the terminal settings of its slave, which is what the tool opened.
#pragma once

#include <string>

namespace sim {

// The settings the boot loader's UART runs at; bytes sent at any others arrive as noise.
constexpr char kBootLoaderLine[] = "115200,n,8,1";

struct PtyLineSettings {
    long baudRate = 0;  // 0 when termios names no rate for the line's speed code
    int dataBits = 8;
    char parity = 'n';  // n, e, o, m (mark) or s (space)
    int stopBits = 1;
    bool hardwareFlow = false;  // RTS/CTS
    bool softwareFlow = false;  // XON/XOFF, either direction
    bool raw = true;            // no echo, no line editing, no CR/LF translation, no signals

    // "115200,n,8,1", followed by " rts/cts", " xon/xoff" and " cooked" where they apply.
    std::string Text() const;
};

// False when the descriptor is no terminal or the system cannot tell (not Linux).
bool ReadPtyLineSettings(int fd, PtyLineSettings* settings);

}  // namespace sim
