// The serial control over a real pseudo-terminal: bytes unchanged both ways and in order, receive
// events, stale input dropped at open, ports that cannot be opened, and a line that hangs up.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QThread>
#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "event_pump.h"
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
        if (::openpty(&master, &slave, name, &raw, nullptr) == 0) {
            path = name;
            ::fcntl(master, F_SETFL, O_NONBLOCK);
        }
    }
    ~Pty() { HangUp(); }
    void Write(const Bytes& bytes) const {
        EXPECT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    Bytes Read(std::size_t count) const {
        Bytes bytes;
        PumpUntil([&] {
            std::uint8_t buffer[4096];
            const ssize_t got =
                ::read(master, buffer, std::min(sizeof buffer, count - bytes.size()));
            bytes.insert(bytes.end(), buffer, buffer + std::max<ssize_t>(got, 0));
            return bytes.size() >= count;
        });
        return bytes;
    }
    int SlaveInputQueued() const {
        int queued = -1;
        ::ioctl(slave, TIOCINQ, &queued);
        return queued;
    }
    // Waits without running the event loop: the kernel hands master writes over a moment later.
    bool WaitForSlaveInput(int count) const {
        for (int i = 0; i < 10000 && SlaveInputQueued() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return SlaveInputQueued() >= count;
    }
    void HangUp() {
        ::close(std::exchange(master, -1));
        ::close(std::exchange(slave, -1));
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

class SerialControl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.path.empty());
        QObject::connect(&comm, &CMSComm::OnComm, [this] {
            events.push_back(comm.GetCommEvent());
            EXPECT_EQ(QThread::currentThread(), comm.thread());
            if (readInHandler && comm.GetCommEvent() == kComEvReceive) {
                const Bytes input = comm.GetInput();
                received.insert(received.end(), input.begin(), input.end());
            }
        });
    }
    // As the download opens it.
    bool Open(const std::string& port) {
        comm.SetCommPort(port);
        comm.SetSettings("115200,n,8,1");
        comm.SetRThreshold(1);
        return comm.SetPortOpen(true);
    }
    Bytes Receive(const Bytes& sent) {
        received.clear();
        pty.Write(sent);
        PumpUntil([&] { return received.size() >= sent.size(); });
        return received;
    }

    Pty pty;
    CMSComm comm;
    bool readInHandler = true;
    std::vector<short> events;
    Bytes received;
};

TEST_F(SerialControl, EveryByteCrossesUnchangedAndOneReadTakesAllThatWait) {
    ASSERT_TRUE(Open(pty.path)) << comm.GetLastErrorText();
    // Anything added after a write would show up in front of the next one.
    for (const Bytes& bytes : {Bytes{0xAA}, AllValues(256), AllValues(1025), Bytes{'#'}}) {
        comm.SetOutput(bytes.data(), bytes.size());
        EXPECT_EQ(pty.Read(bytes.size()), bytes) << bytes.size() << " bytes";
    }
    EXPECT_EQ(Receive(AllValues(300)), AllValues(300));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events, std::vector<short>(events.size(), kComEvReceive));

    // Unread input fills the control's 1024-byte input buffer and no more: a line that keeps
    // sending while nobody reads cannot grow the program's memory. The rest waits in the driver.
    readInHandler = false;
    events.clear();
    pty.Write(AllValues(3000));
    ASSERT_TRUE(PumpUntil([&] { return !events.empty() && comm.GetInBufferCount() >= 1024; }));
    PumpFor(200);
    EXPECT_EQ(comm.GetInBufferCount(), 1024u);
    EXPECT_EQ(comm.GetInput(), AllValues(1024));
    Bytes rest;
    ASSERT_TRUE(PumpUntil([&] {
        const Bytes input = comm.GetInput();
        rest.insert(rest.end(), input.begin(), input.end());
        return rest.size() >= 3000 - 1024;
    }));
    const Bytes all = AllValues(3000);
    EXPECT_EQ(rest, Bytes(all.begin() + 1024, all.end()));
}

TEST_F(SerialControl, WritesTheDriverCannotTakeAtOnceGoOutLaterInOrder) {
    ASSERT_TRUE(Open(pty.path)) << comm.GetLastErrorText();
    // Far more than a pseudo-terminal buffers while nobody reads: the driver takes part of the
    // first write, the rest waits, and the later writes must queue behind it.
    Bytes expected;
    for (const Bytes& bytes : {AllValues(256 * 1024), Bytes{':', 'Q', '#'}, AllValues(1025)}) {
        comm.SetOutput(bytes.data(), bytes.size());
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    EXPECT_EQ(pty.Read(expected.size()), expected);
    EXPECT_TRUE(events.empty());
}

TEST_F(SerialControl, OpeningDiscardsBytesThatWaitedBefore) {
    // Before the first opening, and while the port was closed between two downloads.
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        ASSERT_TRUE(comm.SetPortOpen(false));
        pty.Write(AllValues(12));
        ASSERT_TRUE(pty.WaitForSlaveInput(12));
        ASSERT_TRUE(Open(pty.path)) << comm.GetLastErrorText();
        EXPECT_EQ(Receive(AllValues(7)), AllValues(7));
    }
}

TEST_F(SerialControl, RefusedOpenNamesThePortAndTheReason) {
    const std::string cannot = "Cannot open the serial port ";
    // Settings the line cannot take are refused with the system's reason: a pseudo-terminal runs
    // 8 data bits only. Nothing is read from a port that did not open.
    comm.SetCommPort(pty.path);
    comm.SetSettings("115200,n,7,1");
    EXPECT_FALSE(comm.SetPortOpen(true));
    EXPECT_EQ(
        comm.GetLastErrorText().rfind(
            cannot + pty.path + ": the line settings \"115200,n,7,1\" are not supported: ", 0),
        0u)
        << comm.GetLastErrorText();
    pty.Write({':', 'O', 'K', '#'});
    EXPECT_TRUE(comm.GetInput().empty());

    CMSComm holder;  // keeps the pseudo-terminal busy
    holder.SetCommPort(pty.path);
    ASSERT_TRUE(holder.SetPortOpen(true)) << holder.GetLastErrorText();
    // Another name of the same port is locked as the same device, for root too.
    const std::string link = "/tmp/afd-port-link-" + std::to_string(::getpid());
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink(pty.path.c_str(), link.c_str()), 0);
    const std::unique_ptr<const char, int (*)(const char*)> removeLink(link.c_str(), ::unlink);
    const std::string noSuchPort =
        ": no such port; check the port name and that the adapter is plugged in.";
    // Port, settings, and the text, or how it starts where the system gives the reason.
    const std::tuple<std::string, std::string, std::string> table[] = {
        {"/dev/afd-no-such-port", "115200,n,8,1", cannot + "/dev/afd-no-such-port" + noSuchPort},
#if defined(__linux__)
        {"COM200", "115200,n,8,1", cannot + "COM200 (/dev/ttyS199)" + noSuchPort},
        {"com12", "115200,n,8,1", cannot + "com12 (/dev/ttyS11)" + noSuchPort},
        // Names that are no numbered port are plain names like any other.
        {"COM", "115200,n,8,1", cannot + "COM (/dev/COM)" + noSuchPort},
        {"COM0", "115200,n,8,1", cannot + "COM0 (/dev/COM0)" + noSuchPort},
        {"COM257", "115200,n,8,1", cannot + "COM257 (/dev/COM257)" + noSuchPort},
        {"COM1000", "115200,n,8,1", cannot + "COM1000 (/dev/COM1000)" + noSuchPort},
        {"COM1x", "115200,n,8,1", cannot + "COM1x (/dev/COM1x)" + noSuchPort},
        {"CON12", "115200,n,8,1", cannot + "CON12 (/dev/CON12)" + noSuchPort},
#endif
        {"/dev/null", "115200,n,8,1", cannot + "/dev/null: "},
        {"/dev/null", "115200,q,8,1",
         cannot + "/dev/null: the line settings \"115200,q,8,1\" are not valid (expected "
                  "baud,parity,data bits,stop bits such as \"115200,n,8,1\")."},
        {pty.path, "115200,n,8,1",
         cannot + pty.path + ": another program is using it; close that program."},
        {link, "115200,n,8,1",
         cannot + link + " (" + pty.path + "): another program is using it; close that program."},
        // A plain name is looked up under /dev, and the text says so.
        {"afd-no-such-port", "115200,n,8,1",
         cannot + "afd-no-such-port (/dev/afd-no-such-port)" + noSuchPort},
        // Raw mode would wreck the user's own terminal.
        {"/dev/tty", "115200,n,8,1",
         cannot + "/dev/tty: it is the terminal this program runs in, not a serial port; name the "
                  "port the hand controller is on."},
    };
    for (const auto& [port, settings, text] : table) {
        comm.SetCommPort(port);
        comm.SetSettings(settings);
        EXPECT_FALSE(comm.SetPortOpen(true)) << port;
        EXPECT_FALSE(comm.GetPortOpen());
        EXPECT_EQ(comm.GetLastErrorText().rfind(text, 0), 0u) << comm.GetLastErrorText();
    }
    EXPECT_TRUE(events.empty());
}

TEST(PortErrorText, PermissionDeniedNamesTheGroupThatWouldHelp) {
    const std::string head = "Cannot open the serial port COM3 (/dev/ttyS2): permission denied";
    const std::pair<DeviceOwner, std::string> table[] = {
        {{"root", "dialout"},
         "; add your user to the dialout group (sudo usermod -aG dialout $USER) and log in "
         "again."},
        {{"ann", "uucp"},
         "; it belongs to ann and the uucp group: add your user to the uucp group (sudo usermod "
         "-aG uucp $USER) and log in again, or ask ann for access."},
        {{"", ""}, "."},
    };
    for (const auto& [owner, tail] : table) {
        EXPECT_EQ(
            PortOpenErrorText("COM3", "/dev/ttyS2", PortOpenFailure::PermissionDenied, "", owner),
            head + tail);
    }
}

// What the log box says when the line goes, for each way the system reports it.
TEST(PortErrorText, LineLossSaysWhatHappened) {
    const std::pair<QSerialPort::SerialPortError, std::string> table[] = {
        {QSerialPort::ResourceError, "the device is gone (adapter unplugged?)"},
        {QSerialPort::ReadError, "reading from it failed (adapter unplugged or line hung up)"},
        {QSerialPort::WriteError, "writing to it failed (adapter unplugged or line hung up)"},
        {QSerialPort::UnknownError, "unknown error"},
    };
    for (const auto& [error, reason] : table) {
        EXPECT_EQ(LineLostText("COM3", LineLossReason(error)),
                  "The serial line to COM3 was lost: " + reason);
    }
    EXPECT_EQ(LineLostText("COM3", "Input/output error. "),
              "The serial line to COM3 was lost: Input/output error");
}

TEST_F(SerialControl, HangUpRaisesOneLineLostEventAndClosesThePort) {
    ASSERT_TRUE(Open(pty.path)) << comm.GetLastErrorText();
    pty.HangUp();
    // A write that meets the hung-up line before the control has noticed.
    comm.SetOutput(Bytes{0xAA}.data(), 1);
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    // A hung-up line keeps reporting errors; none may come through again, and the wake-up tick
    // writing to the closed port must stay harmless.
    comm.SetOutput(Bytes{0xAA}.data(), 1);
    PumpFor(300);
    EXPECT_EQ(events, std::vector<short>{kComEvLineLost});
    EXPECT_FALSE(comm.GetPortOpen());
    const std::string text = comm.GetLastErrorText();
    EXPECT_EQ(text.rfind("The serial line to " + pty.path + " was lost: ", 0), 0u) << text;
    EXPECT_NE(text.find("(adapter unplugged"), std::string::npos) << text;
}

}  // namespace
