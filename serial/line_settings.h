// Parses the serial control's line-settings text ("115200,n,8,1") into QSerialPort values.
#pragma once

#include <QSerialPort>
#include <optional>
#include <string>

struct LineSettings {
    qint32 baudRate = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// "baud,parity,data bits,stop bits": parity one of n/e/o/m/s (either case), data bits 5 to 8,
// stop bits 1, 1.5 or 2; blanks around a field are allowed. Anything else gives nullopt.
std::optional<LineSettings> ParseLineSettings(const std::string& text);
