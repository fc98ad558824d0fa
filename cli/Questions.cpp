// SPDX-License-Identifier: MIT
#include "Questions.h"

#include "Celsius.h"
#include "Output.h"
#include "PortName.h"
#include "ReadingLog.h"
#include "Text.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <unistd.h>

namespace calimbra::cli {
namespace {

int statusOf(ConversationFailure failure)
{
    return failure == ConversationFailure::NoReply ? NoReply : PortFailed;
}

} // namespace

Questions::Questions(BoardConversation& conversation, const BoardProfile& profile, QObject* parent)
    : QObject(parent), conversation_(conversation), profile_(profile)
{
    connect(&conversation_, &BoardConversation::failed, this, &Questions::onFailed);
    connect(&conversation_, &BoardConversation::countReceived, this, &Questions::onCount);
    connect(&conversation_, &BoardConversation::temperatureReceived, this, &Questions::onTemperature);
    connect(&conversation_, &BoardConversation::ledCommandSent, this, [this] { end(status_); });
    connect(&conversation_, &BoardConversation::lateReplyDropped, this, [](int asked, const QString& reply) {
        printError(
            tr("A reply for another sensor (\"%1\") arrived while sensor %2 was asked: a late answer to an "
               "earlier request, dropped.")
                .arg(printable(reply))
                .arg(asked));
    });
}

void Questions::info()
{
    printCount_ = true;
    conversation_.askSensorCount();
}

void Questions::read(const QList<int>& sensors)
{
    reading_ = true;
    toRead_ = sensors;
    if (sensors.isEmpty())
        conversation_.askSensorCount();
    else
        next();
}

void Questions::led()
{
    conversation_.sendLedCommand();
}

void Questions::onCount(const CountAnswer& answer)
{
    try {
        if (printCount_)
            printLine(printable(answer.text) + u'\t' +
                      (answer.count ? QString::number(*answer.count) : QString()));
    } catch (const Error& error) {
        failOutput(error.message());
        return;
    }
    if (!answer.count) {
        printError(noCountMessage(answer));
        end(NoReply);
        return;
    }
    if (printCount_) {
        end(Done);
        return;
    }
    if (*answer.count == 0)
        printError(noSensorsMessage(answer));
    for (int sensor = 1; sensor <= *answer.count; ++sensor)
        toRead_ << sensor;
    next();
}

void Questions::onTemperature(const TemperatureAnswer& answer)
{
    Reading reading = readingOf(answer);
    profile_.apply(reading);
    QString line = QStringLiteral("%1\t%2\t%3")
                       .arg(reading.sensor)
                       .arg(reading.celsius ? celsiusString(*reading.celsius) : QString())
                       .arg(printable(reading.text));
    if (!reading.name.isEmpty())
        line += u'\t' + printable(reading.name);
    try {
        printLine(line);
    } catch (const Error& error) {
        failOutput(error.message());
        return;
    }
    if (reading.error == ReadError::Garbled) {
        printError(
            tr("The reply for sensor %1 was garbled (cut short, or with bytes after a zero byte): \"%2\".")
                .arg(reading.sensor)
                .arg(reading.text));
        status_ = NoReply;
    } else if (reading.error == ReadError::PowerOn || reading.error == ReadError::Disconnected) {
        printError(
            tr("Sensor %1 answered %2, a value its firmware gives when %3; it is not taken as a reading.")
                .arg(reading.sensor)
                .arg(printable(reading.text), reading.error == ReadError::PowerOn
                                                  ? tr("it has just been powered on")
                                                  : tr("the sensor did not answer")));
    }
    next();
}

void Questions::onFailed(ConversationFailure failure, const QString& message)
{
    printError(message);
    if (failure != ConversationFailure::NoReply || !reading_ || toRead_.isEmpty()) {
        end(statusOf(failure));
        return;
    }
    // One silent sensor does not keep the others from being read.
    status_ = NoReply;
    next();
}

void Questions::next()
{
    if (toRead_.isEmpty()) {
        end(status_);
        return;
    }
    conversation_.askTemperature(toRead_.takeFirst());
}

void Questions::failOutput(const QString& message)
{
    if (!message.isEmpty())
        printError(message);
    end(OutputFailed);
}

void Questions::end(int status)
{
    toRead_.clear();
    emit done(status);
}

int listPorts()
{
    if (::isatty(STDOUT_FILENO))
        printLine(calimbra::tr("PATH\tDESCRIPTION\tMAKER\tSERIAL\tSTABLE NAME"));
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        printLine(QStringList{port.systemLocation(), port.description(), port.manufacturer(),
                              port.serialNumber(), stableName(port.systemLocation())}
                      .replaceInStrings(QStringLiteral("\t"), QStringLiteral(" "))
                      .join(u'\t'));
    }
    return Done;
}

} // namespace calimbra::cli
