// SPDX-License-Identifier: MIT
#pragma once

#include "Settings.h"

#include <QList>
#include <QString>

#include <chrono>

namespace calimbra {

// The board's own settings: its port and line, how it is sampled, its name, and what runs at an
// alarm. The outputs list theirs beside themselves.
namespace board_settings {

inline constexpr SettingKey<QString> kPort{"port"};
inline constexpr SettingKey<qint32> kBaud{"baud"};
inline constexpr SettingKey<std::chrono::milliseconds> kTimeout{"timeout"};
inline constexpr SettingKey<std::chrono::milliseconds> kInterval{"interval"};
inline constexpr SettingKey<int> kCount{"count"}; // the command line only
inline constexpr SettingKey<QList<int>> kSensors{"sensors"};
inline constexpr SettingKey<QString> kBoard{"board"};
inline constexpr SettingKey<QString> kOnAlarm{"on_alarm"};

inline constexpr std::chrono::milliseconds kDefaultInterval{10000};

[[nodiscard]] const SettingTable& table();

} // namespace board_settings

// The judge of a board's name, for its setting and for names read from elsewhere (a broker).
[[nodiscard]] QString judgeBoardName(const QString& text);

} // namespace calimbra
