// SPDX-License-Identifier: MIT
#pragma once

#include "Alarm.h"
#include "BoardProtocol.h"
#include "Figures.h"
#include "Profile.h"
#include "Reading.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>

#include <array>
#include <optional>

namespace calimbra {

// Watches each sensor's readings (after its profile) against its limits, and the rounds for sensors
// that stop giving values:
// - high is raised when the value has stayed above the high limit for the profile's delay, and
//   cleared when it falls below high - hysteresis; low the same way round. A value between a limit
//   and its hysteresis band changes nothing, so noise at a limit does not flap the alarm; a value
//   at or below the limit again restarts the delay. A reading without a value changes nothing.
// - lost is raised after lostAfter finished rounds in a row without a value from a sensor that was
//   read before, and cleared by its next value.
// Time is the readings' own: the delay runs on Reading::monotonicMs, events carry Reading::time.
//
// Its figures: each limit the profiles set, and each alarm that can be raised with its state (0
// from the start, so that a rule sees every alarm before the first is raised).
class AlarmWatch : public QObject, public FigureSource
{
    Q_OBJECT

public:
    explicit AlarmWatch(QObject* parent = nullptr);

    // Takes effect from the next reading; an alarm whose limit is gone clears at its next value.
    void setProfiles(const QMap<int, SensorProfile>& profiles) { profiles_ = profiles; }

    // What was active when the program last stopped (activeAlarms() then). Each is announced again
    // at its first evaluation: raised when it would still be active (no new delay), cleared when
    // not, so that states kept elsewhere become right. Until then it counts as active.
    void restore(const QList<AlarmEvent>& active);
    // Forgets every alarm and what led towards one, announcing nothing: a new source.
    void reset();
    // The raised alarms, each as the event that raised it.
    [[nodiscard]] QList<AlarmEvent> activeAlarms() const;

    void take(const Reading& reading);
    // The round that started then has ended: each sensor read before that gave no value in it
    // counts one more round without.
    void roundFinished(const QDateTime& roundStart);

    void writeFigures(FigureWriter& writer) const override;

signals:
    void alarmChanged(const calimbra::AlarmEvent& event);

private:
    struct State
    {
        bool active = false;
        bool restored = false;                 // active, to be announced again at its first evaluation
        std::optional<qint64> beyondSinceMs{}; // beyond the limit since then, not raised yet
        AlarmEvent raise;
    };
    struct Sensor
    {
        std::array<State, 3> states; // by AlarmKind
        bool watched = false;
        QString name; // from its latest reading
        bool valueThisRound = false;
        int roundsWithout = 0;
    };

    void checkLimit(int sensor, AlarmKind kind, const Reading& reading);
    void announce(int sensor, AlarmKind kind, bool raised, const QDateTime& time,
                  std::optional<double> celsius);
    [[nodiscard]] State& state(int sensor, AlarmKind kind);

    QMap<int, SensorProfile> profiles_;
    std::array<Sensor, board::kMaxSensors> sensors_{};
    QDateTime lastReadingTime_;
};

// The file, in the given folder, that keeps the active alarms from one run to the next.
inline constexpr char kAlarmStateFileName[] = "alarms.json";

// Writes the whole file or nothing (the folder is made when missing). Throws Error.
void saveAlarmState(const QString& folder, const QList<AlarmEvent>& active);
// Nothing when there is no file yet. Throws Error when it cannot be read or is not one of ours.
[[nodiscard]] QList<AlarmEvent> loadAlarmState(const QString& folder);

} // namespace calimbra
