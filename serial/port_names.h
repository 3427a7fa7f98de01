// Turns the port names the user picks ("COM1" ... "COM9", or a device path) into the names the
// system opens, and lists the serial ports the system reports.
#pragma once

#include <optional>
#include <string>
#include <vector>

// "COMn" (any case, n from 1 to 256) is a numbered port: on Linux it is /dev/ttyS(n-1); on
// Windows the device "\\.\COMn"; macOS has no numbered ports, so the name is kept and opening
// it fails with a message that names it. Any other name or device path is used as given.
std::string ResolvePortName(const std::string& name);

// n of a numbered port "COMn" (any case, n from 1 to 256); nullopt for any other name.
std::optional<int> ComPortNumber(const std::string& name);

struct SerialPortEntry {
    std::string name;         // what to hand to ResolvePortName / SetCommPort
    std::string description;  // e.g. "USB-Serial Controller (Prolific)"; may be empty
};

// The ports the system reports, sorted by name.
std::vector<SerialPortEntry> ListSerialPorts();
