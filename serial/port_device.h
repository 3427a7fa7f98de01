// The device file behind a port name: where the name is looked up, the real device it leads to,
// who may open it, and whether it is the terminal the program itself runs in.
#pragma once

#include <string>

// Where the system looks a port name up: plain names such as "ttyUSB0" or "pts/3" under /dev,
// paths that start with "/", "./" or "../" as given (as QSerialPort does). Windows names are
// kept.
std::string LookedUpDevicePath(const std::string& systemName);

// The device a path leads to once symbolic links (/dev/serial/by-id/..., a link of one's own)
// are followed; the path itself when it leads nowhere. Two names of one port give one device,
// so the port is locked as one.
std::string RealDevicePath(const std::string& path);

// True for /dev/tty and for the device of the program's controlling terminal or of a terminal on
// its standard input, output or error: opening it as a serial port would put the user's own
// terminal into raw mode.
bool IsOwnTerminal(const std::string& devicePath);

// The device's owner and group by name; empty where unknown.
struct DeviceOwner {
    std::string user;
    std::string group;
};
DeviceOwner DeviceOwnerOf(const std::string& devicePath);
