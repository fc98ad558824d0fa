// SPDX-License-Identifier: MIT
#include "BoardConversation.h"

#include "ComError.h"

#include <QCoreApplication>

#include <cassert>

namespace calimbra {

BoardConversation::BoardConversation(PortLink& port, QObject* parent) : QObject(parent), port_(port)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &BoardConversation::onTimeout);
    connect(&port_, &PortLink::arrived, this, &BoardConversation::onRxChar);
    connect(&port_, &PortLink::lineFailed, this, &BoardConversation::onLineFailed);
}

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
    send(RequestKind::Information, informationRequest());
}

void BoardConversation::askTemperature(int sensor)
{
    sensor_ = sensor;
    send(RequestKind::Measurement, measurementRequest(QString::number(sensor)));
}

void BoardConversation::sendLedCommand()
{
    send(RequestKind::LedCommand, ledCommand());
}

void BoardConversation::send(RequestKind kind, const QByteArray& request)
{
    assert(!isBusy());
    try {
        sendRequest(port_, kind, request);
    } catch (const ComError& error) {
        port_.Close();
        const QString message = error.message();
        later([this, message] { emit failed(ConversationFailure::PortUnavailable, message); });
        return;
    }
    if (kind == RequestKind::LedCommand) {
        later([this] { emit ledCommandSent(); });
        return;
    }
    awaiting_ = kind;
    timer_.start(timeout_);
}

void BoardConversation::onRxChar()
{
    if (!awaiting_)
        return; // a late answer to a question given up on: the next request clears it
    ReceiveOutcome outcome;
    try {
        outcome = receiveStep(port_);
    } catch (const ComError& error) {
        finish();
        emit failed(ConversationFailure::LineLost, error.message());
        return;
    }
    if (const auto* count = std::get_if<SensorCountReply>(&outcome);
        count && *awaiting_ == RequestKind::Information) {
        finish();
        emit sensorCountReceived(*count);
    } else if (const auto* temperature = std::get_if<TemperatureReply>(&outcome);
               temperature && *awaiting_ == RequestKind::Measurement) {
        finish();
        emit temperatureReceived(sensor_, temperature->text);
    }
    // Anything else (noise, half a reply, another question's answer) leaves the wait running.
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
    const bool measurement = *awaiting_ == RequestKind::Measurement;
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
    timer_.stop();
}

} // namespace calimbra
