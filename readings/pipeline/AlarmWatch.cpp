// SPDX-License-Identifier: MIT
#include "AlarmWatch.h"

#include "Error.h"
#include "Text.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <utility>

namespace calimbra {
namespace {

constexpr int kStateVersion = 1;

constexpr FigureFamily kLimitFamily{"calimbra_alarm_limit_celsius", "gauge",
                                    "The sensor's alarm limit from its profile: beyond it for the "
                                    "profile's delay, the alarm is raised."};
constexpr FigureFamily kActiveFamily{"calimbra_alarm_active", "gauge",
                                     "1 while the sensor's alarm is raised, else 0; high and low where "
                                     "a limit is set, lost for every sensor known."};

bool isSensor(int sensor)
{
    return sensor >= 1 && sensor <= board::kMaxSensors;
}

} // namespace

AlarmWatch::AlarmWatch(QObject* parent) : QObject(parent) {}

AlarmWatch::State& AlarmWatch::state(int sensor, AlarmKind kind)
{
    return sensors_[static_cast<std::size_t>(sensor - 1)].states[static_cast<std::size_t>(kind)];
}

void AlarmWatch::restore(const QList<AlarmEvent>& active)
{
    for (const AlarmEvent& event : active) {
        if (!isSensor(event.sensor))
            continue;
        State& alarm = state(event.sensor, event.kind);
        alarm.active = true;
        alarm.restored = true;
        alarm.beyondSinceMs.reset();
        alarm.raise = event;
        alarm.raise.raised = true;
        if (event.kind == AlarmKind::Lost)
            sensors_[static_cast<std::size_t>(event.sensor - 1)].watched = true;
    }
}

void AlarmWatch::reset()
{
    sensors_ = {};
    lastReadingTime_ = QDateTime();
}

QList<AlarmEvent> AlarmWatch::activeAlarms() const
{
    QList<AlarmEvent> active;
    for (const Sensor& sensor : sensors_) {
        for (const State& alarm : sensor.states) {
            if (alarm.active)
                active << alarm.raise;
        }
    }
    return active;
}

void AlarmWatch::announce(int sensor, AlarmKind kind, bool raised, const QDateTime& time,
                          std::optional<double> celsius)
{
    State& alarm = state(sensor, kind);
    alarm.active = raised;
    alarm.restored = false;
    alarm.beyondSinceMs.reset();
    AlarmEvent event;
    event.time = time;
    event.sensor = sensor;
    event.name = sensors_[static_cast<std::size_t>(sensor - 1)].name;
    if (event.name.isEmpty())
        event.name = profiles_.value(sensor).name;
    event.kind = kind;
    event.raised = raised;
    event.celsius = celsius;
    if (raised)
        alarm.raise = event;
    emit alarmChanged(event);
}

void AlarmWatch::take(const Reading& reading)
{
    if (!isSensor(reading.sensor))
        return;
    lastReadingTime_ = reading.time;
    Sensor& sensor = sensors_[static_cast<std::size_t>(reading.sensor - 1)];
    sensor.watched = true;
    sensor.name = reading.name;
    if (!reading.celsius)
        return;
    sensor.valueThisRound = true;
    sensor.roundsWithout = 0;
    if (state(reading.sensor, AlarmKind::Lost).active)
        announce(reading.sensor, AlarmKind::Lost, false, reading.time, reading.celsius);
    checkLimit(reading.sensor, AlarmKind::High, reading);
    checkLimit(reading.sensor, AlarmKind::Low, reading);
}

void AlarmWatch::checkLimit(int sensor, AlarmKind kind, const Reading& reading)
{
    static const SensorProfile none;
    const auto found = profiles_.constFind(sensor);
    const SensorProfile& profile = found != profiles_.cend() ? *found : none;
    const std::optional<double> limit = kind == AlarmKind::High ? profile.high : profile.low;
    const double value = *reading.celsius;
    const bool beyond = limit && (kind == AlarmKind::High ? value > *limit : value < *limit);
    const bool backInside = !limit || (kind == AlarmKind::High ? value < *limit - profile.hysteresis
                                                               : value > *limit + profile.hysteresis);
    State& alarm = state(sensor, kind);
    if (alarm.restored) {
        announce(sensor, kind, !backInside, reading.time, reading.celsius);
        return;
    }
    if (alarm.active) {
        if (backInside)
            announce(sensor, kind, false, reading.time, reading.celsius);
        return;
    }
    if (!beyond) {
        alarm.beyondSinceMs.reset();
        return;
    }
    if (!alarm.beyondSinceMs)
        alarm.beyondSinceMs = reading.monotonicMs;
    if (reading.monotonicMs - *alarm.beyondSinceMs >= profile.delay.count())
        announce(sensor, kind, true, reading.time, reading.celsius);
}

void AlarmWatch::roundFinished(const QDateTime& roundStart)
{
    // Lost is noticed at the round's end; its time is that of the round's last reading.
    const QDateTime when =
        lastReadingTime_.isValid() && lastReadingTime_ >= roundStart ? lastReadingTime_ : roundStart;
    for (int number = 1; number <= board::kMaxSensors; ++number) {
        Sensor& sensor = sensors_[static_cast<std::size_t>(number - 1)];
        const bool gaveValue = std::exchange(sensor.valueThisRound, false);
        if (!sensor.watched || gaveValue)
            continue;
        ++sensor.roundsWithout;
        State& lost = state(number, AlarmKind::Lost);
        if (lost.restored || (!lost.active && sensor.roundsWithout >= profiles_.value(number).lostAfter))
            announce(number, AlarmKind::Lost, true, when, std::nullopt);
    }
}

void AlarmWatch::writeFigures(FigureWriter& writer) const
{
    for (int number = 1; number <= board::kMaxSensors; ++number) {
        const auto profile = profiles_.constFind(number);
        const bool profiled = profile != profiles_.cend();
        const Sensor& sensor = sensors_[static_cast<std::size_t>(number - 1)];
        const QString sensorText = QString::number(number);
        const QString name = profiled ? profile->name : QString();
        for (const AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Lost}) {
            std::optional<double> limit;
            if (profiled && kind != AlarmKind::Lost)
                limit = kind == AlarmKind::High ? profile->high : profile->low;
            const bool active = sensor.states[static_cast<std::size_t>(kind)].active;
            const bool configured = kind == AlarmKind::Lost ? profiled || sensor.watched : limit.has_value();
            // One raised before its limit was taken out is shown until it clears.
            if (!configured && !active)
                continue;
            const QString kindText = alarmKindName(kind);
            if (limit)
                writer.add(kLimitFamily, {{"sensor", sensorText}, {"name", name}, {"alarm", kindText}},
                           *limit);
            writer.add(kActiveFamily, {{"sensor", sensorText}, {"name", name}, {"alarm", kindText}},
                       active ? 1 : 0);
        }
    }
}

void saveAlarmState(const QString& folder, const QList<AlarmEvent>& active)
{
    QJsonArray alarms;
    for (const AlarmEvent& event : active) {
        QJsonObject alarm{
            {QStringLiteral("sensor"), event.sensor},
            {QStringLiteral("kind"), alarmKindName(event.kind)},
            {QStringLiteral("name"), event.name},
            {QStringLiteral("time"), event.time.toString(Qt::ISODateWithMs)},
        };
        if (event.celsius)
            alarm.insert(QStringLiteral("celsius"), *event.celsius);
        alarms.append(alarm);
    }
    const QByteArray text = QJsonDocument(QJsonObject{{QStringLiteral("version"), kStateVersion},
                                                      {QStringLiteral("alarms"), alarms}})
                                .toJson();
    const QString path = QDir(folder).filePath(QString::fromLatin1(kAlarmStateFileName));
    if (!QDir().mkpath(folder))
        throw Error(tr("Could not make the folder %1 for the alarms' state.").arg(folder));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw Error(tr("Could not save the alarms' state in %1: %2.").arg(path, file.errorString()));
}

QList<AlarmEvent> loadAlarmState(const QString& folder)
{
    const QString path = QDir(folder).filePath(QString::fromLatin1(kAlarmStateFileName));
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw Error(tr("Could not read the alarms' state from %1: %2.").arg(path, file.errorString()));
    const QString damaged =
        tr("The alarms' state in %1 is damaged (%2). Remove the file; the alarms then start from none.");
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull())
        throw Error(damaged.arg(path, parseError.errorString()));
    if (document.object().value(QStringLiteral("version")).toInt() != kStateVersion)
        throw Error(damaged.arg(path, tr("not a version this program knows")));
    QList<AlarmEvent> active;
    for (const QJsonValue& value : document.object().value(QStringLiteral("alarms")).toArray()) {
        const QJsonObject alarm = value.toObject();
        AlarmEvent event;
        event.sensor = alarm.value(QStringLiteral("sensor")).toInt();
        const auto kind = alarmKindFromName(alarm.value(QStringLiteral("kind")).toString());
        if (!isSensor(event.sensor) || !kind)
            throw Error(damaged.arg(path, tr("an alarm without a sensor from 1 to 9 or a known kind")));
        event.kind = *kind;
        event.name = alarm.value(QStringLiteral("name")).toString();
        event.time = QDateTime::fromString(alarm.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        event.raised = true;
        if (alarm.contains(QStringLiteral("celsius")))
            event.celsius = alarm.value(QStringLiteral("celsius")).toDouble();
        active << event;
    }
    return active;
}

} // namespace calimbra
