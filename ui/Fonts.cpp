// SPDX-License-Identifier: MIT
#include "Fonts.h"

#include <QFont>
#include <QStringList>

namespace calimbra {

void installFontSubstitutes()
{
    // Used only where the named font is missing. Liberation Sans has Arial's metrics and is the
    // closest in width to MS Sans Serif; Arimo is the same design under another name.
    const QStringList twins = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), twins);
    QFont::insertSubstitutions(QStringLiteral("Arial"), twins);
}

} // namespace calimbra
