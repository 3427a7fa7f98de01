// The serial control over a real pseudo-terminal: bytes on the wire in both directions, the
// receive event, stale input, ports that cannot be opened and a line that hangs up.
#include <gtest/gtest.h>

#include <QThread>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "mscomm.h"
#include "pseudo_terminal.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Every byte value, including the ones a terminal would translate (CR, LF, XON, XOFF, ^C, DEL),
// repeated to the given length.
Bytes AllValues(std::size_t length) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0xFF);
    }
    return bytes;
}

class CMSCommTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsOpen());
        QObject::connect(&m_comm, &CMSComm::OnComm, [this] {
            m_events.push_back(m_comm.GetCommEvent());
            m_eventThreads.push_back(QThread::currentThread());
            if (m_bReadInHandler && m_comm.GetCommEvent() == kComEvReceive) {
                const Bytes input = m_comm.GetInput();
                m_received.insert(m_received.end(), input.begin(), input.end());
            }
        });
    }

    // The settings the download uses.
    bool Open(const std::string& portName) {
        m_comm.SetCommPort(portName);
        m_comm.SetSettings("115200,n,8,1");
        m_comm.SetRThreshold(1);
        m_comm.SetInputMode(1);
        m_comm.SetInputLen(0);
        m_comm.SetOutBufferSize(2048);
        return m_comm.SetPortOpen(true);
    }

    Bytes ReceiveFrom(CPseudoTerminal& pty, const Bytes& sent) {
        m_received.clear();
        pty.WriteMaster(sent);
        PumpUntil([&] { return m_received.size() >= sent.size(); });
        return m_received;
    }

    int CountEvents(short code) const {
        return static_cast<int>(std::count(m_events.begin(), m_events.end(), code));
    }

    CPseudoTerminal m_pty;
    CMSComm m_comm;
    bool m_bReadInHandler = true;
    std::vector<short> m_events;
    std::vector<QThread*> m_eventThreads;
    Bytes m_received;
};

TEST_F(CMSCommTest, WritesEveryByteUnchangedAndAddsNothing) {
    ASSERT_TRUE(Open(m_pty.SlavePath())) << m_comm.GetLastErrorText();
    ASSERT_TRUE(m_comm.GetPortOpen());
    const Bytes writes[] = {FromText(":GET_VER00#"), Bytes{0xAA}, AllValues(256), AllValues(1025),
                            FromText("#END#")};
    // Anything added after a write would show up in front of the next one.
    for (const Bytes& bytes : writes) {
        m_comm.SetOutput(bytes.data(), bytes.size());
        EXPECT_EQ(m_pty.ReadMaster(bytes.size()), bytes) << bytes.size() << " bytes";
    }
}

TEST_F(CMSCommTest, ReceivedBytesRaiseTheReceiveEventOnTheOwnersThread) {
    ASSERT_TRUE(Open(m_pty.SlavePath())) << m_comm.GetLastErrorText();
    Bytes sent = AllValues(256);
    const Bytes reply = FromText(":English Ver1.0#");
    sent.insert(sent.end(), reply.begin(), reply.end());

    EXPECT_EQ(ReceiveFrom(m_pty, sent), sent);
    ASSERT_FALSE(m_events.empty());
    EXPECT_EQ(CountEvents(kComEvReceive), static_cast<int>(m_events.size()));
    for (QThread* thread : m_eventThreads) {
        EXPECT_EQ(thread, m_comm.thread());
    }
}

TEST_F(CMSCommTest, OneReadTakesEveryWaitingByte) {
    m_bReadInHandler = false;
    ASSERT_TRUE(Open(m_pty.SlavePath())) << m_comm.GetLastErrorText();
    const Bytes sent = AllValues(3000);
    m_pty.WriteMaster(sent);
    ASSERT_TRUE(m_pty.WaitForSlaveInput(static_cast<int>(sent.size())));
    // Once the kernel queue is empty the control holds every byte; none has been read yet.
    ASSERT_TRUE(PumpUntil([&] { return !m_events.empty() && m_pty.SlaveInputQueued() == 0; }));

    EXPECT_EQ(m_comm.GetInput(), sent);
    EXPECT_TRUE(m_comm.GetInput().empty());
}

TEST_F(CMSCommTest, OpeningDiscardsBytesThatWaitedBefore) {
    // Before the first opening, and while the port was closed between two downloads.
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        ASSERT_TRUE(m_comm.SetPortOpen(false));
        const Bytes stale = FromText(":OK#:RB_ERR#");
        m_pty.WriteMaster(stale);
        ASSERT_TRUE(m_pty.WaitForSlaveInput(static_cast<int>(stale.size())));
        ASSERT_TRUE(Open(m_pty.SlavePath())) << m_comm.GetLastErrorText();
        EXPECT_EQ(ReceiveFrom(m_pty, FromText(":EX_OK#")), FromText(":EX_OK#"));
    }
}

TEST_F(CMSCommTest, RefusedOpenNamesThePortAndTheReason) {
    // The test's pseudo-terminal is held by another control for the busy case.
    CMSComm holder;
    holder.SetCommPort(m_pty.SlavePath());
    holder.SetSettings("115200,n,8,1");
    ASSERT_TRUE(holder.SetPortOpen(true)) << holder.GetLastErrorText();

    struct Row {
        std::string portName;
        std::string settings;
        std::string expected;
    };
    const Row table[] = {
        {"/dev/afd-no-such-port", "115200,n,8,1",
         "no such port; check the port name and that the adapter is plugged in"},
#if defined(__linux__)
        {"COM200", "115200,n,8,1", "COM200 (/dev/ttyS199): no such port"},
#endif
        {"/dev/null", "115200,n,8,1", "Cannot open the serial port /dev/null: "},
        {"/dev/null", "115200,q,8,1", "\"115200,q,8,1\" are not valid"},
        {m_pty.SlavePath(), "115200,n,8,1", "another program is using it; close that program"},
    };
    for (const Row& row : table) {
        m_comm.SetCommPort(row.portName);
        m_comm.SetSettings(row.settings);
        EXPECT_FALSE(m_comm.SetPortOpen(true)) << row.portName;
        EXPECT_FALSE(m_comm.GetPortOpen());
        const std::string text = m_comm.GetLastErrorText();
        EXPECT_NE(text.find(row.portName), std::string::npos) << text;
        EXPECT_NE(text.find(row.expected), std::string::npos) << text;
    }
    EXPECT_TRUE(m_events.empty());
}

TEST_F(CMSCommTest, HangUpRaisesLineLostOnceAndLeavesTheControlReusable) {
    ASSERT_TRUE(Open(m_pty.SlavePath())) << m_comm.GetLastErrorText();
    const std::string path = m_pty.SlavePath();
    m_pty.HangUp();
    ASSERT_TRUE(PumpUntil([&] { return CountEvents(kComEvLineLost) > 0; }));

    EXPECT_FALSE(m_comm.GetPortOpen());
    EXPECT_EQ(m_comm.GetCommEvent(), kComEvLineLost);
    const std::string text = m_comm.GetLastErrorText();
    EXPECT_EQ(text.rfind("the serial line to " + path + " was lost: ", 0), 0u) << text;
    EXPECT_NE(text.find("(adapter unplugged"), std::string::npos) << text;
    // A hung-up line keeps reporting errors; none may come through again, and the wake-up
    // tick writing to the closed port must stay harmless.
    const Bytes wakeUp{0xAA};
    m_comm.SetOutput(wakeUp.data(), wakeUp.size());
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(m_events, std::vector<short>{kComEvLineLost});
    EXPECT_TRUE(m_comm.GetInput().empty());

    CPseudoTerminal second;
    ASSERT_TRUE(second.IsOpen());
    ASSERT_TRUE(Open(second.SlavePath())) << m_comm.GetLastErrorText();
    EXPECT_TRUE(m_comm.GetLastErrorText().empty());
    EXPECT_EQ(ReceiveFrom(second, FromText(":OK#")), FromText(":OK#"));
    EXPECT_EQ(m_comm.GetCommEvent(), kComEvReceive);
}

}  // namespace
