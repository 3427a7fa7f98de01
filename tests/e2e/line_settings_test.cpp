// The line settings: the settings text as the serial control reads it, and what it puts on the
// line, read back by the emulated controller, which takes in only bytes sent at 115200,n,8,1
// without flow control in raw mode, as a real boot loader's UART would; then the sequencer on the
// real serial control when the line is wrong, and when the image changes while it waits.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "download_sequencer.h"
#include "event_loop_timer.h"
#include "event_pump.h"
#include "expected_conversation.h"
#include "line_settings.h"
#include "memory_host.h"
#include "mscomm.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

std::unique_ptr<CPtyBootLoader> StartController(EmulatorOptions options = {}) {
    auto loader = std::make_unique<CPtyBootLoader>(options);
    std::string error;
    EXPECT_TRUE(loader->Start(&error)) << error;
    return loader;
}

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
        const std::unique_ptr<CPtyBootLoader> loader = StartController();
        CMSComm comm;
        std::string received;
        QObject::connect(&comm, &CMSComm::OnComm, [&] {
            const std::vector<std::uint8_t> bytes = comm.GetInput();
            received.append(bytes.begin(), bytes.end());
        });
        comm.SetCommPort(loader->SlavePath());
        comm.SetSettings(row.given);
        comm.SetRThreshold(1);
        ASSERT_TRUE(comm.SetPortOpen(true)) << comm.GetLastErrorText();
        EXPECT_EQ(loader->LineSettings(), row.onTheLine);
        const std::uint8_t wakeUp = 0xAA;
        comm.SetOutput(&wakeUp, 1);
        ASSERT_TRUE(PumpUntil([&] { return loader->BytesReceived() == 1; }));
        PumpUntil([&] { return !received.empty(); }, row.answered ? 10000 : 300);
        EXPECT_EQ(received, row.answered ? ":OK#" : "");
        EXPECT_EQ(loader->WakeUpBytes(), row.answered ? 1 : 0);
        EXPECT_EQ(loader->BytesAtWrongSettings(), row.answered ? 0u : 1u);
    }
}

// Passes everything on to the serial control, but the line settings when told to replace them.
class CSettingsOverride : public ICommPort {
public:
    explicit CSettingsOverride(CMSComm& comm) : m_comm(comm) {}
    std::string forced;  // empty: the sequencer's own settings go through

    void SetCommPort(const std::string& name) override { m_comm.SetCommPort(name); }
    void SetSettings(const std::string& s) override {
        m_comm.SetSettings(forced.empty() ? s : forced);
    }
    void SetRThreshold(short n) override { m_comm.SetRThreshold(n); }
    void SetInputMode(long mode) override { m_comm.SetInputMode(mode); }
    void SetInputLen(short n) override { m_comm.SetInputLen(n); }
    void SetOutBufferSize(short n) override { m_comm.SetOutBufferSize(n); }
    bool GetPortOpen() const override { return m_comm.GetPortOpen(); }
    bool SetPortOpen(bool open) override { return m_comm.SetPortOpen(open); }
    std::string GetLastErrorText() const override { return m_comm.GetLastErrorText(); }
    short GetCommEvent() const override { return m_comm.GetCommEvent(); }
    std::vector<std::uint8_t> GetInput() override { return m_comm.GetInput(); }
    void SetOutput(const std::uint8_t* data, std::size_t size) override {
        m_comm.SetOutput(data, size);
    }

private:
    CMSComm& m_comm;
};

// The sequencer wired to the serial control and the event loop's timers as the window wires it.
class WiredSequencer : public ::testing::Test {
protected:
    WiredSequencer() {
        QObject::connect(&comm, &CMSComm::OnComm, &comm, [this] { sequencer.OnCommEvent(); });
    }
    void Start(const std::string& imagePath) {
        sequencer.OnSelchangePortCombo(0, loader->SlavePath());
        sequencer.SetFilePath(imagePath);
        sequencer.OnStartDownload();
    }
    DownloadEnd RunUntilEnd() {
        PumpUntil([this] { return !sequencer.IsDownloading(); }, 60000);
        return sequencer.LastEnd();
    }

    std::unique_ptr<CPtyBootLoader> loader = StartController();
    CMSComm comm;
    CSettingsOverride port{comm};
    CMemoryHost host;
    CEventLoopTimer wakeUpTimer{false, [this] { sequencer.OnTimer(); }};
    CEventLoopTimer replyTimer{true, [this] { sequencer.OnReplyTimeout(); }};
    CDownloadSequencer sequencer{
        DownloadHost{port, host.log, host.progress, host.buttons, wakeUpTimer, replyTimer}};
};

// At other settings the wake-up bytes reach the controller as noise: the user sees only the
// prompt, as with a controller never reset. Stopped and started again, the line is set right.
TEST_F(WiredSequencer, AtOtherSettingsTheControllerNeverAnswersUntilTheLineIsSetRight) {
    const CTempImage image(1500);
    port.forced = "9600,n,8,1";
    Start(image.path);
    ASSERT_TRUE(PumpUntil([&] { return loader->BytesAtWrongSettings() >= 5; }));
    EXPECT_EQ(loader->LineSettings(), "9600,n,8,1");
    EXPECT_TRUE(sequencer.IsDownloading());
    EXPECT_EQ(host.log.text, kPromptLine);
    EXPECT_EQ(loader->WakeUpBytes(), 0);
    EXPECT_TRUE(loader->Commands().empty());

    port.forced.clear();
    sequencer.OnStartDownload();  // stops
    sequencer.OnStartDownload();  // opens the line afresh
    EXPECT_EQ(loader->LineSettings(), "115200,n,8,1");
    ASSERT_EQ(RunUntilEnd(), DownloadEnd::Success) << host.log.text;
    EXPECT_EQ(loader->ReadFlash(0x81000000, 2048), image.Flashed());
}

// A file chosen while the tool waits for the controller does not change that download; the next
// Start Download takes it.
TEST_F(WiredSequencer, AFileChosenWhileWaitingIsTakenByTheNextDownloadOnly) {
    const CTempImage first(1500, 1), second(3000, 2);
    EmulatorOptions options;
    options.resetDelayMs = 300;
    loader = StartController(options);
    Start(first.path);
    sequencer.SetFilePath(second.path);
    ASSERT_EQ(RunUntilEnd(), DownloadEnd::Success) << host.log.text;
    EXPECT_GT(loader->WakeUpBytes(), 1);
    EXPECT_EQ(loader->ReadFlash(0x81000000, 2048), first.Flashed());
    sequencer.OnStartDownload();
    ASSERT_EQ(RunUntilEnd(), DownloadEnd::Success) << host.log.text;
    EXPECT_EQ(loader->ReadFlash(0x81000000, 3072), second.Flashed());
    EXPECT_EQ(loader->Blocks().size(), 5u);
}

}  // namespace
