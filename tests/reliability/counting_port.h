// A serial port that passes everything on to the real one and counts the bytes the sequencer
// hands it, so a test can tell that nothing at all was written after a download ended, even
// to a line that is gone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "download_host.h"

namespace rel {

class CCountingPort : public ICommPort {
public:
    explicit CCountingPort(ICommPort& port) : m_port(port) {}

    std::size_t BytesWritten() const { return m_nBytesWritten; }

    void SetCommPort(const std::string& portName) override { m_port.SetCommPort(portName); }
    void SetSettings(const std::string& settings) override { m_port.SetSettings(settings); }
    void SetRThreshold(short threshold) override { m_port.SetRThreshold(threshold); }
    void SetInputMode(long mode) override { m_port.SetInputMode(mode); }
    void SetInputLen(short length) override { m_port.SetInputLen(length); }
    void SetOutBufferSize(short size) override { m_port.SetOutBufferSize(size); }
    bool GetPortOpen() const override { return m_port.GetPortOpen(); }
    bool SetPortOpen(bool open) override { return m_port.SetPortOpen(open); }
    std::string GetLastErrorText() const override { return m_port.GetLastErrorText(); }
    short GetCommEvent() const override { return m_port.GetCommEvent(); }
    std::vector<std::uint8_t> GetInput() override { return m_port.GetInput(); }
    void SetOutput(const std::uint8_t* data, std::size_t size) override {
        m_nBytesWritten += size;
        m_port.SetOutput(data, size);
    }

private:
    ICommPort& m_port;
    std::size_t m_nBytesWritten = 0;
};

}  // namespace rel
