// The serial control the download talks through: the control's properties and its OnComm event
// over a QSerialPort, on the thread that owns the object.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "download_host.h"

class CMSComm : public QObject, public ICommPort {
    Q_OBJECT

public:
    explicit CMSComm(QObject* parent = nullptr);
    ~CMSComm() override;

    void SetCommPort(const std::string& portName) override;
    void SetSettings(const std::string& settings) override;
    void SetRThreshold(short threshold) override;
    void SetInputMode(long mode) override;
    void SetInputLen(short length) override;
    void SetOutBufferSize(short size) override;
    bool GetPortOpen() const override;
    bool SetPortOpen(bool open) override;
    std::string GetLastErrorText() const override;
    short GetCommEvent() const override;
    std::vector<std::uint8_t> GetInput() override;
    void SetOutput(const std::uint8_t* data, std::size_t size) override;
    // Bytes received and not yet read; never more than the input buffer holds (1024).
    std::size_t GetInBufferCount() const;

signals:
    // kComEvReceive when at least RThreshold bytes wait; kComEvLineLost once when the line goes.
    void OnComm();

private:
    enum class State { Closed, Opening, Open, Lost };

    bool OpenPort();
    // Closes the port if open, putting back what opening changed on the device.
    void ClosePort();
    bool RefuseOpen(std::string message);
    // Bytes written to the driver without queueing; 0 where that is not possible.
    std::size_t WriteStraightToDriver(const std::uint8_t* data, std::size_t size);
    void HandleReadyRead();
    void HandleError(QSerialPort::SerialPortError error);
    void FinishLineLoss();

    // The control's defaults until the owner sets its own.
    std::string m_strPortName = "COM1";
    std::string m_strSettings = "9600,n,8,1";
    short m_nRThreshold = 0;  // 0: no receive events
    long m_nInputMode = 0;
    short m_nInputLen = 0;  // 0: a read takes everything
    short m_nOutBufferSize = 512;
    short m_nCommEvent = 0;
    State m_state = State::Closed;
    bool m_bLowLatencySet = false;  // opening set the adapter's low-latency flag
    std::string m_strLastError;
    QSerialPort m_port{this};
};
