// SPDX-License-Identifier: MIT
#include "BoardName.h"

#include "PortName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace calimbra {
namespace {

constexpr qsizetype kLongestBoardName = 64;

bool isNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'-';
}

} // namespace

bool isValidBoardName(const QString& name)
{
    return !name.isEmpty() && name.size() <= kLongestBoardName &&
           std::all_of(name.begin(), name.end(), isNameCharacter);
}

QString boardNameFromPort(const QString& portPath, const QString& byIdFolder)
{
    const QString path = systemLocation(portPath);
    QString name = QFileInfo(path).fileName();
    // Given by its stable name, or by a name that resolves to a device a stable name points at too.
    const QString device = QFileInfo(path).canonicalFilePath();
    if (QFileInfo(path).absolutePath() == byIdFolder) {
        name = QFileInfo(path).fileName();
    } else if (!device.isEmpty()) {
        for (const QFileInfo& link : QDir(byIdFolder).entryInfoList(QDir::Files | QDir::System, QDir::Name)) {
            if (link.canonicalFilePath() == device) {
                name = link.fileName();
                break;
            }
        }
    }
    static const QRegularExpression usbParts(QStringLiteral("^usb-|-if\\d+(-port\\d+)?$"));
    name.remove(usbParts);
    for (QChar& c : name) {
        if (!isNameCharacter(c))
            c = u'_';
    }
    if (name.isEmpty())
        name = QStringLiteral("board");
    return name.left(kLongestBoardName);
}

} // namespace calimbra
