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

std::optional<AlarmKind> alarmKindFromName(QStringView name)
{
    for (const AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Lost}) {
        if (name == alarmKindName(kind))
            return kind;
    }
    return std::nullopt;
}

} // namespace calimbra
