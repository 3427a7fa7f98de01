// An in-memory stand-in for everything the download sequencer talks to: it records what goes on
// the wire, in the log box, on the progress bar and the buttons, and lets a test play the boot
// loader by queueing receive events by hand.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "download_host.h"

class CMemoryPort : public ICommPort {
public:
    // The line settings only matter on a real line.
    void SetCommPort(const std::string& /*portName*/) override {}
    void SetSettings(const std::string& /*settings*/) override {}
    void SetRThreshold(short /*threshold*/) override {}
    void SetInputMode(long /*mode*/) override {}
    void SetInputLen(short /*length*/) override {}
    void SetOutBufferSize(short /*size*/) override {}
    bool GetPortOpen() const override { return open; }
    bool SetPortOpen(bool value) override {
        if (value && refuseOpen) {
            return false;
        }
        open = value;
        if (value) {
            input.clear();
        }
        return true;
    }
    std::string GetLastErrorText() const override { return errorText; }
    short GetCommEvent() const override { return event; }
    std::vector<std::uint8_t> GetInput() override {
        ++reads;
        return std::exchange(input, {});
    }
    void SetOutput(const std::uint8_t* data, std::size_t size) override {
        lastWrite.assign(data, data + size);
        wire.insert(wire.end(), data, data + size);
    }

    std::string errorText;
    short event = 0;
    bool open = false, refuseOpen = false;
    int reads = 0;
    std::vector<std::uint8_t> input;      // waiting to be read
    std::vector<std::uint8_t> lastWrite;  // the last SetOutput call
    std::vector<std::uint8_t> wire;       // everything written, in order
};

class CMemoryLog : public IDownloadLog {
public:
    void Clear() override { text.clear(); }
    void AppendLine(const std::string& line) override { text += line; }
    void ShowPortError(const std::string& message) override { portErrors.push_back(message); }
    std::string text;
    std::vector<std::string> portErrors;
};

class CMemoryProgress : public IProgress {
public:
    void SetRange(int /*lower*/, int /*upper*/) override {}
    int SetPos(int pos) override { return std::exchange(position, pos); }
    int position = 0;
};

class CMemoryButtons : public IButtons {
public:
    void EnableStart(bool enable) override { start = enable; }
    void EnableOpen(bool enable) override { open = enable; }
    bool start = true, open = true;
};

class CMemoryTimer : public ITimer {
public:
    void Start(int intervalMs) override {
        active = true;
        interval = intervalMs;
        ++starts;
    }
    void Stop() override { active = false; }
    bool IsActive() const override { return active; }
    bool active = false;
    int interval = 0, starts = 0;
};

// All of the above, wired as a DownloadHost.
struct CMemoryHost {
    CMemoryPort port;
    CMemoryLog log;
    CMemoryProgress progress;
    CMemoryButtons buttons;
    CMemoryTimer wakeUpTimer;
    CMemoryTimer replyTimer;
    DownloadHost Host() { return {port, log, progress, buttons, wakeUpTimer, replyTimer}; }
};
