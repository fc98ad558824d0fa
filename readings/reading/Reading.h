// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace calimbra {

// Why a reading has no value. Each is counted apart (the metrics' read errors by kind).
enum class ReadError {
    Timeout,      // the sensor did not answer within the time-out
    Garbled,      // the reply was cut by a zero byte or ran past the longest reply
    NoValue,      // the reply carries no number ("T7 = sem sensor")
    PowerOn,      // 85.0 °C out of nowhere: a DS18B20 read before its first conversion
    Disconnected, // -127.0 °C: the firmware's value for a sensor that did not answer
    // A round that could not be taken at all: every sensor expected gets a reading saying why.
    PortUnavailable, // the port could not be opened, or a request could not be written
    LineLost,        // the line failed (an adapter pulled, a hang-up)
    NoReply,         // the board gave no reply that could be read
};

// Every kind, in the order outputs list them.
inline constexpr std::array kReadErrors{
    ReadError::Timeout,      ReadError::Garbled,         ReadError::NoValue,  ReadError::PowerOn,
    ReadError::Disconnected, ReadError::PortUnavailable, ReadError::LineLost, ReadError::NoReply};

// The name outputs use for the kind: "timeout", "garbled", "no_value", "power_on", "disconnected",
// "port_unavailable", "line_lost", "no_reply".
[[nodiscard]] QString readErrorName(ReadError error);
// The kind a name of readErrorName() stands for, blanks around it allowed; nothing for any other text.
[[nodiscard]] std::optional<ReadError> readErrorFromName(QByteArrayView name);

// One answer of the board to a temperature request (or its absence), as a logger keeps it.
struct Reading
{
    QDateTime time;       // when the reply was received, local time with its UTC offset
    qint64 monotonicMs{}; // the same moment on a clock that no time change moves
    QDateTime roundStart; // shared by every reading of one round
    int sensor{};
    QString name;                   // the sensor's name in the board's profile; empty when it has none
    QString text;                   // the reply as received (control bytes escaped); empty: no reply
    std::optional<double> celsius;  // the value, calibrated; absent when there is none
    std::optional<ReadError> error; // why there is no value
    int decimals{};                 // digits after the point the value is measured to ("+22.47": 2)
};

// The board's replies are text, not numbers: the value is the first signed decimal number after
// the first '=', with a point or a comma as the decimal mark ("T3 = +23.56 °C" gives 23.56,
// "T7 = sem sensor" nothing). `decimals`, when given, gets the digits after its decimal mark.
[[nodiscard]] std::optional<double> temperatureValue(QStringView text, int* decimals = nullptr);

// The sensors a person names, as "1,3,5-7" (spaces allowed); empty text is an empty list, meaning
// every active sensor. Nothing when a part is not a sensor from 1 to 9 or a range of them.
[[nodiscard]] std::optional<QList<int>> sensorList(const QString& text);

} // namespace calimbra

Q_DECLARE_METATYPE(calimbra::Reading)
