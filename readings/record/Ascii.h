// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>

namespace calimbra::ascii {

// Logs are read byte by byte, millions of lines at a time: these never ask the locale.
[[nodiscard]] constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

[[nodiscard]] constexpr bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

[[nodiscard]] inline QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isSpace(text.back()))
        text.chop(1);
    return text;
}

} // namespace calimbra::ascii
