// Turns the port names the user picks into the names the system opens, and lists the ports.
#include "port_names.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <cctype>
#include <optional>

namespace {

// No machine has more numbered ports than this; it also keeps the arithmetic small.
constexpr int kMaxComNumber = 256;

}  // namespace

std::optional<int> ComPortNumber(const std::string& name) {
    static const std::string kPrefix = "com";
    if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 3) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < kPrefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != kPrefix[i]) {
            return std::nullopt;
        }
    }
    int number = 0;
    for (std::size_t i = kPrefix.size(); i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) {
            return std::nullopt;
        }
        number = number * 10 + (name[i] - '0');
    }
    if (number < 1 || number > kMaxComNumber) {
        return std::nullopt;
    }
    return number;
}

std::string ResolvePortName(const std::string& name) {
#if defined(__linux__)
    if (const auto number = ComPortNumber(name)) {
        return "/dev/ttyS" + std::to_string(*number - 1);
    }
#elif defined(_WIN32)
    // Only COM1 to COM9 are also plain DOS device names; the device namespace form opens every
    // numbered port, and QSerialPort adds it only to names spelt "COM" in capitals.
    if (const auto number = ComPortNumber(name)) {
        return "\\\\.\\COM" + std::to_string(*number);
    }
#endif
    return name;
}

std::vector<SerialPortEntry> ListSerialPorts() {
    std::vector<SerialPortEntry> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#if defined(_WIN32)
        // systemLocation() is the "\\.\COMn" device path there; users know the port as "COMn".
        const QString name = info.portName();
#else
        const QString name = info.systemLocation();
#endif
        const QString description = info.description().trimmed();
        const QString manufacturer = info.manufacturer().trimmed();
        QString text = description;
        if (!manufacturer.isEmpty() && !description.contains(manufacturer)) {
            text = text.isEmpty() ? manufacturer : text + " (" + manufacturer + ")";
        }
        ports.push_back({name.toStdString(), text.toStdString()});
    }
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.name < b.name; });
    return ports;
}
