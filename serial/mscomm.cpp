// The serial control the download talks through, over a QSerialPort.
#include "mscomm.h"

#include <utility>

#include "line_settings.h"
#include "port_device.h"
#include "port_errors.h"
#include "port_names.h"

#if defined(Q_OS_UNIX)
#include <unistd.h>

#include <cerrno>
#endif

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {

// The serial control's own input buffer holds this much; what arrives beyond it while nobody
// reads is held back by the driver and dropped by the next opening, so a line that keeps
// sending after a download has ended cannot grow the program's memory.
constexpr qint64 kInBufferSize = 1024;

// USB serial adapters hold received bytes back for their latency timer (16 ms by default) unless
// the driver runs in low-latency mode, which would slow every reply of the conversation.
// Pseudo-terminals and some drivers refuse the request; the line works without it. Returns
// whether the flag was set here, so that closing can put it back.
bool RequestLowLatency([[maybe_unused]] QSerialPort& port) {
#if defined(__linux__)
    const int fd = port.handle();
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) == 0 && (info.flags & ASYNC_LOW_LATENCY) == 0) {
        info.flags |= ASYNC_LOW_LATENCY;
        return ::ioctl(fd, TIOCSSERIAL, &info) == 0;
    }
#endif
    return false;
}

// The flag stays with the device after the program ends; other programs expect it as it was.
void RestoreLowLatency([[maybe_unused]] QSerialPort& port) {
#if defined(__linux__)
    const int fd = port.handle();
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) == 0 && (info.flags & ASYNC_LOW_LATENCY) != 0) {
        info.flags &= ~ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &info);
    }
#endif
}

bool ApplyLineSettings(QSerialPort& port, const LineSettings& settings) {
    return port.setBaudRate(settings.baudRate) && port.setDataBits(settings.dataBits) &&
           port.setParity(settings.parity) && port.setStopBits(settings.stopBits) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

}  // namespace

CMSComm::CMSComm(QObject* parent) : QObject(parent) {
    m_port.setReadBufferSize(kInBufferSize);
    connect(&m_port, &QSerialPort::readyRead, this, &CMSComm::HandleReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &CMSComm::HandleError);
}

CMSComm::~CMSComm() {
    // Closing a hung-up port reports errors; they must not reach a half-destroyed object.
    m_port.disconnect(this);
    ClosePort();
}

void CMSComm::SetCommPort(const std::string& portName) {
    m_strPortName = portName;
}

void CMSComm::SetSettings(const std::string& settings) {
    m_strSettings = settings;
}

void CMSComm::SetRThreshold(short threshold) {
    m_nRThreshold = threshold;
}

void CMSComm::SetInputMode(long mode) {
    // Reads return bytes in either mode: text and binary input differ only in the variant type.
    m_nInputMode = mode;
}

void CMSComm::SetInputLen(short length) {
    m_nInputLen = length;
}

void CMSComm::SetOutBufferSize(short size) {
    // QSerialPort's write buffer grows as needed, so the size is only kept.
    m_nOutBufferSize = size;
}

bool CMSComm::GetPortOpen() const {
    return m_state == State::Open;
}

bool CMSComm::SetPortOpen(bool open) {
    if (open) {
        return m_state == State::Open || OpenPort();
    }
    // Set first: closing a hung-up line reports errors that are not a new loss.
    m_state = State::Closed;
    ClosePort();
    m_port.clearError();
    return true;
}

std::size_t CMSComm::GetInBufferCount() const {
    return m_state == State::Open ? static_cast<std::size_t>(m_port.bytesAvailable()) : 0;
}

void CMSComm::ClosePort() {
    if (!m_port.isOpen()) {
        return;
    }
    if (m_bLowLatencySet) {
        RestoreLowLatency(m_port);
        m_bLowLatencySet = false;
    }
    m_port.close();
}

std::string CMSComm::GetLastErrorText() const {
    return m_strLastError;
}

short CMSComm::GetCommEvent() const {
    return m_nCommEvent;
}

std::vector<std::uint8_t> CMSComm::GetInput() {
    if (m_state != State::Open) {
        return {};
    }
    const QByteArray bytes = m_nInputLen > 0 ? m_port.read(m_nInputLen) : m_port.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void CMSComm::SetOutput(const std::uint8_t* data, std::size_t size) {
    if (m_state != State::Open || size == 0) {
        return;
    }
    const std::size_t written = WriteStraightToDriver(data, size);
    if (written == size) {
        return;
    }
    // What the driver did not take waits in QSerialPort's write buffer and goes out from the
    // event loop; a failure shows up as an error and so as a lost line.
    m_port.write(reinterpret_cast<const char*>(data + written),
                 static_cast<qint64>(size - written));
}

std::size_t CMSComm::WriteStraightToDriver([[maybe_unused]] const std::uint8_t* data,
                                           [[maybe_unused]] std::size_t size) {
#if defined(Q_OS_UNIX)
    // QSerialPort queues every write and switches its write notifier on and off for it, which
    // costs a pass of the event loop and several system calls per command. While nothing waits
    // in its buffer, order is kept by handing the bytes to the (non-blocking) descriptor at once.
    if (m_port.bytesToWrite() != 0) {
        return 0;
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(m_port.handle(), data + written, size - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // full (EAGAIN) or failing: QSerialPort takes the rest and reports errors
        }
    }
    return written;
#else
    return 0;
#endif
}

bool CMSComm::OpenPort() {
    // A lost line whose close is still queued is closed here, before it is opened afresh.
    if (m_port.isOpen()) {
        m_state = State::Closed;
        ClosePort();
    }
    m_port.clearError();
    m_strLastError.clear();

    const std::optional<LineSettings> settings = ParseLineSettings(m_strSettings);
    if (!settings) {
        return RefuseOpen(InvalidSettingsText(m_strPortName, m_strSettings));
    }
    // The real device, not the name it was reached by: QSerialPort locks the port under the
    // name it opens, and a second name (a symbolic link, /dev/serial/by-id/...) must meet the
    // same lock.
    const std::string device = RealDevicePath(LookedUpDevicePath(ResolvePortName(m_strPortName)));
    if (IsOwnTerminal(device)) {
        return RefuseOpen(
            PortOpenErrorText(m_strPortName, device, PortOpenFailure::OwnTerminal, std::string()));
    }
    m_port.setPortName(QString::fromStdString(device));
    // Errors reported while opening belong to the open, not to a line that was lost.
    m_state = State::Opening;
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const std::string reason = m_port.errorString().toStdString();
        const PortOpenFailure failure = ClassifyOpenFailure(error, IsDeviceAccessible(device));
        return RefuseOpen(
            PortOpenErrorText(m_strPortName, device, failure, reason, DeviceOwnerOf(device)));
    }
    if (!ApplyLineSettings(m_port, *settings)) {
        const std::string reason = "the line settings \"" + m_strSettings +
                                   "\" are not supported: " + m_port.errorString().toStdString();
        m_port.close();
        return RefuseOpen(PortOpenErrorText(m_strPortName, device, PortOpenFailure::Other, reason));
    }
#if defined(_WIN32)
    // On Windows, setting the buffer size on an open port starts QSerialPort's first read;
    // without that kick no reply reached the program under Wine (the 0xAA wake-up went out,
    // ":OK#" came back and was never read).
    m_port.setReadBufferSize(kInBufferSize);
#endif
    m_bLowLatencySet = RequestLowLatency(m_port);
    // Bytes that waited before the port was opened (a boot loader's earlier answers, line noise
    // from plugging in) would be taken for the reply to the first command.
    m_port.clear();
    m_port.clearError();
    m_nCommEvent = 0;
    m_state = State::Open;
    return true;
}

bool CMSComm::RefuseOpen(std::string message) {
    m_state = State::Closed;
    m_port.clearError();
    m_strLastError = std::move(message);
    return false;
}

void CMSComm::HandleReadyRead() {
    if (m_state != State::Open || m_nRThreshold <= 0 || m_port.bytesAvailable() < m_nRThreshold) {
        return;
    }
    m_nCommEvent = kComEvReceive;
    emit OnComm();
}

void CMSComm::HandleError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError ||
        m_state != State::Open) {
        return;
    }
    // A hung-up line reports the same error over and over: only the first one counts.
    m_state = State::Lost;
    std::string reason = LineLossReason(error);
    if (reason.empty()) {
        reason = m_port.errorString().toStdString();
    }
    m_strLastError = LineLostText(m_strPortName, reason);
    // QSerialPort is still inside its own read or write handler here; closing it under that
    // handler's feet is not safe, so the close follows as the next event.
    QMetaObject::invokeMethod(this, &CMSComm::FinishLineLoss, Qt::QueuedConnection);
}

void CMSComm::FinishLineLoss() {
    if (m_state != State::Lost) {
        return;  // the port was closed or opened again in the meantime
    }
    m_state = State::Closed;
    ClosePort();
    m_port.clearError();
    m_nCommEvent = kComEvLineLost;
    emit OnComm();
}
