// SPDX-License-Identifier: MIT
#pragma once

#include "ComPortSettings.h"
#include "PortLink.h"
#include "PortLock.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <chrono>
#include <optional>

// The panel's serial port: opened on demand, its settings changed for this run only, and its
// received-characters notification raised on the GUI thread once a reply has arrived whole.
class TComPort : public calimbra::PortLink
{
    Q_OBJECT
    Q_PROPERTY(QString portName READ portName WRITE setPortName)
    Q_PROPERTY(qint32 baudRate READ baudRate WRITE setBaudRate)
    Q_PROPERTY(QSerialPort::DataBits dataBits READ dataBits WRITE setDataBits)
    Q_PROPERTY(QSerialPort::Parity parity READ parity WRITE setParity)
    Q_PROPERTY(QSerialPort::StopBits stopBits READ stopBits WRITE setStopBits)
    Q_PROPERTY(QSerialPort::FlowControl flowControl READ flowControl WRITE setFlowControl)
    Q_PROPERTY(bool open READ isOpen NOTIFY openChanged)

public:
    // Drivers and USB adapters hand a reply over in pieces (one readyRead per byte at 9600 baud, FTDI
    // chips hold bytes up to 16 ms), so arrivals are reported once the line has been quiet this long...
    static constexpr std::chrono::milliseconds kQuietGap{25};
    // ...or at the latest this long after the first unreported byte, so that a line that never pauses
    // is still consumed and cannot starve the window.
    static constexpr std::chrono::milliseconds kLongestReportDelay{250};
    // Bytes held between two reports; beyond this the kernel holds them or the driver drops them.
    static constexpr qint64 kReadBufferLimit = 64 * 1024;
    // How long a write may wait in all for the device to take its bytes (flow control can stop it);
    // the window does not answer meanwhile, and a request to the board is a few bytes.
    static constexpr std::chrono::milliseconds kWriteTimeout{2000};
    // A line that fails this soon after opening is more likely shared with another program than
    // unplugged.
    static constexpr std::chrono::milliseconds kFreshOpen{1000};

    explicit TComPort(QObject* parent = nullptr);
    ~TComPort() override;
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    [[nodiscard]] calimbra::ComPortSettings settings() const { return settings_; }
    // Takes effect at once: an open port is closed and opened again with the new settings.
    void setSettings(const calimbra::ComPortSettings& settings);

    [[nodiscard]] QString portName() const { return settings_.portName; }
    void setPortName(const QString& name);
    [[nodiscard]] qint32 baudRate() const { return settings_.baudRate; }
    void setBaudRate(qint32 baudRate);
    [[nodiscard]] QSerialPort::DataBits dataBits() const { return settings_.dataBits; }
    void setDataBits(QSerialPort::DataBits dataBits);
    [[nodiscard]] QSerialPort::Parity parity() const { return settings_.parity; }
    void setParity(QSerialPort::Parity parity);
    [[nodiscard]] QSerialPort::StopBits stopBits() const { return settings_.stopBits; }
    void setStopBits(QSerialPort::StopBits stopBits);
    [[nodiscard]] QSerialPort::FlowControl flowControl() const { return settings_.flowControl; }
    void setFlowControl(QSerialPort::FlowControl flowControl);

    [[nodiscard]] bool isOpen() const { return port_.isOpen(); }
    // The device path the port name stands for.
    [[nodiscard]] QString systemLocation() const;

    void Open() override;
    void Close() override;
    void ClearBuffer(bool input, bool output) override;
    [[nodiscard]] qint64 InputCount() override;
    qint64 Read(std::span<char> into) override;
    qint64 Write(QByteArrayView bytes) override;

signals:
    // Received characters: raised once a reply has arrived, with the number of bytes waiting.
    void RxChar(QObject* sender, int count);
    void openChanged(bool open);

private:
    template <typename T>
    void change(T calimbra::ComPortSettings::*setting, const T& value)
    {
        auto changed = settings_;
        changed.*setting = value;
        setSettings(changed);
    }

    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void reportArrival();
    void stopReporting();
    void holdModemLinesLow();
    // Bytes the driver holds that have not left yet.
    [[nodiscard]] int queuedOutput() const;
    // True when everything left; false when the deadline came first.
    [[nodiscard]] bool drainOutput(std::chrono::steady_clock::time_point deadline);
    [[noreturn]] void failWrite(std::chrono::steady_clock::time_point started, qint64 requestSize,
                                qint64 queuedBefore);
    void requireOpen() const;
    void throwIfLineFailed();
    void refuseLockedPort(const QString& path);
    [[nodiscard]] std::chrono::microseconds characterTime() const;
    [[nodiscard]] QString label() const;

    QSerialPort port_;
    calimbra::ComPortSettings settings_;
    QTimer reportTimer_;
    QElapsedTimer unreportedSince_;
    QElapsedTimer openedAt_;
    calimbra::OwnPortLock ownLock_;
    // Set while Write or ClearBuffer runs: a line failure inside them is thrown by the call itself.
    bool inOperation_ = false;
    std::optional<QString> operationFailure_;
};
