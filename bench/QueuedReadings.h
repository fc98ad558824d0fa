// SPDX-License-Identifier: MIT
#pragma once

#include "Reading.h"

namespace bench {

// The n-th reading of a day of rounds of nine sensors a second, with now and then one that did not
// answer: what a broker away for a while leaves in the outbox.
inline calimbra::Reading queuedReading(int n)
{
    static const QDateTime start =
        QDateTime::fromString(QStringLiteral("2026-05-01T12:00:00.000-03:00"), Qt::ISODateWithMs);
    calimbra::Reading r;
    r.sensor = 1 + n % 9;
    r.roundStart = start.addSecs(n / 9);
    r.time = r.roundStart.addMSecs(r.sensor * 83);
    r.name = QStringLiteral("C\u00E2mara %1").arg(r.sensor);
    if (n % 50 == 49) {
        r.error = calimbra::ReadError::Timeout;
    } else {
        r.celsius = 18 + (n % 700) / 100.0;
        r.text = QStringLiteral("T%1 = +%2 \u00B0C").arg(r.sensor).arg(*r.celsius, 0, 'f', 2);
    }
    return r;
}

} // namespace bench
