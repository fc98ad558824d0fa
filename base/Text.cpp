// SPDX-License-Identifier: MIT
#include "Text.h"

#include <QCoreApplication>

namespace calimbra {

QString tr(const char* text)
{
    return QCoreApplication::translate("calimbra", text);
}

QString printable(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == u'\\')
            shown += QStringLiteral("\\\\");
        else if (code == u'\n')
            shown += QStringLiteral("\\n");
        else if (code == u'\r')
            shown += QStringLiteral("\\r");
        else if (code == u'\t')
            shown += QStringLiteral("\\t");
        else if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0) || code == 0x2028 ||
                 code == 0x2029)
            shown += QStringLiteral("\\x%1").arg(static_cast<int>(code), code > 0xFF ? 4 : 2, 16,
                                                 QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace calimbra
