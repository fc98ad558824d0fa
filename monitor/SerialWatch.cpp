// SPDX-License-Identifier: MIT
#include "SerialWatch.h"

#include "Pipeline.h"
#include "PortAdvice.h"
#include "ReadingView.h"
#include "SensorTable.h"

namespace calimbra {
namespace {

QString clock(const QDateTime& time)
{
    return time.isValid() ? shownTime(time.toMSecsSinceEpoch()) : QStringLiteral("—");
}

} // namespace

SerialWatch::SerialWatch(Pipeline& pipeline, ReadingView& view, QObject* parent) : QObject(parent)
{
    pipeline.attach(session_);
    connect(&session_, &SamplingSession::roundFinished, this, [this, &view](const QDateTime& start) {
        view.roundFinished(start);
        lastRound_ = start;
        emit changed();
    });
    connect(&session_, &SamplingSession::nextRoundAt, this, [this](const QDateTime& when) {
        nextRound_ = when;
        emit changed();
    });
    connect(&session_, &SamplingSession::troubleStarted, this,
            [this](const QString& message, const QDateTime& when) {
                retrying_ = true;
                // The port's own messages end with the monitor's advice already; the board's silence does
                // not.
                emit said(message.endsWith(portAdvice().tryAgain)
                              ? message
                              : withAdvice(message, tr("The monitor keeps trying by itself.")),
                          when);
            });
    connect(&session_, &SamplingSession::resumed, this, [this](const QDateTime& when) {
        retrying_ = false;
        emit resumed(when);
    });
    connect(&session_, &SamplingSession::finished, this, &SerialWatch::finished);
}

void SerialWatch::start(const QString& port, std::chrono::seconds interval, const QList<int>& sensors,
                        const QList<int>& expected)
{
    interval_ = interval;
    lastRound_ = nextRound_ = QDateTime();
    retrying_ = false;
    port_.Close();
    port_.setPortName(port);
    session_.setInterval(interval);
    session_.setSensors(sensors);
    session_.setExpectedSensors(expected);
    session_.start();
}

void SerialWatch::stop()
{
    session_.stop();
    port_.Close();
    nextRound_ = QDateTime();
    retrying_ = false;
}

QStringList SerialWatch::statusParts() const
{
    if (!session_.isRunning())
        return lastRound_.isValid() ? QStringList{tr("last round %1").arg(clock(lastRound_))} : QStringList();
    return {tr("Reading %1 every %2 s").arg(port_.portName()).arg(interval_.count()),
            tr("last round %1").arg(clock(lastRound_)),
            retrying_ ? tr("retrying by itself") : tr("next round %1").arg(clock(nextRound_))};
}

} // namespace calimbra
