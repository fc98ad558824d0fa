// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringView>

#include <optional>

namespace calimbra {

enum class AlarmKind {
    High, // above the sensor's high limit for its delay
    Low,  // below its low limit for its delay
    Lost, // no value for its number of rounds
};

// "high", "low", "lost": the name used in topics, metrics labels and the hook's environment.
[[nodiscard]] QString alarmKindName(AlarmKind kind);
// The kind of one of those names; nothing for any other text.
[[nodiscard]] std::optional<AlarmKind> alarmKindFromName(QStringView name);

// An alarm raised or cleared; each raise and each clear is announced exactly once.
struct AlarmEvent
{
    QDateTime time;
    int sensor{};
    QString name; // the sensor's name, empty when it has none
    AlarmKind kind{};
    bool raised{};                 // false: cleared
    std::optional<double> celsius; // the value that raised or cleared it, when there was one
};

} // namespace calimbra

Q_DECLARE_METATYPE(calimbra::AlarmEvent)
