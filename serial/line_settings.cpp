// Parses the serial control's line-settings text ("115200,n,8,1") into QSerialPort values.
#include "line_settings.h"

#include <cctype>
#include <vector>

namespace {

std::string Trimmed(const std::string& text) {
    const auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(Trimmed(text.substr(start, comma - start)));
        if (comma == std::string::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

std::optional<qint32> ParseBaudRate(const std::string& field) {
    // Nine digits keep the value inside qint32; no serial line runs faster than that anyway.
    if (field.empty() || field.size() > 9) {
        return std::nullopt;
    }
    qint32 value = 0;
    for (const char c : field) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value == 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<QSerialPort::Parity> ParseParity(const std::string& field) {
    if (field.size() != 1) {
        return std::nullopt;
    }
    switch (std::tolower(static_cast<unsigned char>(field[0]))) {
        case 'n':
            return QSerialPort::NoParity;
        case 'e':
            return QSerialPort::EvenParity;
        case 'o':
            return QSerialPort::OddParity;
        case 'm':
            return QSerialPort::MarkParity;
        case 's':
            return QSerialPort::SpaceParity;
        default:
            return std::nullopt;
    }
}

std::optional<QSerialPort::DataBits> ParseDataBits(const std::string& field) {
    if (field == "5") {
        return QSerialPort::Data5;
    }
    if (field == "6") {
        return QSerialPort::Data6;
    }
    if (field == "7") {
        return QSerialPort::Data7;
    }
    if (field == "8") {
        return QSerialPort::Data8;
    }
    return std::nullopt;
}

std::optional<QSerialPort::StopBits> ParseStopBits(const std::string& field) {
    if (field == "1") {
        return QSerialPort::OneStop;
    }
    if (field == "1.5") {
        return QSerialPort::OneAndHalfStop;
    }
    if (field == "2") {
        return QSerialPort::TwoStop;
    }
    return std::nullopt;
}

}  // namespace

std::optional<LineSettings> ParseLineSettings(const std::string& text) {
    const std::vector<std::string> fields = SplitFields(text);
    if (fields.size() != 4) {
        return std::nullopt;
    }
    const auto baudRate = ParseBaudRate(fields[0]);
    const auto parity = ParseParity(fields[1]);
    const auto dataBits = ParseDataBits(fields[2]);
    const auto stopBits = ParseStopBits(fields[3]);
    if (!baudRate || !parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    return LineSettings{*baudRate, *parity, *dataBits, *stopBits};
}
