// The small interfaces through which the download sequencer reaches the port, the log box,
// the progress bar, the buttons and the timers; the dialog and flashdl each implement them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Event codes of the serial control's receive event.
constexpr short kComEvReceive = 2;  // bytes are waiting
// Raised once when the line is lost (adapter unplugged, line hung up); the port is closed by then.
constexpr short kComEvLineLost = 1099;

// What the sequencer needs of the serial control, named after the control's properties.
class ICommPort {
public:
    virtual ~ICommPort() = default;

    // The port to open next: "COM3", "/dev/ttyUSB0", "/dev/pts/7", ...
    virtual void SetCommPort(const std::string& portName) = 0;
    virtual void SetSettings(const std::string& settings) = 0;  // "115200,n,8,1"
    virtual void SetRThreshold(short threshold) = 0;
    virtual void SetInputMode(long mode) = 0;    // 1: reads return bytes
    virtual void SetInputLen(short length) = 0;  // 0: a read takes every waiting byte
    virtual void SetOutBufferSize(short size) = 0;
    virtual bool GetPortOpen() const = 0;
    // Opening may be refused: then it returns false and GetLastErrorText() tells why, with the fix
    // where one is known. Opening also discards stale input, so it is never taken for a reply.
    virtual bool SetPortOpen(bool open) = 0;
    virtual std::string GetLastErrorText() const = 0;
    virtual short GetCommEvent() const = 0;
    virtual std::vector<std::uint8_t> GetInput() = 0;  // every waiting byte, in one read
    // Written unchanged: 8-bit, nothing added; nothing waits for the bytes to leave.
    virtual void SetOutput(const std::uint8_t* data, std::size_t size) = 0;
};

// The log box: every status line ends in "\r\n".
class IDownloadLog {
public:
    virtual ~IDownloadLog() = default;
    virtual void Clear() = 0;
    virtual void AppendLine(const std::string& line) = 0;
    // A port that cannot be opened is told outside the log box (a message box in the window).
    virtual void ShowPortError(const std::string& message) = 0;
};

class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void SetRange(int lower, int upper) = 0;
    virtual int SetPos(int pos) = 0;  // returns the old position
};

class IButtons {
public:
    virtual ~IButtons() = default;
    virtual void EnableStart(bool enable) = 0;
    virtual void EnableOpen(bool enable) = 0;
};

// A single-shot or periodic timer of the user-interface thread; its expiry calls back into the
// sequencer (OnTimer for the wake-up timer, OnReplyTimeout for the reply timer).
class ITimer {
public:
    virtual ~ITimer() = default;
    virtual void Start(int intervalMs) = 0;  // restarts when already running
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};

// Everything the sequencer talks to, handed over at construction; all must outlive it.
struct DownloadHost {
    ICommPort& port;
    IDownloadLog& log;
    IProgress& progress;
    IButtons& buttons;
    ITimer& wakeUpTimer;  // periodic, 100 ms
    ITimer& replyTimer;   // single-shot: a command that gets no reply ends the download
};
