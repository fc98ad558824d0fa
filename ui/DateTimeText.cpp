// SPDX-License-Identifier: MIT
#include "DateTimeText.h"

namespace calimbra {

QString timeSeparator(const QLocale& locale)
{
    // Whatever the short time format puts between its hour field and the next field.
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    qsizetype at = 0;
    while (at < format.size() && format[at] != u'h' && format[at] != u'H')
        ++at;
    while (at < format.size() && (format[at] == u'h' || format[at] == u'H'))
        ++at;
    QString separator;
    for (; at < format.size() && !format[at].isLetter(); ++at) {
        if (format[at] != u'\'')
            separator += format[at];
    }
    return separator.isEmpty() ? QStringLiteral(":") : separator;
}

QString clockText(QTime time, const QLocale& locale)
{
    const QString separator = timeSeparator(locale);
    const QString quoted = QLatin1Char('\'') + separator + QLatin1Char('\'');
    return locale.toString(time, QStringLiteral("HH") + quoted + QStringLiteral("mm") + quoted +
                                     QStringLiteral("ss"));
}

QString dateText(QDate date, const QLocale& locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}

} // namespace calimbra
