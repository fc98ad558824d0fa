// SPDX-License-Identifier: MIT
#include "Settings.h"

#include "Text.h"

#include <cmath>

namespace calimbra {

void Settings::merge(const Settings& over)
{
    for (const auto& [name, value] : over.values_)
        values_[name] = value;
}

namespace judge {

double number(const QString& text, const QString& takes)
{
    const QString trimmed = text.trimmed();
    if (trimmed.contains(u','))
        throw SettingError(tr("%1 The decimal mark is a point (20.5), and a comma is never a thousands "
                              "separator: write 20000, not 20,000.")
                               .arg(takes));
    bool ok = false;
    // QString's own reading takes no group separators and no locale's marks: "1e3" yes, "1 000" no.
    const double value = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw SettingError(takes);
    return value;
}

double numberBetween(const QString& text, double low, double high, const QString& takes)
{
    const double value = number(text, takes);
    // Written so that NaN fails too: it compares false with everything.
    if (!(value >= low && value <= high))
        throw SettingError(takes);
    return value;
}

qint64 whole64(const QString& text, qint64 low, qint64 high, const QString& takes)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < low || value > high)
        throw SettingError(takes);
    return value;
}

int whole(const QString& text, int low, int high, const QString& takes)
{
    return static_cast<int>(whole64(text, low, high, takes));
}

bool yesOrNo(const QString& text)
{
    const QString word = text.trimmed().toLower();
    if (word == QLatin1String("yes") || word == QLatin1String("true") || word == QLatin1String("on"))
        return true;
    if (word == QLatin1String("no") || word == QLatin1String("false") || word == QLatin1String("off"))
        return false;
    throw SettingError(tr("takes yes or no (true or false, on or off also do)."));
}

QString nonEmpty(const QString& text, const QString& takes)
{
    if (text.trimmed().isEmpty())
        throw SettingError(takes);
    return text;
}

std::chrono::milliseconds seconds(const QString& text, double low, double high)
{
    const double value =
        numberBetween(text, low, high, tr("takes a number of seconds from %1 to %2.").arg(low).arg(high));
    return std::chrono::milliseconds{qRound64(value * 1000)};
}

} // namespace judge

} // namespace calimbra
