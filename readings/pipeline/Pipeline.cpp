// SPDX-License-Identifier: MIT
#include "Pipeline.h"

#include "Figures.h"

#include "SamplingSession.h"
#include "Sink.h"

#include <QVarLengthArray>

#include <algorithm>
#include <exception>

namespace calimbra {

Pipeline::Pipeline(QObject* parent) : QObject(parent)
{
    connect(&alarms_, &AlarmWatch::alarmChanged, this, &Pipeline::onAlarm);
}

Pipeline::~Pipeline() = default;

template <typename Call>
bool Pipeline::guarded(Sink& sink, Call call)
{
    try {
        call(sink);
        return true;
    } catch (const std::exception& error) {
        sink.fail(QString::fromStdString(error.what()));
        return false;
    }
}

void Pipeline::setProfiles(const QMap<int, SensorProfile>& profiles)
{
    profile_.setSensors(profiles);
    alarms_.setProfiles(profiles);
}

void Pipeline::setSource(Source source)
{
    source_ = source;
    profile_.forgetPreviousValues();
    alarms_.reset();
    inRound_.reset();
    roundStart_ = QDateTime();
}

void Pipeline::addSink(Sink* sink)
{
    if (std::find(sinks_.begin(), sinks_.end(), sink) != sinks_.end())
        return;
    sinks_.push_back(sink);
    // Each part shows its own figures through whoever gathers them: the alarms, and the sinks. What
    // a sink is, is asked now: once it is being destroyed, only its QObject is left to ask.
    const Figures figures{dynamic_cast<const FigureSource*>(sink), dynamic_cast<FigureGatherer*>(sink)};
    figures_[sink] = figures;
    if (figures.gatherer) {
        figures.gatherer->addSource(&alarms_);
        for (const auto& [other, its] : figures_) {
            if (its.source)
                figures.gatherer->addSource(its.source);
        }
    }
    if (figures.source) {
        for (const auto& [other, its] : figures_) {
            if (its.gatherer && other != sink)
                its.gatherer->addSource(figures.source);
        }
    }
    connect(sink, &Sink::failing, this, &Pipeline::said);
    connect(sink, &Sink::recovered, this, &Pipeline::said);
    connect(sink, &Sink::stopped, this, [this] {
        if (stopping_ && --pendingStops_ == 0)
            emit stopped();
    });
    connect(sink, &QObject::destroyed, this, [this, sink] { removeSink(sink); });
    // Alarms still active from the last run: the sink shows them from the start.
    for (const AlarmEvent& event : alarms_.activeAlarms())
        guarded(*sink, [&event](Sink& it) { it.alarmChanged(event); });
}

void Pipeline::removeSink(Sink* sink)
{
    const auto found = std::find(sinks_.begin(), sinks_.end(), sink);
    if (found == sinks_.end())
        return;
    sinks_.erase(found);
    disconnect(sink, nullptr, this, nullptr);
    const Figures figures = figures_[sink];
    figures_.erase(sink);
    if (figures.source) {
        for (const auto& [other, its] : figures_) {
            if (its.gatherer)
                its.gatherer->removeSource(figures.source);
        }
    }
}

template <typename Call>
void Pipeline::each(Call call)
{
    // A copy, on the stack: a sink may be removed by what a call sets off.
    const QVarLengthArray<Sink*, 8> sinks(sinks_.begin(), sinks_.end());
    for (Sink* sink : sinks)
        guarded(*sink, call);
}

void Pipeline::attach(SamplingSession& session)
{
    connect(&session, &SamplingSession::readingTaken, this, &Pipeline::take);
    connect(&session, &SamplingSession::roundFinished, this, &Pipeline::roundFinished);
    connect(&session, &SamplingSession::troubleStarted, this, &Pipeline::boardLost);
    connect(&session, &SamplingSession::resumed, this, &Pipeline::boardBack);
}

void Pipeline::take(Reading reading)
{
    if (reading.sensor < 1 || reading.sensor > board::kMaxSensors)
        return;
    if (source_ == Source::Board) {
        profile_.apply(reading);
    } else if (reading.name.isEmpty()) {
        reading.name = profile_.nameOf(reading.sensor);
    }
    if (source_ == Source::Log) {
        // A log has no round ends: a round is over when one of its sensors comes again, or when a
        // reading names another round.
        const auto slot = static_cast<std::size_t>(reading.sensor - 1);
        const bool otherRound =
            reading.roundStart.isValid() && roundStart_.isValid() && reading.roundStart != roundStart_;
        if (inRound_.test(slot) || otherRound) {
            alarms_.roundFinished(roundStart_);
            inRound_.reset();
        }
        if (inRound_.none())
            roundStart_ = reading.roundStart.isValid() ? reading.roundStart : reading.time;
        inRound_.set(slot);
    }
    if (source_ != Source::Service)
        alarms_.take(reading);
    each([&reading](Sink& sink) { sink.take(reading); });
}

void Pipeline::roundFinished(const QDateTime& start, int answered)
{
    if (source_ != Source::Service)
        alarms_.roundFinished(start);
    if (answered > 0)
        each([](Sink& sink) { sink.boardAvailable(true); });
}

void Pipeline::boardLost(const QString& message, const QDateTime& when)
{
    each([](Sink& sink) { sink.boardAvailable(false); });
    emit troubleStarted(message, when);
}

void Pipeline::boardBack(const QDateTime& when, const QDateTime& since)
{
    profile_.forgetPreviousValues();
    each([](Sink& sink) { sink.boardAvailable(true); });
    emit resumed(when, since);
}

void Pipeline::alarmFromSource(const AlarmEvent& event)
{
    onAlarm(event);
}

void Pipeline::onAlarm(const AlarmEvent& event)
{
    each([&event](Sink& sink) { sink.alarmChanged(event); });
    emit alarmChanged(event);
}

void Pipeline::reopen()
{
    each([](Sink& sink) { sink.reopen(); });
}

void Pipeline::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    pendingStops_ = static_cast<int>(sinks_.size());
    if (pendingStops_ == 0) {
        emit stopped();
        return;
    }
    const std::vector<Sink*> sinks = sinks_;
    for (Sink* sink : sinks) {
        if (!guarded(*sink, [](Sink& it) { it.stop(); }) && --pendingStops_ == 0)
            emit stopped();
    }
}

} // namespace calimbra
