// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace calimbra {

// The board speaks Windows-1252. Written out here rather than asked of QStringConverter, whose
// support for this code page depends on how Qt was built.

// Characters the code page lacks become '?', one byte per UTF-16 code unit pair or unit.
[[nodiscard]] QByteArray toCp1252(QStringView text);

// Every byte maps to one character; the five bytes the code page leaves undefined map to the
// C1 control of the same value, as Windows does.
[[nodiscard]] QString fromCp1252(QByteArrayView bytes);

} // namespace calimbra
