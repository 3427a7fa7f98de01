// The line settings: the settings text as the serial control reads it, and what it puts on the
// line, read back by the emulated controller, which takes in only bytes sent at 115200,n,8,1
// without flow control in raw mode, as a real boot loader's UART would.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "event_pump.h"
#include "line_settings.h"
#include "mscomm.h"
#include "pty_boot_loader.h"

namespace {

// The settings text as the serial control hands it to the port.
TEST(LineSettings, TextsParseIntoPortSettings) {
    using P = QSerialPort;
    const struct {
        const char* text;
        qint32 baudRate;
        P::Parity parity;
        P::DataBits dataBits;
        P::StopBits stopBits;
    } table[] = {
        {"115200,n,8,1", 115200, P::NoParity, P::Data8, P::OneStop},
        {" 9600 , E , 7 , 2 ", 9600, P::EvenParity, P::Data7, P::TwoStop},
        {"1,o,6,1.5", 1, P::OddParity, P::Data6, P::OneAndHalfStop},
        {"999999999,m,5,1", 999999999, P::MarkParity, P::Data5, P::OneStop},
        {"300,S,8,1", 300, P::SpaceParity, P::Data8, P::OneStop},
    };
    for (const auto& row : table) {
        const std::optional<LineSettings> parsed = ParseLineSettings(row.text);
        ASSERT_TRUE(parsed.has_value()) << row.text;
        EXPECT_EQ(parsed->baudRate, row.baudRate) << row.text;
        EXPECT_EQ(parsed->parity, row.parity) << row.text;
        EXPECT_EQ(parsed->dataBits, row.dataBits) << row.text;
        EXPECT_EQ(parsed->stopBits, row.stopBits) << row.text;
    }
    for (const char* text : {"", "115200,n,8", "115200,n,8,1,1", "0,n,8,1", "1000000000,n,8,1",
                             "-9600,n,8,1", "115200,x,8,1", "115200,nn,8,1", "115200,n,9,1",
                             "115200,n,4,1", "115200,n,8,3", "115200,n,8,0", "11 5200,n,8,1"}) {
        EXPECT_FALSE(ParseLineSettings(text).has_value()) << text;
    }
}

// Settings the control is given, what the controller reads back from the line, whether a wake-up
// byte sent at them gets its ":OK#". A pseudo-terminal always runs 8 data bits and keeps no
// even parity, so those two cannot be shown here; the control refuses what the line cannot do.
TEST(LineSettings, TheControllerAnswersOnlyAtItsOwnSettings) {
    const struct {
        const char* given;
        const char* onTheLine;
        bool answered;
    } table[] = {
        {"115200,n,8,1", "115200,n,8,1", true},  {" 115200 , N , 8 , 1 ", "115200,n,8,1", true},
        {"9600,n,8,1", "9600,n,8,1", false},     {"115200,o,8,1", "115200,o,8,1", false},
        {"115200,m,8,1", "115200,m,8,1", false}, {"57600,s,8,2", "57600,s,8,2", false},
        {"115200,n,8,2", "115200,n,8,2", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.given);
        CPtyBootLoader loader;
        std::string error;
        ASSERT_TRUE(loader.Start(&error)) << error;
        CMSComm comm;
        std::string received;
        QObject::connect(&comm, &CMSComm::OnComm, [&] {
            const std::vector<std::uint8_t> bytes = comm.GetInput();
            received.append(bytes.begin(), bytes.end());
        });
        comm.SetCommPort(loader.SlavePath());
        comm.SetSettings(row.given);
        comm.SetRThreshold(1);
        ASSERT_TRUE(comm.SetPortOpen(true)) << comm.GetLastErrorText();
        EXPECT_EQ(loader.LineSettings(), row.onTheLine);
        const std::uint8_t wakeUp = 0xAA;
        comm.SetOutput(&wakeUp, 1);
        ASSERT_TRUE(PumpUntil([&] { return loader.BytesReceived() == 1; }));
        PumpUntil([&] { return !received.empty(); }, row.answered ? 10000 : 300);
        EXPECT_EQ(received, row.answered ? ":OK#" : "");
        EXPECT_EQ(loader.WakeUpBytes(), row.answered ? 1 : 0);
        EXPECT_EQ(loader.BytesAtWrongSettings(), row.answered ? 0u : 1u);
    }
}

}  // namespace
