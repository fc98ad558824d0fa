// SPDX-License-Identifier: MIT
#include "Celsius.h"

#include <array>
#include <charconv>
#include <cmath>

namespace calimbra {

int decimalsOf(QStringView number)
{
    qsizetype mark = number.indexOf(u'.');
    if (mark < 0)
        mark = number.indexOf(u',');
    if (mark < 0)
        return 0;
    int digits = 0;
    for (qsizetype at = mark + 1; at < number.size() && number[at] >= u'0' && number[at] <= u'9'; ++at)
        ++digits;
    return digits;
}

int decimalsOf(double value)
{
    return decimalsOf(QString::fromLatin1(celsiusText(value)));
}

double roundedTo(double value, int decimals)
{
    if (decimals < 0 || decimals > kMostDecimals || !std::isfinite(value))
        return value;
    const double scale = std::pow(10.0, decimals);
    // Both are whole numbers held exactly, so the division gives the double nearest the decimal.
    const double rounded = std::round(value * scale) / scale;
    return rounded == 0 ? 0.0 : rounded; // never "-0"
}

double withOffset(double value, int& decimals, double offset)
{
    if (offset == 0)
        return value;
    decimals = std::max(decimals, decimalsOf(offset));
    return roundedTo(value + offset, decimals);
}

QByteArray celsiusText(double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? QByteArrayLiteral("NaN") : value > 0 ? "+Inf" : "-Inf";
    if (value == 0)
        return QByteArrayLiteral("0");
    std::array<char, 400> text{}; // room for the widest double written without an exponent
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return QByteArray(text.data(), written.ptr - text.data());
}

} // namespace calimbra
