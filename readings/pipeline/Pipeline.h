// SPDX-License-Identifier: MIT
#pragma once

#include "Alarm.h"
#include "AlarmWatch.h"
#include "Profile.h"
#include "Reading.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>

#include <bitset>
#include <map>
#include <vector>

namespace calimbra {

class FigureGatherer;
class FigureSource;
class SamplingSession;
class Sink;

// The one way every reading goes, whatever its source: named by the sensors' profiles, calibrated
// (offset, fault values) when it comes from the board itself, watched for alarms, and handed to every
// sink in the order it came. A sink that fails, even by throwing, is said once and the others go on:
// nothing a sink does crosses the event loop.
//
// Sources feed the intake: a sampling session through attach(), a log read back or a broker through
// take() and the calls beside it.
class Pipeline : public QObject
{
    Q_OBJECT

public:
    enum class Source {
        Board,   // straight from the board: named, calibrated and watched here
        Log,     // read back from a log: already calibrated; watched here, by the readings' own times
        Service, // from a logging service through a broker: calibrated and watched by the service
    };

    explicit Pipeline(QObject* parent = nullptr);
    ~Pipeline() override;

    // Takes effect from the next reading; the values remembered for the fault rules are kept.
    void setProfiles(const QMap<int, SensorProfile>& profiles);
    [[nodiscard]] const QMap<int, SensorProfile>& profiles() const { return profile_.sensors(); }
    // Forgets the alarms and the values remembered: a new source, or the same started afresh.
    void setSource(Source source);
    [[nodiscard]] Source source() const { return source_; }

    [[nodiscard]] const AlarmWatch& alarms() const { return alarms_; }
    // Alarms active when the program last stopped, raised again only if still true.
    void restoreAlarms(const QList<AlarmEvent>& active) { alarms_.restore(active); }

    // Not owned; a sink removed, or destroyed, gets nothing more.
    void addSink(Sink* sink);
    void removeSink(Sink* sink);
    [[nodiscard]] const std::vector<Sink*>& sinks() const { return sinks_; }

    // The board's own readings: every reading of the session, its rounds and its outages.
    void attach(SamplingSession& session);

    // The intake.
    void take(Reading reading);
    // The round that started then has ended (sources without rounds of their own need not call it).
    void roundFinished(const QDateTime& start, int answered);
    // The board cannot be read (the port, the line, the broker or the service is away)...
    void boardLost(const QString& message, const QDateTime& when);
    // ...and is back. It may have been powered off: its first 85 °C is no reading.
    void boardBack(const QDateTime& when, const QDateTime& since);
    // An alarm raised or cleared where the readings were watched (a service, over a broker).
    void alarmFromSource(const AlarmEvent& event);

    // SIGHUP: files are reopened.
    void reopen();
    // Every sink says goodbye; stopped() once all have, at once when there are none.
    void stop();

signals:
    void alarmChanged(const calimbra::AlarmEvent& event);
    void troubleStarted(const QString& message, const QDateTime& when);
    void resumed(const QDateTime& when, const QDateTime& since);
    // A sink failing or working again, in the user's words.
    void said(const QString& message);
    void stopped();

private:
    // Calls one sink; a sink that throws is failed, and false returned.
    template <typename Call>
    static bool guarded(Sink& sink, Call call);
    template <typename Call>
    void each(Call call);
    void onAlarm(const AlarmEvent& event);

    // The figures a sink shows, and whether it gathers others'.
    struct Figures
    {
        const FigureSource* source = nullptr;
        FigureGatherer* gatherer = nullptr;
    };

    Source source_ = Source::Board;
    BoardProfile profile_;
    AlarmWatch alarms_;
    std::vector<Sink*> sinks_;
    std::map<const Sink*, Figures> figures_;
    int pendingStops_ = 0;
    bool stopping_ = false;
    // Sources without rounds: a round ends when a sensor of it comes again, or another round begins.
    std::bitset<board::kMaxSensors> inRound_;
    QDateTime roundStart_;
};

} // namespace calimbra
