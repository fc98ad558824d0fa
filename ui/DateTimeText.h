// SPDX-License-Identifier: MIT
#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace calimbra {

// The separator the locale puts between hours and minutes (":" in most, "." in some).
[[nodiscard]] QString timeSeparator(const QLocale& locale = QLocale::system());

// The clock: hours of the 24-hour day, minutes and seconds, two digits each.
[[nodiscard]] QString clockText(QTime time, const QLocale& locale = QLocale::system());

// A day in the locale's short date format.
[[nodiscard]] QString dateText(QDate date, const QLocale& locale = QLocale::system());

} // namespace calimbra
