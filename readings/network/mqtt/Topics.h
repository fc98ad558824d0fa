// SPDX-License-Identifier: MIT
#pragma once

#include "Alarm.h"
#include "Profile.h"

#include <QCoreApplication>
#include <QLatin1String>
#include <QString>

#include <optional>

namespace calimbra {

// The topics of a board's messages on an MQTT broker, built and read back in this one place, for
// one Home Assistant discovery prefix. For a board named B, its sensor N and an alarm KIND (high,
// low, lost):
//   calimbra/B/status                                the service's "online" / "offline"
//   calimbra/B/sensor/N                              its readings
//   calimbra/B/sensor/N/alarm/KIND                   its alarms' "ON" / "OFF"
//   calimbra/B/sensor/N/limits                       its alarms' limits, as limitsJson() writes them
//   PREFIX/sensor/calimbra_B_sN/config               a sensor's Home Assistant discovery
//   PREFIX/binary_sensor/calimbra_B_sN_KIND/config   an alarm's
//   PREFIX/status                                    Home Assistant's own "online" / "offline"
// Board names are not judged here: a board's name is isValidBoardName()'s to judge.
class Topics
{
    Q_DECLARE_TR_FUNCTIONS(Topics)

public:
    static constexpr QLatin1String kDefaultDiscoveryPrefix{"homeassistant"};
    // Long enough for any prefix a person writes, short enough that every topic stays under the
    // bound the monitor takes (BrokerSource::kLongestTopic).
    static constexpr qsizetype kLongestDiscoveryPrefix = 128;

    enum class Kind {
        Other, // none of the service's topics
        Status,
        Reading,
        Alarm,
        Limits,
        SensorConfig,
        AlarmConfig,
        HomeAssistantStatus,
        // A reading's or an alarm's topic whose sensor is none from 1 to 9, or whose alarm is none
        // of high, low and lost.
        Malformed,
    };
    struct Parsed
    {
        Kind kind = Kind::Other;
        QString board;
        int sensor = 0;
        AlarmKind alarm = AlarmKind::High; // Alarm and AlarmConfig only
        bool operator==(const Parsed&) const = default;
    };

    // Throws Error, saying what a prefix takes, for one discoveryPrefixProblem() refuses.
    explicit Topics(const QString& discoveryPrefix = kDefaultDiscoveryPrefix);

    [[nodiscard]] const QString& discoveryPrefix() const { return prefix_; }

    [[nodiscard]] static QString status(const QString& board);
    [[nodiscard]] static QString reading(const QString& board, int sensor);
    [[nodiscard]] static QString alarm(const QString& board, int sensor, AlarmKind kind);
    [[nodiscard]] static QString limits(const QString& board, int sensor);
    // Home Assistant's ids of a sensor's entity and of an alarm's: calimbra_B_sN, calimbra_B_sN_KIND.
    [[nodiscard]] static QString sensorId(const QString& board, int sensor);
    [[nodiscard]] static QString alarmId(const QString& board, int sensor, AlarmKind kind);
    [[nodiscard]] QString sensorConfig(const QString& board, int sensor) const;
    [[nodiscard]] QString alarmConfig(const QString& board, int sensor, AlarmKind kind) const;
    [[nodiscard]] QString homeAssistantStatus() const;

    // What the monitor subscribes to: every board's status, the sensors' discovery, and one board's
    // readings and alarms.
    [[nodiscard]] static QString statusFilter();
    [[nodiscard]] QString sensorConfigFilter() const;
    [[nodiscard]] static QString readingsFilter(const QString& board);
    [[nodiscard]] static QString alarmsFilter(const QString& board);
    [[nodiscard]] static QString limitsFilter(const QString& board);

    // Which of the topics above this is, and of which board, sensor and alarm.
    [[nodiscard]] Parsed parse(const QString& topic) const;

private:
    [[nodiscard]] Parsed parseDiscovery(QStringView rest) const;

    QString prefix_;
};

// A sensor's limits as data, for whoever watches the board (the monitor draws them): {"low": 5,
// "high": 30, "hysteresis": 0.5, "for": 60, "lost_after": 3}, a limit left out when there is none.
[[nodiscard]] QByteArray limitsJson(const SensorProfile& profile);
// Those of a message, into `profile` (its other fields kept); false when the message is not one.
[[nodiscard]] bool readLimitsJson(const QByteArray& json, SensorProfile& profile);

// Nothing for a Home Assistant discovery prefix that can be used; otherwise what is wrong with it
// and what a prefix takes: one or more topic levels without '+', '#', NUL or control characters,
// neither beginning nor ending with '/', not beginning with '$' (the broker's own topics), at most
// Topics::kLongestDiscoveryPrefix characters.
[[nodiscard]] std::optional<QString> discoveryPrefixProblem(const QString& prefix);

} // namespace calimbra
