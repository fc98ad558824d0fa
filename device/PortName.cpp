// SPDX-License-Identifier: MIT
#include "PortName.h"

#include "ComError.h"
#include "PortAdvice.h"
#include "Text.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace calimbra {
namespace {

// Longer than any path the kernel accepts.
constexpr qsizetype kLongestPortName = 4095;
constexpr qsizetype kLongestShownName = 60;

bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

QString systemLocation(const QString& portName)
{
#ifdef Q_OS_WIN
    return portName;
#else
    static const QRegularExpression dosName(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (const auto match = dosName.match(portName); match.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
    if (portName.startsWith(u'/'))
        return portName;
    return QStringLiteral("/dev/") + portName;
#endif
}

QString printablePortName(const QString& portName)
{
    QString shown;
    for (const QChar c : portName) {
        if (shown.size() >= kLongestShownName) {
            shown += QChar(0x2026);
            break;
        }
        if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

void checkPortName(const QString& portName)
{
    if (portName.trimmed().isEmpty())
        throw ComError(withAdvice(tr("No serial port is selected."), portAdvice().choosePort));
    if (portName.size() > kLongestPortName || hasControlCharacter(portName))
        throw ComError(
            withAdvice(tr("\"%1\" is not a valid serial port name.").arg(printablePortName(portName)),
                       portAdvice().choosePort));
}

QString stableName(const QString& systemLocation)
{
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    const QString device = QFileInfo(systemLocation).canonicalFilePath();
    for (const QFileInfo& link : byId.entryInfoList(QDir::Files | QDir::System)) {
        if (link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    }
    return {};
}

} // namespace calimbra
