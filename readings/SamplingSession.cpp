// SPDX-License-Identifier: MIT
#include "SamplingSession.h"

#include <QCoreApplication>

#include <algorithm>
#include <utility>

using namespace std::chrono;

namespace calimbra {
namespace {

qint64 monotonicNowMs()
{
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Local time carrying its offset, so that the text written says which zone it is in.
QDateTime nowWithOffset()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc());
}

} // namespace

SamplingSession::SamplingSession(BoardConversation& conversation, QObject* parent)
    : QObject(parent), conversation_(conversation)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SamplingSession::startRound);
    connect(&conversation_, &BoardConversation::sensorCountReceived, this, &SamplingSession::onSensorCount);
    connect(&conversation_, &BoardConversation::temperatureReceived, this, &SamplingSession::onTemperature);
    connect(&conversation_, &BoardConversation::failed, this, &SamplingSession::onFailed);
}

void SamplingSession::start()
{
    if (running_)
        return;
    running_ = true;
    roundsDone_ = 0;
    retry_ = kFirstRetry;
    troubleSince_ = QDateTime();
    // From the event loop, so that whoever started the session has connected to it by then.
    scheduleAfter(milliseconds{0});
}

void SamplingSession::stop()
{
    running_ = false;
    inRound_ = false;
    toAsk_.clear();
    timer_.stop();
}

void SamplingSession::scheduleAfter(milliseconds delay)
{
    timer_.start(delay);
    if (delay > milliseconds{0})
        emit nextRoundAt(QDateTime::currentDateTime().addMSecs(delay.count()));
}

void SamplingSession::startRound()
{
    if (!running_)
        return;
    if (conversation_.isBusy()) {
        // A stop and start while an answer was awaited: that wait ends within the time-out.
        timer_.start(milliseconds{100});
        return;
    }
    inRound_ = true;
    roundStart_ = nowWithOffset();
    roundStartMonotonic_ = monotonicNowMs();
    readingsThisRound_ = 0;
    emit roundStarted(roundStart_);
    if (sensors_.isEmpty()) {
        toAsk_.clear();
        conversation_.askSensorCount();
        return;
    }
    toAsk_ = sensors_;
    askNext();
}

void SamplingSession::askNext()
{
    if (!running_)
        return;
    if (toAsk_.isEmpty()) {
        endRound();
        return;
    }
    conversation_.askTemperature(toAsk_.takeFirst());
}

void SamplingSession::onSensorCount(const SensorCountReply& reply)
{
    if (!inRound_)
        return;
    if (!reply.count) {
        onFailed(ConversationFailure::NoReply,
                 tr("The board's sensor-count reply \"%1\" carries no count.").arg(reply.text));
        return;
    }
    for (int sensor = 1; sensor <= *reply.count; ++sensor)
        toAsk_ << sensor;
    askNext();
}

void SamplingSession::onTemperature(int sensor, const QString& text)
{
    if (!inRound_)
        return;
    reportHealthy();
    Reading reading;
    reading.time = nowWithOffset();
    reading.monotonicMs = monotonicNowMs();
    reading.roundStart = roundStart_;
    reading.sensor = sensor;
    reading.text = text;
    reading.celsius = temperatureValue(text);
    ++readingsThisRound_;
    emit readingTaken(reading);
    askNext();
}

void SamplingSession::reportHealthy()
{
    retry_ = kFirstRetry;
    if (troubleSince_.isValid()) {
        const QDateTime since = std::exchange(troubleSince_, QDateTime());
        emit resumed(nowWithOffset(), since);
    }
}

void SamplingSession::onFailed(ConversationFailure, const QString& message)
{
    if (!inRound_)
        return;
    inRound_ = false;
    toAsk_.clear();
    if (!troubleSince_.isValid()) {
        troubleSince_ = nowWithOffset();
        emit troubleStarted(message, troubleSince_);
    }
    if (readingsThisRound_ > 0)
        emit roundFinished(roundStart_, readingsThisRound_);
    if (!running_)
        return;
    // The same round again, sooner than the interval while that is long, never in a tight loop.
    const milliseconds wait = std::min(retry_, std::max(interval_, kFirstRetry));
    retry_ = std::min(retry_ * 2, kLongestRetry);
    scheduleAfter(wait);
}

void SamplingSession::endRound()
{
    inRound_ = false;
    reportHealthy();
    emit roundFinished(roundStart_, readingsThisRound_);
    ++roundsDone_;
    if (roundLimit_ > 0 && roundsDone_ >= roundLimit_) {
        running_ = false;
        emit finished();
        return;
    }
    // Rounds keep to the interval counted from their starts, not from their ends.
    const qint64 elapsed = monotonicNowMs() - roundStartMonotonic_;
    scheduleAfter(milliseconds{std::max<qint64>(0, interval_.count() - elapsed)});
}

} // namespace calimbra
