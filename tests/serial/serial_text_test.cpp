// The serial layer's tables: port names, line settings and the texts a user sees when a port
// cannot be opened or is lost.
#include <gtest/gtest.h>

#include <string>

#include "line_settings.h"
#include "port_errors.h"
#include "port_names.h"

namespace {

#if defined(__linux__)
TEST(PortNames, NumberedPortsMapToTheLinuxSerialDevices) {
    // Windows port names ignore case, so "com3" is COM3 too.
    const std::pair<const char*, const char*> table[] = {{"COM1", "/dev/ttyS0"},
                                                         {"COM9", "/dev/ttyS8"},
                                                         {"com3", "/dev/ttyS2"},
                                                         {"COM10", "/dev/ttyS9"},
                                                         {"COM0", "COM0"},
                                                         {"COMX", "COMX"},
                                                         {"COM1 ", "COM1 "},
                                                         {"COM1234", "COM1234"},
                                                         {"", ""},
                                                         {"ttyACM0", "ttyACM0"},
                                                         {"/dev/ttyUSB0", "/dev/ttyUSB0"},
                                                         {"/dev/pts/7", "/dev/pts/7"}};
    for (const auto& [given, opened] : table) {
        EXPECT_EQ(ResolvePortName(given), opened) << given;
    }
}
#endif

TEST(LineSettings, ReadsEveryField) {
    const auto plain = ParseLineSettings("115200,n,8,1");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->baudRate, 115200);
    EXPECT_EQ(plain->parity, QSerialPort::NoParity);
    EXPECT_EQ(plain->dataBits, QSerialPort::Data8);
    EXPECT_EQ(plain->stopBits, QSerialPort::OneStop);

    const auto other = ParseLineSettings(" 9600 , E , 7 , 1.5 ");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->baudRate, 9600);
    EXPECT_EQ(other->parity, QSerialPort::EvenParity);
    EXPECT_EQ(other->dataBits, QSerialPort::Data7);
    EXPECT_EQ(other->stopBits, QSerialPort::OneAndHalfStop);

    EXPECT_EQ(ParseLineSettings("300,s,5,2")->parity, QSerialPort::SpaceParity);
    EXPECT_EQ(ParseLineSettings("300,m,6,2")->stopBits, QSerialPort::TwoStop);
}

TEST(LineSettings, RefusesMalformedText) {
    for (const char* text : {"", "115200,n,8", "115200,n,8,1,1", "0,n,8,1", "-9600,n,8,1",
                             "1152OO,n,8,1", "99999999999,n,8,1", "115200,x,8,1", "115200,no,8,1",
                             "115200,n,9,1", "115200,n,4,1", "115200,n,8,3", "115200,n,8,"}) {
        EXPECT_FALSE(ParseLineSettings(text)) << text;
    }
}

TEST(PortErrorTexts, NameThePortTheReasonAndTheFix) {
    struct Row {
        const char* userName;
        const char* devicePath;
        PortOpenFailure failure;
        const char* systemReason;
        const char* text;
    };
    const Row table[] = {
        {"COM3", "/dev/ttyS2", PortOpenFailure::NotFound, "No such file or directory",
         "Cannot open the serial port COM3 (/dev/ttyS2): no such port; check the port name and "
         "that the adapter is plugged in."},
#if defined(__linux__)
        {"/dev/ttyUSB0", "/dev/ttyUSB0", PortOpenFailure::PermissionDenied, "Permission denied",
         "Cannot open the serial port /dev/ttyUSB0: permission denied; add your user to the "
         "dialout group (sudo usermod -aG dialout $USER) and log in again."},
#endif
        {"COM1", "/dev/ttyS0", PortOpenFailure::Busy, "",
         "Cannot open the serial port COM1 (/dev/ttyS0): another program is using it; close that "
         "program."},
        {"/dev/null", "/dev/null", PortOpenFailure::Other, "Inappropriate ioctl for device",
         "Cannot open the serial port /dev/null: Inappropriate ioctl for device."},
        {"COM2", "/dev/ttyS1", PortOpenFailure::Other, "Input/output error.",
         "Cannot open the serial port COM2 (/dev/ttyS1): Input/output error."},
        {"COM2", "", PortOpenFailure::Other, "",
         "Cannot open the serial port COM2: unknown error."},
    };
    for (const Row& row : table) {
        EXPECT_EQ(PortOpenErrorText(row.userName, row.devicePath, row.failure, row.systemReason),
                  row.text);
    }
    EXPECT_EQ(InvalidSettingsText("COM1", "115200,x,8,1"),
              "Cannot open the serial port COM1: the line settings \"115200,x,8,1\" are not valid "
              "(expected baud,parity,data bits,stop bits such as \"115200,n,8,1\").");
}

TEST(PortErrorTexts, TellBusyFromForbidden) {
    using E = QSerialPort;
    EXPECT_EQ(ClassifyOpenFailure(E::DeviceNotFoundError, false), PortOpenFailure::NotFound);
    EXPECT_EQ(ClassifyOpenFailure(E::PermissionError, false), PortOpenFailure::PermissionDenied);
    EXPECT_EQ(ClassifyOpenFailure(E::PermissionError, true), PortOpenFailure::Busy);
    EXPECT_EQ(ClassifyOpenFailure(E::OpenError, true), PortOpenFailure::Other);
    EXPECT_EQ(ClassifyOpenFailure(E::ResourceError, true), PortOpenFailure::Other);
}

TEST(PortErrorTexts, LineLostDoesNotTrustTheSystemTextAndLeavesTheFullStopToTheLog) {
    EXPECT_EQ(LineLostText("COM4", LineLossReason(QSerialPort::ReadError)),
              "the serial line to COM4 was lost: reading from it failed (adapter unplugged or line "
              "hung up)");
    EXPECT_EQ(LineLossReason(QSerialPort::WriteError),
              "writing to it failed (adapter unplugged or line hung up)");
    EXPECT_EQ(LineLossReason(QSerialPort::ResourceError),
              "the device is gone (adapter unplugged?)");
    EXPECT_EQ(LineLossReason(QSerialPort::UnknownError), "");
    EXPECT_EQ(LineLostText("/dev/ttyUSB0", "Device disappeared from the system."),
              "the serial line to /dev/ttyUSB0 was lost: Device disappeared from the system");
    EXPECT_EQ(LineLostText("COM4", ""), "the serial line to COM4 was lost: unknown error");
}

}  // namespace
