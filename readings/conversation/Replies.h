// SPDX-License-Identifier: MIT
#pragma once

#include "Reading.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace calimbra {

// How a logger reads the board's replies. The panel judges a reply by its length and a few fixed
// bytes of a 15-byte buffer; a logger takes all that arrived up to the line's quiet gap, so that no
// reply is cut or mistaken for noise by its length, and checks which sensor a reply names.

// A board's reply is 11 to 15 bytes; anything up to this is kept whole, the rest of a longer burst
// is read and dropped, and what was kept counts as garbled.
inline constexpr qsizetype kLongestReply = 256;

// What arrived at once, split where a temperature reply begins after another ("T" and a digit), so
// that a late reply and the one awaited arriving together are told apart.
[[nodiscard]] QList<QByteArray> splitReplies(QByteArrayView bytes);

[[nodiscard]] bool isTemperatureReply(QByteArrayView reply);

// The sensor a temperature reply names: "T3 = ..." names 3; "T = ..." or "Tx" none.
[[nodiscard]] std::optional<int> namedSensor(QByteArrayView reply);

struct TemperatureAnswer
{
    int sensor{};
    QString text;                   // the reply; control bytes escaped when garbled
    std::optional<double> celsius;  // absent when the reply carries no number or is garbled
    int decimals{};                 // digits after the decimal mark of that number
    std::optional<ReadError> error; // Garbled, NoValue, or none
};

// A temperature reply read for `sensor`: its text and value. A reply with bytes after a zero byte,
// or one cut at kLongestReply (`cut`), is garbled: no value, its text shown escaped. Zero bytes at the
// end are the firmware's string end and are dropped.
[[nodiscard]] TemperatureAnswer judgeTemperature(int sensor, QByteArrayView reply, bool cut = false);

struct CountAnswer
{
    QString text;
    std::optional<int> count; // 0 to 9; absent when the number after "=" is missing or out of range
};

// What to say of a sensor-count reply without a count, and of one counting no sensor.
[[nodiscard]] QString noCountMessage(const CountAnswer& answer);
[[nodiscard]] QString noSensorsMessage(const CountAnswer& answer);

// A sensor-count reply ("SN° =4 sens"): the whole number after the first "=". Nothing when the
// bytes are not such a reply at all (no "=", or a temperature reply).
[[nodiscard]] std::optional<CountAnswer> judgeCount(QByteArrayView reply);

} // namespace calimbra
