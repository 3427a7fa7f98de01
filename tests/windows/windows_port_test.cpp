// Numbered ports as Windows names them, opened through the real serial control.
#include <gtest/gtest.h>

#include <string>

#include "mscomm.h"
#include "port_errors.h"
#include "port_names.h"

namespace {

TEST(WindowsPortNames, NumberedPortsOpenThroughTheDeviceNamespace) {
    const struct {
        const char* name;
        const char* opened;
    } cases[] = {
        {"COM1", "\\\\.\\COM1"},   {"com9", "\\\\.\\COM9"},        {"COM10", "\\\\.\\COM10"},
        {"cOm12", "\\\\.\\COM12"}, {"COM256", "\\\\.\\COM256"},    {"COM257", "COM257"},
        {"COM0", "COM0"},          {"\\\\.\\COM3", "\\\\.\\COM3"}, {"COM1A", "COM1A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResolvePortName(c.name), c.opened) << c.name;
    }
}

// No port of these numbers exists in the Wine prefix the tests run in.
TEST(WindowsPortNames, MissingPortIsReportedByItsOwnName) {
    for (const char* name : {"COM77", "com200"}) {
        CMSComm comm;
        comm.SetCommPort(name);
        comm.SetSettings("115200,n,8,1");
        EXPECT_FALSE(comm.SetPortOpen(true)) << name;
        EXPECT_FALSE(comm.GetPortOpen());
        EXPECT_EQ(comm.GetLastErrorText(),
                  std::string("Cannot open the serial port ") + name +
                      ": no such port; check the port name under Ports (COM & LPT) in Device "
                      "Manager and that the adapter is plugged in.");
    }
}

// Windows refuses a second open of a port with "access denied"; that means another program,
// never a missing group membership.
TEST(WindowsPortNames, RefusedPortIsBusyInWindowsWords) {
    const std::string device = ResolvePortName("COM12");
    const PortOpenFailure failure =
        ClassifyOpenFailure(QSerialPort::PermissionError, IsDeviceAccessible(device));
    ASSERT_EQ(failure, PortOpenFailure::Busy);
    EXPECT_EQ(PortOpenErrorText("COM12", device, failure, "Access is denied."),
              "Cannot open the serial port COM12: another program is using it; close that "
              "program.");
}

}  // namespace
