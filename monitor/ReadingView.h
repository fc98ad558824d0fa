// SPDX-License-Identifier: MIT
#pragma once

#include "DesktopNotifier.h"
#include "Profile.h"
#include "ReadingHistory.h"
#include "Sink.h"

#include <QDateTime>
#include <QMap>
#include <QTimer>

#include <array>
#include <bitset>

class QSplitter;

namespace calimbra {

class SensorTable;
class TemperatureChart;

// The monitor's readings as a sink of the pipeline: each goes into the history, the chart follows
// it and the table shows each sensor's latest, with its alarms named against its limits; a limit
// near the values is drawn as a dashed line. An alarm raised while the readings are live is told to
// the desktop too.
class ReadingView : public Sink
{
    Q_OBJECT

public:
    ReadingView(ReadingHistory& history, TemperatureChart& chart, SensorTable& table, QSplitter& splitter,
                QObject* parent = nullptr);
    ~ReadingView() override;

    [[nodiscard]] QString description() const override;
    void take(const Reading& reading) override;
    void alarmChanged(const AlarmEvent& event) override;
    void boardAvailable(bool available) override;

    // Forgets every reading and alarm: a new source. `live`: its readings are the present's.
    void restart(bool live);
    void setLive(bool live);
    // Alarms raised from now on are told to the desktop (not while a log is first read).
    void setNotifying(bool notifying) { notifying_ = notifying; }
    // The limits each sensor is watched against, for the lines and the alarms' words: the monitor's
    // own profiles, and where those set none, the limits a service publishes.
    void setLimits(const QMap<int, SensorProfile>& limits);
    void setPublishedLimits(int sensor, const SensorProfile& limits);
    // A name for a sensor's past and coming readings.
    void rename(int sensor, const QString& name);
    // The round that started then is over: a sensor read before but not in it is marked missing.
    void roundFinished(const QDateTime& start);
    // The sensor gets its line and row before its first reading (it was chosen).
    void showSensor(int sensor);
    // The table brought up to date, and the chart drawn afresh.
    void refresh();
    [[nodiscard]] QDateTime lastRound() const { return lastRound_; }
    [[nodiscard]] SensorProfile limits(int sensor) const;

signals:
    // The table's rows were brought up to date (the status line may follow).
    void rowsUpdated();

private:
    void showLimits(int sensor);
    void markRow(int sensor);
    void markAllRows();
    void updateRows();
    [[nodiscard]] QString alarmText(int sensor, std::optional<AlarmKind> only = std::nullopt) const;

    TemperatureChart& chart_;
    SensorTable& table_;
    QSplitter& splitter_;
    ReadingHistory& history_;
    DesktopNotifier notifier_;
    QTimer rowsTimer_;
    std::bitset<board::kMaxSensors> dirtyRows_;
    std::bitset<board::kMaxSensors> shown_;                         // have their line and row
    std::array<std::bitset<3>, board::kMaxSensors> activeAlarms_{}; // by AlarmKind
    QMap<int, SensorProfile> limits_;
    QMap<int, SensorProfile> publishedLimits_;
    QDateTime lastRound_;
    bool live_ = true;
    bool away_ = false; // the board is not answering, or the broker or its service is away
    bool notifying_ = true;
};

} // namespace calimbra
