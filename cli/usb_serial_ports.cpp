// Asks Qt SerialPort for the ports and keeps the USB adapters.
#include "usb_serial_ports.h"

#include <QSerialPortInfo>
#include <algorithm>

std::vector<std::string> UsbSerialPorts() {
    std::vector<std::string> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
#if defined(_WIN32)
            // systemLocation() is the "\\.\COMn" device path there; users know the port as "COMn".
            ports.push_back(info.portName().toStdString());
#else
            ports.push_back(info.systemLocation().toStdString());
#endif
        }
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}
