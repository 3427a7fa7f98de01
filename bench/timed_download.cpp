// The timed download: CMSComm behind a thin meter, the event-loop timers and the sequencer, with
// the log box, progress bar and buttons reduced to what the figures need.
#include "timed_download.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include "bench_clock.h"
#include "event_loop_timer.h"
#include "mscomm.h"

namespace bench {

namespace {

// The progress position of the first block in RAM: the erase phase uses positions up to 20.
constexpr int kFirstBlockPosition = 21;

// Forwards everything to the serial control, counting bytes and noting the first write.
class CMeteredPort : public ICommPort {
public:
    explicit CMeteredPort(CMSComm& comm) : m_comm(comm) {}

    void SetCommPort(const std::string& name) override { m_comm.SetCommPort(name); }
    void SetSettings(const std::string& settings) override { m_comm.SetSettings(settings); }
    void SetRThreshold(short threshold) override { m_comm.SetRThreshold(threshold); }
    void SetInputMode(long mode) override { m_comm.SetInputMode(mode); }
    void SetInputLen(short length) override { m_comm.SetInputLen(length); }
    void SetOutBufferSize(short size) override { m_comm.SetOutBufferSize(size); }
    bool GetPortOpen() const override { return m_comm.GetPortOpen(); }
    bool SetPortOpen(bool open) override { return m_comm.SetPortOpen(open); }
    std::string GetLastErrorText() const override { return m_comm.GetLastErrorText(); }
    short GetCommEvent() const override { return m_comm.GetCommEvent(); }
    std::vector<std::uint8_t> GetInput() override {
        std::vector<std::uint8_t> input = m_comm.GetInput();
        m_bytesIn += static_cast<long long>(input.size());
        ++m_reads;
        return input;
    }
    void SetOutput(const std::uint8_t* data, std::size_t size) override {
        if (m_firstWriteNs == 0) {
            m_firstWriteNs = MonotonicNs();
        }
        m_bytesOut += static_cast<long long>(size);
        m_comm.SetOutput(data, size);
    }

    std::int64_t FirstWriteNs() const { return m_firstWriteNs; }
    long long BytesOut() const { return m_bytesOut; }
    long long BytesIn() const { return m_bytesIn; }
    long Reads() const { return m_reads; }

private:
    CMSComm& m_comm;
    std::int64_t m_firstWriteNs = 0;
    long long m_bytesOut = 0;
    long long m_bytesIn = 0;
    long m_reads = 0;
};

// The window's side of the download, keeping only what the figures need.
class CBenchWindow : public IDownloadLog, public IProgress, public IButtons {
public:
    void Clear() override { m_log.clear(); }
    void AppendLine(const std::string& line) override { m_log += line; }
    void ShowPortError(const std::string& message) override { m_log += message + "\r\n"; }
    void SetRange(int, int) override {}
    int SetPos(int pos) override {
        if (pos == kFirstBlockPosition && m_pos < kFirstBlockPosition) {
            m_dataPhaseCpu = CpuNow();
        }
        const int old = m_pos;
        m_pos = pos;
        return old;
    }
    void EnableStart(bool) override {}
    void EnableOpen(bool) override {}

    const std::string& Log() const { return m_log; }
    const CpuTime& DataPhaseStartCpu() const { return m_dataPhaseCpu; }
    int Pos() const { return m_pos; }

private:
    std::string m_log;
    int m_pos = 0;
    CpuTime m_dataPhaseCpu;
};

}  // namespace

DownloadFigures RunTimedDownload(const std::string& port, const std::string& imagePath,
                                 int hangGuardMs) {
    CMSComm comm;
    CMeteredPort meter(comm);
    CBenchWindow window;
    CDownloadSequencer* sequencer = nullptr;
    CEventLoopTimer wakeUpTimer(false, [&sequencer] { sequencer->OnTimer(); });
    CEventLoopTimer replyTimer(true, [&sequencer] { sequencer->OnReplyTimeout(); });
    CDownloadSequencer download(
        DownloadHost{meter, window, window, window, wakeUpTimer, replyTimer});
    sequencer = &download;
    QObject::connect(&comm, &CMSComm::OnComm, &comm, [&download] { download.OnCommEvent(); });

    QEventLoop loop;
    bool ended = false;
    std::int64_t endNs = 0;
    CpuTime endCpu;
    download.SetEndCallback([&](DownloadEnd) {
        endNs = MonotonicNs();
        endCpu = CpuNow();
        ended = true;
        loop.quit();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);

    download.OnSelchangePortCombo(0, port);
    download.SetFilePath(imagePath);
    const CpuTime startCpu = CpuNow();
    const std::int64_t startNs = MonotonicNs();
    download.OnStartDownload();
    if (!ended) {
        guard.start(hangGuardMs);
        loop.exec();
    }
    download.SetEndCallback(nullptr);

    DownloadFigures figures;
    figures.end = ended ? download.LastEnd() : DownloadEnd::None;
    figures.log = window.Log();
    if (!ended) {
        endNs = MonotonicNs();
        endCpu = CpuNow();
    }
    figures.startToEndSeconds = static_cast<double>(endNs - startNs) * 1e-9;
    if (meter.FirstWriteNs() != 0) {
        figures.wireToEndSeconds = static_cast<double>(endNs - meter.FirstWriteNs()) * 1e-9;
    }
    figures.bytesOut = meter.BytesOut();
    figures.bytesIn = meter.BytesIn();
    figures.receiveEvents = meter.Reads();
    figures.blocks = download.BlocksSent();
    figures.cpu = endCpu - startCpu;
    if (window.Pos() >= kFirstBlockPosition) {
        figures.dataPhaseCpu = endCpu - window.DataPhaseStartCpu();
        // What follows the first block's ":RB_OK#" is at most the rest of that block, the
        // other blocks whole and the quit: dividing by one block fewer errs on the high side.
        figures.dataPhaseBlocks = figures.blocks > 1 ? figures.blocks - 1 : figures.blocks;
    }
    return figures;
}

}  // namespace bench
