// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace calimbra {

// A value is written with the resolution it was measured with: the board says "+22.47", an offset of
// -0.30 is added, and every output writes 22.17, never 22.169999999999998. The digits after the point
// travel with the value (Reading::decimals), and the value is kept as the double nearest its decimal.

// Beyond this many digits after the point a value is not rounded: no sensor resolves that finely.
inline constexpr int kMostDecimals = 6;

// Digits after the decimal mark ('.' or ',') of a number as written: "+22.47" has 2, "85" none.
[[nodiscard]] int decimalsOf(QStringView number);
// Digits after the point of the shortest text that reads back as `value`: -0.3 has 1.
[[nodiscard]] int decimalsOf(double value);

// The double nearest `value` written with `decimals` digits after the point.
[[nodiscard]] double roundedTo(double value, int decimals);

// A value and an offset added at the finer resolution of the two; `decimals` becomes that resolution.
[[nodiscard]] double withOffset(double value, int& decimals, double offset);

// The one text of a value in every output: the shortest that reads back as the same double, with a
// point and never an exponent ("22.17", "-0.5", "85").
[[nodiscard]] QByteArray celsiusText(double value);
[[nodiscard]] inline QString celsiusString(double value)
{
    return QString::fromLatin1(celsiusText(value));
}

} // namespace calimbra
