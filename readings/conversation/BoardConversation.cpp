// SPDX-License-Identifier: MIT
#include "BoardConversation.h"

#include "ComError.h"
#include "Protocol.h"

#include <array>
#include <cassert>

namespace calimbra {

BoardConversation::BoardConversation(PortLink& port, Clock& clock, QObject* parent)
    : QObject(parent), port_(port), deadline_(clock.deadline([this] { onTimeout(); }))
{
    connect(&port_, &PortLink::arrived, this, &BoardConversation::onArrived);
    connect(&port_, &PortLink::lineFailed, this, &BoardConversation::onLineFailed);
}

BoardConversation::~BoardConversation() = default;

template <typename Emit>
void BoardConversation::later(Emit emitter)
{
    pending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, emitter] {
            pending_ = false;
            emitter();
        },
        Qt::QueuedConnection);
}

void BoardConversation::askSensorCount()
{
    send(Awaiting::Count, informationRequest(), false);
}

void BoardConversation::askTemperature(int sensor)
{
    sensor_ = sensor;
    send(Awaiting::Temperature, measurementRequest(QString::number(sensor)), false);
}

void BoardConversation::sendLedCommand()
{
    send(std::nullopt, ledCommand(), true);
}

void BoardConversation::send(std::optional<Awaiting> awaiting, const QByteArray& request, bool ledCommand)
{
    assert(!isBusy());
    try {
        // Read out, not only cleared by the request: a port whose buffer filled stops taking bytes
        // from the line until it is read from, and a clear alone would leave it deaf for good.
        drain([](const QByteArray&, bool) {});
        sendRequest(port_,
                    ledCommand                    ? RequestKind::LedCommand
                    : awaiting == Awaiting::Count ? RequestKind::Information
                                                  : RequestKind::Measurement,
                    request);
    } catch (const Error& error) {
        port_.Close();
        const QString message = error.message();
        later([this, message] { emit failed(ConversationFailure::PortUnavailable, message); });
        return;
    }
    if (ledCommand) {
        later([this] { emit ledCommandSent(); });
        return;
    }
    awaiting_ = awaiting;
    deadline_->start(timeout_);
}

template <typename Take>
void BoardConversation::drain(Take&& take)
{
    ReplySplitter splitter;
    std::array<char, 4096> chunk{};
    for (qint64 waiting = port_.InputCount(); waiting > 0; waiting = port_.InputCount()) {
        const qint64 read = port_.Read(std::span<char>(
            chunk.data(),
            static_cast<std::size_t>(std::min<qint64>(waiting, static_cast<qint64>(chunk.size())))));
        if (read <= 0)
            break;
        splitter.feed(QByteArrayView(chunk.data(), read), take);
    }
    splitter.finish(take);
}

void BoardConversation::onArrived()
{
    // Everything waiting is read now, awaited or not: bytes left in the port would fill its buffer
    // until it stopped reading the line at all. The pieces are judged as they are read, so that a
    // reply is found wherever it is in a burst of any size; what they lead to is said once all is read.
    std::optional<CountAnswer> count;
    std::optional<TemperatureAnswer> temperature;
    QStringList late;
    const auto judge = [&](const QByteArray& reply, bool cut) {
        if (!awaiting_ || count || temperature)
            return;
        if (*awaiting_ == Awaiting::Count) {
            count = judgeCount(reply); // noise, or a late temperature reply: the wait goes on
            return;
        }
        if (!isTemperatureReply(reply))
            return;
        if (const auto named = namedSensor(reply); named && *named != sensor_) {
            // Said to the session, which says only the first: a few are plenty.
            if (late.size() < 4)
                late << judgeTemperature(*named, reply).text;
            return;
        }
        temperature = judgeTemperature(sensor_, reply, cut);
    };
    try {
        drain(judge);
    } catch (const Error& error) {
        if (!awaiting_)
            return;
        finish();
        emit failed(ConversationFailure::LineLost, error.message());
        return;
    }
    for (const QString& reply : std::as_const(late))
        emit lateReplyDropped(sensor_, reply);
    if (count) {
        finish();
        emit countReceived(*count);
    } else if (temperature) {
        finish();
        emit temperatureReceived(*temperature);
    }
}

void BoardConversation::onLineFailed(const QString& message)
{
    if (!awaiting_)
        return;
    finish();
    emit failed(ConversationFailure::LineLost, message);
}

void BoardConversation::onTimeout()
{
    if (!awaiting_)
        return;
    const bool measurement = *awaiting_ == Awaiting::Temperature;
    finish();
    const auto ms = static_cast<qlonglong>(timeout_.count());
    emit failed(
        ConversationFailure::NoReply,
        measurement
            ? tr("The board did not answer the request for sensor %1 within %2 ms.").arg(sensor_).arg(ms)
            : tr("The board did not answer the request for its sensor count within %1 ms.").arg(ms));
}

void BoardConversation::finish()
{
    awaiting_.reset();
    deadline_->stop();
}

} // namespace calimbra
