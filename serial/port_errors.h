// The texts that tell the user why a serial port cannot be opened or was lost, with the fix.
#pragma once

#include <QSerialPort>
#include <string>

#include "port_device.h"

enum class PortOpenFailure { NotFound, PermissionDenied, Busy, OwnTerminal, Other };

// QSerialPort reports both a port held by another program (its lock file or an exclusive open)
// and a device the user may not open as PermissionError; whether the user may read and write
// the device at all tells the two apart.
PortOpenFailure ClassifyOpenFailure(QSerialPort::SerialPortError error, bool deviceAccessible);

// Whether the current user may read and write the device (false also when it does not exist).
bool IsDeviceAccessible(const std::string& devicePath);

// userName is the port as the user gave it; devicePath is what was opened, shown only when it
// differs. systemReason is the system's own wording, used when no better one is known; owner
// tells whom to ask when permission is denied.
std::string PortOpenErrorText(const std::string& userName, const std::string& devicePath,
                              PortOpenFailure failure, const std::string& systemReason,
                              const DeviceOwner& owner = {});

std::string InvalidSettingsText(const std::string& userName, const std::string& settings);

// Why the line was lost, for the errors a pulled adapter or a hung-up line raises; empty for
// others. The system's own text is no help there: a read that finds the line hung up leaves an
// unrelated, earlier error number behind.
std::string LineLossReason(QSerialPort::SerialPortError error);

// Has no final full stop: the download log adds one.
std::string LineLostText(const std::string& userName, const std::string& reason);
