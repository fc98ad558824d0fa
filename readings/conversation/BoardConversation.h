// SPDX-License-Identifier: MIT
#pragma once

#include "Clock.h"
#include "PortLink.h"
#include "Replies.h"

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

namespace calimbra {

enum class ConversationFailure {
    PortUnavailable, // the port could not be opened, or a request could not be written
    LineLost,        // the line failed while a reply was awaited
    NoReply,         // nothing recognisable arrived in time
};

// Asks the board one question at a time and waits for its answer, or for the time-out. It sends
// with the panel's own sequence, so the board gets the same bytes; what it adds is the waiting,
// and a reading of replies that takes everything up to the line's quiet gap and checks the sensor a
// reply names. Whatever arrives is read at once, awaited or not, so that noise never piles up in
// the port. Every outcome is signalled from the event loop, never from inside an ask call.
class BoardConversation : public QObject
{
    Q_OBJECT

public:
    // A DS18B20 takes up to 750 ms to convert at 12 bits, and the board answers only then.
    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    explicit BoardConversation(PortLink& port, Clock& clock = Clock::system(), QObject* parent = nullptr);
    ~BoardConversation() override;

    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    [[nodiscard]] std::chrono::milliseconds timeout() const { return timeout_; }
    [[nodiscard]] bool isBusy() const { return awaiting_.has_value() || pending_; }

    // Each call needs the previous outcome first; a call while busy is a programming error.
    void askSensorCount();
    void askTemperature(int sensor);
    // The board does not answer an LED command: it is done once the bytes are out.
    void sendLedCommand();

signals:
    void countReceived(const calimbra::CountAnswer& answer);
    void temperatureReceived(const calimbra::TemperatureAnswer& answer);
    void ledCommandSent();
    void failed(calimbra::ConversationFailure failure, const QString& message);
    // A reply that names another sensor than the one asked (an answer given up on earlier) was
    // dropped; the wait goes on.
    void lateReplyDropped(int askedSensor, const QString& reply);

private:
    enum class Awaiting { Count, Temperature };

    void send(std::optional<Awaiting> awaiting, const QByteArray& request, bool ledCommand);
    void onArrived();
    // Reads all the port holds, handing `take` each piece as splitReplies would cut it.
    template <typename Take>
    void drain(Take&& take);
    void onLineFailed(const QString& message);
    void onTimeout();
    void finish();
    template <typename Emit>
    void later(Emit emitter);

    PortLink& port_;
    std::chrono::milliseconds timeout_ = kDefaultTimeout;
    std::optional<Awaiting> awaiting_;
    int sensor_ = 0;
    bool pending_ = false; // an outcome is queued for the event loop
    std::unique_ptr<Deadline> deadline_;
};

} // namespace calimbra

Q_DECLARE_METATYPE(calimbra::CountAnswer)
Q_DECLARE_METATYPE(calimbra::TemperatureAnswer)
