// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringView>

#include <optional>

namespace calimbra {

// One answer of the board to a temperature request, as a logger keeps it.
struct Reading
{
    QDateTime time;       // when the reply was received, local time with its UTC offset
    qint64 monotonicMs{}; // the same moment on a clock that no time change moves
    QDateTime roundStart; // shared by every reading of one round
    int sensor{};
    QString text;                  // the reply exactly as the panel shows it
    std::optional<double> celsius; // absent when the text carries no number
};

// The board's replies are text, not numbers: the value is the first signed decimal number after
// the first '=', with a point or a comma as the decimal mark ("T3 = +23.56 °C" gives 23.56,
// "T7 = sem sensor" nothing).
[[nodiscard]] std::optional<double> temperatureValue(QStringView text);

// The sensors a person names, as "1,3,5-7" (spaces allowed); empty text is an empty list, meaning
// every active sensor. Nothing when a part is not a sensor from 1 to 9 or a range of them.
[[nodiscard]] std::optional<QList<int>> sensorList(const QString& text);

} // namespace calimbra

Q_DECLARE_METATYPE(calimbra::Reading)
