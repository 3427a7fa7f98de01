// The serial control over a real pseudo-terminal: bytes unchanged both ways and in order, receive
// events, stale input dropped at open, a bounded input buffer, a line that hangs up, and the texts
// that say why a port cannot be opened or was lost.
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "event_pump.h"
#include "line_settings.h"
#include "mscomm.h"
#include "port_errors.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Every byte value in turn, the ones a terminal would translate (CR, LF, XON, ^C, DEL) too.
Bytes AllValues(std::size_t length) {
    Bytes bytes(length);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});  // 255 wraps round to 0
    return bytes;
}

// A raw pseudo-terminal: the test plays the far end on the master, the control opens the slave.
// The test's own slave descriptor spares the master a hang-up while the control is closed.
struct Pty {
    Pty() {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        EXPECT_EQ(::openpty(&master, &slave, name, &raw, nullptr), 0);
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        path = name;
    }
    ~Pty() { HangUp(); }
    void Write(const Bytes& bytes) const {
        EXPECT_EQ(::write(master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    Bytes Read(std::size_t count) const {
        Bytes bytes(count);
        std::size_t got = 0;
        PumpUntil([&] {
            got += std::max<ssize_t>(::read(master, bytes.data() + got, count - got), 0);
            return got == count;
        });
        bytes.resize(got);
        return bytes;
    }
    void HangUp() {
        ::close(std::exchange(master, -1));
        ::close(std::exchange(slave, -1));
    }
    int master = -1, slave = -1;
    std::string path;
};

// One port through its life: opened with bytes waiting, bytes both ways, writes the driver
// cannot take at once, input nobody reads, and the line hanging up.
TEST(SerialControl, APortFromOpeningToHangUp) {
    Pty pty;
    CMSComm comm;
    std::vector<short> events;
    Bytes received;
    bool readInHandler = true;
    QObject::connect(&comm, &CMSComm::OnComm, [&] {
        events.push_back(comm.GetCommEvent());
        if (readInHandler && comm.GetCommEvent() == kComEvReceive) {
            const Bytes input = comm.GetInput();
            received.insert(received.end(), input.begin(), input.end());
        }
    });
    // Bytes that waited before the port was opened are dropped.
    pty.Write(AllValues(12));
    int queued = 0;  // the kernel hands master writes over a moment later
    PumpUntil([&] { return ::ioctl(pty.slave, TIOCINQ, &queued) == 0 && queued == 12; });
    comm.SetCommPort(pty.path);
    comm.SetSettings("115200,n,8,1");
    comm.SetRThreshold(1);
    ASSERT_TRUE(comm.SetPortOpen(true)) << comm.GetLastErrorText();
    pty.Write(AllValues(300));
    PumpUntil([&] { return received.size() >= 300; });
    EXPECT_EQ(received, AllValues(300));
    // Anything added after a write would show up in front of the next one.
    for (const Bytes& bytes : {Bytes{0xAA}, AllValues(1025)}) {
        comm.SetOutput(bytes.data(), bytes.size());
        EXPECT_EQ(pty.Read(bytes.size()), bytes) << bytes.size() << " bytes";
    }
    // Far more than a pseudo-terminal buffers while nobody reads: the driver takes part of the
    // first write, the rest waits, and the later writes must queue behind it.
    Bytes expected;
    for (const Bytes& bytes : {AllValues(256 * 1024), Bytes{':', 'Q', '#'}, AllValues(1025)}) {
        comm.SetOutput(bytes.data(), bytes.size());
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(pty.Read(expected.size()), expected);

    // Unread input fills the control's 1024-byte input buffer and no more: a line that keeps
    // sending while nobody reads cannot grow the program's memory. The rest waits in the driver.
    readInHandler = false;
    pty.Write(AllValues(3000));
    ASSERT_TRUE(PumpUntil([&] { return comm.GetInBufferCount() >= 1024; }));
    PumpFor(200);
    EXPECT_EQ(comm.GetInBufferCount(), 1024u);
    readInHandler = true;
    received = comm.GetInput();
    PumpUntil([&] { return received.size() >= 3000; });
    EXPECT_EQ(received, AllValues(3000));

    // A write that meets the hung-up line before the control has noticed, then another: a hung-up
    // line keeps reporting errors, and only one line-lost event may come of them.
    EXPECT_EQ(events, std::vector<short>(events.size(), kComEvReceive));
    events.clear();
    pty.HangUp();
    comm.SetOutput(Bytes{0xAA}.data(), 1);
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    comm.SetOutput(Bytes{0xAA}.data(), 1);
    PumpFor(300);
    EXPECT_EQ(events, std::vector<short>{kComEvLineLost});
    EXPECT_FALSE(comm.GetPortOpen());
}

// The texts name the port as the user gave it, the device it came to, and why it cannot be
// opened or was lost.
TEST(SerialControl, RefusedOpenAndLostLineNameThePortAndTheReason) {
    Pty pty, free;
    CMSComm comm;
    QObject::connect(&comm, &CMSComm::OnComm, [] { ADD_FAILURE() << "an event from no port"; });
    const std::string cannot = "Cannot open the serial port ";
    CMSComm holder;  // keeps the pseudo-terminal busy
    holder.SetCommPort(pty.path);
    ASSERT_TRUE(holder.SetPortOpen(true)) << holder.GetLastErrorText();
    const std::string noSuchPort =
        ": no such port; check the port name and that the adapter is plugged in.";
    // Port, settings, and the text, or how it starts where the system gives the reason.
    const std::tuple<std::string, std::string, std::string> table[] = {
        {"/dev/afd-no-such-port", "115200,n,8,1", cannot + "/dev/afd-no-such-port" + noSuchPort},
        {"COM200", "115200,n,8,1", cannot + "COM200 (/dev/ttyS199)" + noSuchPort},
        {"com12", "115200,n,8,1", cannot + "com12 (/dev/ttyS11)" + noSuchPort},
        // Names that are no numbered port are looked up under /dev like any other plain name.
        {"COM0", "115200,n,8,1", cannot + "COM0 (/dev/COM0)" + noSuchPort},
        {"COM1x", "115200,n,8,1", cannot + "COM1x (/dev/COM1x)" + noSuchPort},
        {"CON12", "115200,n,8,1", cannot + "CON12 (/dev/CON12)" + noSuchPort},
        {"/dev/null", "115200,n,8,1", cannot + "/dev/null: "},
        {"/dev/null", "115200,q,8,1",
         cannot + "/dev/null: the line settings \"115200,q,8,1\" are not valid (expected "
                  "baud,parity,data bits,stop bits such as \"115200,n,8,1\")."},
        {free.path, "115200,e,8,1",
         cannot + free.path + ": the line settings \"115200,e,8,1\" are not supported: "},
        {pty.path, "115200,n,8,1",
         cannot + pty.path + ": another program is using it; close that program."},
        // Raw mode would wreck the user's own terminal.
        {"/dev/tty", "115200,n,8,1",
         cannot + "/dev/tty: it is the terminal this program runs in, not a serial port; name the "
                  "port the hand controller is on."},
    };
    for (const auto& [port, settings, text] : table) {
        comm.SetCommPort(port);
        comm.SetSettings(settings);
        EXPECT_FALSE(comm.SetPortOpen(true) || comm.GetPortOpen()) << port;
        EXPECT_EQ(comm.GetLastErrorText().rfind(text, 0), 0u) << comm.GetLastErrorText();
        EXPECT_TRUE(comm.GetInput().empty());  // nothing from a port that is not open
    }
    // Permission denied names the group that would help.
    const std::string head = "Cannot open the serial port COM3 (/dev/ttyS2): permission denied";
    const std::pair<DeviceOwner, std::string> owners[] = {
        {{"root", "dialout"},
         "; add your user to the dialout group (sudo usermod -aG dialout $USER) and log in "
         "again."},
        {{"ann", "uucp"},
         "; it belongs to ann and the uucp group: add your user to the uucp group (sudo usermod "
         "-aG uucp $USER) and log in again, or ask ann for access."},
        {{"", ""}, "."},
    };
    for (const auto& [owner, tail] : owners) {
        EXPECT_EQ(
            PortOpenErrorText("COM3", "/dev/ttyS2", PortOpenFailure::PermissionDenied, "", owner),
            head + tail);
    }
    // A lost line says how the system told it (a hung-up pseudo-terminal only ever fails a read).
    const std::pair<QSerialPort::SerialPortError, std::string> losses[] = {
        {QSerialPort::ResourceError, "the device is gone (adapter unplugged?)"},
        {QSerialPort::ReadError, "reading from it failed (adapter unplugged or line hung up)"},
        {QSerialPort::WriteError, "writing to it failed (adapter unplugged or line hung up)"},
        {QSerialPort::UnknownError, "unknown error"},
    };
    for (const auto& [error, reason] : losses) {
        EXPECT_EQ(LineLostText("COM3", LineLossReason(error)),
                  "The serial line to COM3 was lost: " + reason);
    }
    EXPECT_EQ(LineLostText("COM3", "Input/output error. "),
              "The serial line to COM3 was lost: Input/output error");
}

// The settings text as the control reads it: what each field may be, and what it refuses.
TEST(LineSettings, TextsParseIntoPortSettings) {
    using P = QSerialPort;
    const std::tuple<const char*, qint32, P::Parity, P::DataBits, P::StopBits> valid[] = {
        {" 9600 , E , 7 , 2 ", 9600, P::EvenParity, P::Data7, P::TwoStop},
        {"1,o,6,1.5", 1, P::OddParity, P::Data6, P::OneAndHalfStop},
        {"999999999,m,5,1", 999999999, P::MarkParity, P::Data5, P::OneStop},
        {"300,S,8,1", 300, P::SpaceParity, P::Data8, P::OneStop},
    };
    for (const auto& [text, baudRate, parity, dataBits, stopBits] : valid) {
        const std::optional<LineSettings> parsed = ParseLineSettings(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(std::tie(parsed->baudRate, parsed->parity, parsed->dataBits, parsed->stopBits),
                  std::tie(baudRate, parity, dataBits, stopBits))
            << text;
    }
    for (const char* text : {"", "115200,n,8", "0,n,8,1", "1000000000,n,8,1", "-9600,n,8,1",
                             "115200,nn,8,1", "115200,n,9,1", "115200,n,8,3"}) {
        EXPECT_FALSE(ParseLineSettings(text).has_value()) << text;
    }
}

}  // namespace
