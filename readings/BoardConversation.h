// SPDX-License-Identifier: MIT
#pragma once

#include "PortLink.h"
#include "Protocol.h"

#include <QObject>
#include <QTimer>

#include <chrono>

namespace calimbra {

enum class ConversationFailure {
    PortUnavailable, // the port could not be opened, or a request could not be written
    LineLost,        // the line failed while a reply was awaited
    NoReply,         // nothing recognisable arrived in time
};

// Asks the board one question at a time and waits for its answer, or for the time-out. It sends
// with the panel's own sequence and judges replies with the panel's receive step; what it adds is
// the waiting. Every outcome is signalled from the event loop, never from inside an ask call.
class BoardConversation : public QObject
{
    Q_OBJECT

public:
    // A DS18B20 takes up to 750 ms to convert at 12 bits, and the board answers only then.
    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    explicit BoardConversation(PortLink& port, QObject* parent = nullptr);

    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    [[nodiscard]] std::chrono::milliseconds timeout() const { return timeout_; }
    [[nodiscard]] bool isBusy() const { return awaiting_.has_value() || pending_; }

    // Each call needs the previous outcome first; a call while busy is a programming error.
    void askSensorCount();
    void askTemperature(int sensor);
    // The board does not answer an LED command: it is done once the bytes are out.
    void sendLedCommand();

signals:
    void sensorCountReceived(const calimbra::SensorCountReply& reply);
    void temperatureReceived(int sensor, const QString& text);
    void ledCommandSent();
    void failed(calimbra::ConversationFailure failure, const QString& message);

private:
    void send(RequestKind kind, const QByteArray& request);
    void onRxChar();
    void onLineFailed(const QString& message);
    void onTimeout();
    void finish();
    template <typename Emit>
    void later(Emit emitter);

    PortLink& port_;
    std::chrono::milliseconds timeout_ = kDefaultTimeout;
    std::optional<RequestKind> awaiting_;
    int sensor_ = 0;
    bool pending_ = false; // an outcome is queued for the event loop
    QTimer timer_;
};

} // namespace calimbra

Q_DECLARE_METATYPE(calimbra::SensorCountReply)
