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

void BoardConversation::onArrived()
{
    // Everything waiting is read now, awaited or not: bytes left in the port would fill its buffer
    // until it stopped reading the line at all.
    QByteArray reply;
    bool cut = false;
    try {
        std::array<char, 4096> chunk{};
        for (qint64 waiting = port_.InputCount(); waiting > 0; waiting = port_.InputCount()) {
            const qint64 read = port_.Read(std::span<char>(
                chunk.data(),
                static_cast<std::size_t>(std::min<qint64>(waiting, static_cast<qint64>(chunk.size())))));
            if (read <= 0)
                break;
            const qsizetype room = kLongestReply - reply.size();
            reply.append(chunk.data(), std::min<qsizetype>(room, read));
            cut = cut || read > room;
        }
    } catch (const Error& error) {
        if (!awaiting_)
            return;
        finish();
        emit failed(ConversationFailure::LineLost, error.message());
        return;
    }
    if (awaiting_ && !reply.isEmpty())
        judge(reply, cut);
}

void BoardConversation::judge(const QByteArray& bytes, bool cut)
{
    if (*awaiting_ == Awaiting::Count) {
        for (const QByteArray& reply : splitReplies(bytes)) {
            if (const auto answer = judgeCount(reply)) {
                finish();
                emit countReceived(*answer);
                return;
            }
        }
        return; // noise, or a late temperature reply: the wait goes on
    }
    const QList<QByteArray> replies = splitReplies(bytes);
    for (qsizetype i = 0; i < replies.size(); ++i) {
        const QByteArray& reply = replies[i];
        if (!isTemperatureReply(reply))
            continue;
        if (const auto named = namedSensor(reply); named && *named != sensor_) {
            emit lateReplyDropped(sensor_, judgeTemperature(*named, reply).text);
            continue;
        }
        finish();
        emit temperatureReceived(judgeTemperature(sensor_, reply, cut && i == replies.size() - 1));
        return;
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
