// SPDX-License-Identifier: MIT
#include "Alarm.h"

namespace calimbra {

QString alarmKindName(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::High:
        return QStringLiteral("high");
    case AlarmKind::Low:
        return QStringLiteral("low");
    case AlarmKind::Lost:
        return QStringLiteral("lost");
    }
    return {};
}

} // namespace calimbra
