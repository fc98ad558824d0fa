// SPDX-License-Identifier: MIT
#include "SamplingSession.h"

#include <algorithm>
#include <utility>

using namespace std::chrono;

namespace calimbra {

SamplingSession::SamplingSession(BoardConversation& conversation, Clock& clock, QObject* parent)
    : QObject(parent), conversation_(conversation), clock_(clock),
      next_(clock.deadline([this] { startRound(); }))
{
    connect(&conversation_, &BoardConversation::countReceived, this, &SamplingSession::onCount);
    connect(&conversation_, &BoardConversation::temperatureReceived, this, &SamplingSession::onTemperature);
    connect(&conversation_, &BoardConversation::failed, this, &SamplingSession::onFailed);
    connect(&conversation_, &BoardConversation::lateReplyDropped, this, &SamplingSession::onLateReply);
}

SamplingSession::~SamplingSession() = default;

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
    next_->stop();
}

void SamplingSession::scheduleAfter(milliseconds delay)
{
    next_->start(delay);
    if (delay > milliseconds{0})
        emit nextRoundAt(clock_.now().addMSecs(delay.count()));
}

void SamplingSession::startRound()
{
    if (!running_)
        return;
    if (conversation_.isBusy()) {
        // A stop and start while an answer was awaited: that wait ends within the time-out.
        next_->start(milliseconds{100});
        return;
    }
    inRound_ = true;
    roundStart_ = clock_.now();
    roundStartMonotonic_ = clock_.monotonic();
    answeredThisRound_ = 0;
    heardThisRound_ = false;
    asking_ = 0;
    lastTimeout_.clear();
    readThisRound_.reset();
    roundSensors_ = sensors_;
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
    asking_ = toAsk_.takeFirst();
    conversation_.askTemperature(asking_);
}

void SamplingSession::onCount(const CountAnswer& answer)
{
    if (!inRound_)
        return;
    if (!answer.count) {
        failRound(ConversationFailure::NoReply, noCountMessage(answer));
        return;
    }
    heardThisRound_ = true;
    if (*answer.count == 0 && !std::exchange(saidNoSensors_, true))
        emit notice(noSensorsMessage(answer));
    for (int sensor = 1; sensor <= *answer.count; ++sensor)
        toAsk_ << sensor;
    roundSensors_ = toAsk_;
    askNext();
}

void SamplingSession::onTemperature(const TemperatureAnswer& answer)
{
    if (!inRound_)
        return;
    ++answeredThisRound_;
    heardThisRound_ = true;
    take(readingOf(answer));
    askNext();
}

void SamplingSession::take(Reading reading)
{
    reading.time = clock_.now();
    reading.monotonicMs = clock_.monotonic().count();
    reading.roundStart = roundStart_;
    if (reading.sensor >= 1 && reading.sensor <= board::kMaxSensors)
        readThisRound_.set(static_cast<std::size_t>(reading.sensor - 1));
    emit readingTaken(reading);
}

void SamplingSession::onLateReply(int askedSensor, const QString& reply)
{
    if (std::exchange(saidLate_, true))
        return;
    emit notice(
        tr("A reply for another sensor (\"%1\") arrived while sensor %2 was asked: a late answer to an "
           "earlier request, dropped. Late replies are dropped without saying so again; a longer "
           "time-out may avoid them.")
            .arg(reply)
            .arg(askedSensor));
}

void SamplingSession::onFailed(ConversationFailure failure, const QString& message)
{
    if (!inRound_)
        return;
    if (failure == ConversationFailure::NoReply && asking_ > 0) {
        // One silent sensor does not silence the others: it gives a reading without a value.
        lastTimeout_ = message;
        Reading reading;
        reading.sensor = asking_;
        reading.error = ReadError::Timeout;
        take(std::move(reading));
        askNext();
        return;
    }
    failRound(failure, message);
}

void SamplingSession::failRound(ConversationFailure failure, const QString& message)
{
    asking_ = 0;
    toAsk_.clear();
    if (!troubleSince_.isValid()) {
        troubleSince_ = clock_.now();
        lastFailure_ = failure;
        emit troubleStarted(message, troubleSince_);
    }
    recordOutage(failure);
    inRound_ = false;
    emit roundFinished(roundStart_, answeredThisRound_);
    if (!running_)
        return;
    // The same round again, sooner than the interval while that is long, never in a tight loop.
    const milliseconds wait = std::min(retry_, std::max(interval_, kFirstRetry));
    retry_ = std::min(retry_ * 2, kLongestRetry);
    scheduleAfter(wait);
}

void SamplingSession::recordOutage(ConversationFailure failure)
{
    if (!roundSensors_.isEmpty())
        lastRoundSensors_ = roundSensors_;
    // Retries come sooner than the interval; the record keeps to it.
    const milliseconds now = clock_.monotonic();
    if (lastOutageLines_ && now - *lastOutageLines_ < interval_)
        return;
    const QList<int>& sensors = !roundSensors_.isEmpty()       ? roundSensors_
                                : !lastRoundSensors_.isEmpty() ? lastRoundSensors_
                                                               : expected_;
    ReadError why = ReadError::NoReply;
    if (failure == ConversationFailure::PortUnavailable)
        why = ReadError::PortUnavailable;
    else if (failure == ConversationFailure::LineLost)
        why = ReadError::LineLost;
    bool recorded = false;
    for (const int sensor : sensors) {
        if (sensor < 1 || sensor > board::kMaxSensors ||
            readThisRound_.test(static_cast<std::size_t>(sensor - 1)))
            continue;
        Reading reading;
        reading.sensor = sensor;
        reading.error = why;
        take(std::move(reading));
        recorded = true;
    }
    if (recorded)
        lastOutageLines_ = now;
}

void SamplingSession::reportHealthy()
{
    retry_ = kFirstRetry;
    lastOutageLines_.reset();
    if (!roundSensors_.isEmpty())
        lastRoundSensors_ = roundSensors_;
    if (troubleSince_.isValid()) {
        const QDateTime since = std::exchange(troubleSince_, QDateTime());
        emit resumed(clock_.now(), since);
    }
}

void SamplingSession::endRound()
{
    asking_ = 0;
    if (!heardThisRound_) {
        // Every sensor was silent: the board, not a sensor, is in trouble.
        failRound(ConversationFailure::NoReply,
                  lastTimeout_.isEmpty() ? tr("The board did not answer.") : lastTimeout_);
        return;
    }
    inRound_ = false;
    reportHealthy();
    emit roundFinished(roundStart_, answeredThisRound_);
    ++roundsDone_;
    if (roundLimit_ > 0 && roundsDone_ >= roundLimit_) {
        running_ = false;
        emit finished();
        return;
    }
    // Rounds keep to the interval counted from their starts, not from their ends.
    const milliseconds elapsed = clock_.monotonic() - roundStartMonotonic_;
    scheduleAfter(std::max(milliseconds{0}, interval_ - elapsed));
}

} // namespace calimbra
