// The texts that tell the user why a serial port cannot be opened or was lost, with the fix.
#include "port_errors.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

std::string PortLabel(const std::string& userName, const std::string& devicePath) {
    if (devicePath.empty() || devicePath == userName) {
        return userName;
    }
#if defined(_WIN32)
    // Windows users know their ports by name only, never by the device namespace form.
    if (devicePath.rfind("\\\\.\\", 0) == 0) {
        return userName;
    }
#endif
    return userName + " (" + devicePath + ")";
}

// Group membership is what lets a user open a serial device; ask its owner otherwise.
std::string PermissionAdvice(const DeviceOwner& owner) {
    if (owner.group.empty()) {
        return std::string();
    }
    const std::string join = "add your user to the " + owner.group + " group (sudo usermod -aG " +
                             owner.group + " $USER) and log in again";
    if (owner.group == "dialout" || owner.user.empty()) {
        return "; " + join;
    }
    return "; it belongs to " + owner.user + " and the " + owner.group + " group: " + join +
           ", or ask " + owner.user + " for access";
}

std::string WithoutFinalStop(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

PortOpenFailure ClassifyOpenFailure(QSerialPort::SerialPortError error, bool deviceAccessible) {
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return PortOpenFailure::NotFound;
        case QSerialPort::PermissionError:
            return deviceAccessible ? PortOpenFailure::Busy : PortOpenFailure::PermissionDenied;
        default:
            return PortOpenFailure::Other;
    }
}

bool IsDeviceAccessible(const std::string& devicePath) {
#if defined(_WIN32)
    // Windows grants access per open, not per device file; a refused open there means busy.
    (void)devicePath;
    return true;
#else
    return ::access(devicePath.c_str(), R_OK | W_OK) == 0;
#endif
}

std::string PortOpenErrorText(const std::string& userName, const std::string& devicePath,
                              PortOpenFailure failure, const std::string& systemReason,
                              const DeviceOwner& owner) {
    const std::string head =
        "Cannot open the serial port " + PortLabel(userName, devicePath) + ": ";
    switch (failure) {
        case PortOpenFailure::NotFound:
#if defined(_WIN32)
            return head +
                   "no such port; check the port name under Ports (COM & LPT) in Device Manager "
                   "and that the adapter is plugged in.";
#else
            return head + "no such port; check the port name and that the adapter is plugged in.";
#endif
        case PortOpenFailure::PermissionDenied:
            return head + "permission denied" + PermissionAdvice(owner) + ".";
        case PortOpenFailure::OwnTerminal:
            return head +
                   "it is the terminal this program runs in, not a serial port; name the port "
                   "the hand controller is on.";
        case PortOpenFailure::Busy:
            return head + "another program is using it; close that program.";
        case PortOpenFailure::Other:
            break;
    }
    const std::string reason = WithoutFinalStop(systemReason);
    return head + (reason.empty() ? std::string("unknown error") : reason) + ".";
}

std::string InvalidSettingsText(const std::string& userName, const std::string& settings) {
    return "Cannot open the serial port " + userName + ": the line settings \"" + settings +
           "\" are not valid (expected baud,parity,data bits,stop bits such as "
           "\"115200,n,8,1\").";
}

std::string LineLossReason(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::ResourceError:
            return "the device is gone (adapter unplugged?)";
        case QSerialPort::ReadError:
            return "reading from it failed (adapter unplugged or line hung up)";
        case QSerialPort::WriteError:
            return "writing to it failed (adapter unplugged or line hung up)";
        default:
            return std::string();
    }
}

std::string LineLostText(const std::string& userName, const std::string& reason) {
    const std::string cause = WithoutFinalStop(reason);
    return "The serial line to " + userName +
           " was lost: " + (cause.empty() ? std::string("unknown error") : cause);
}
