// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QtGlobal>

namespace calimbra {

// Colours as the panel's layout and handlers name them: 0x00BBGGRR, red in the low byte.
using TColor = quint32;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGray = 0x808080;

[[nodiscard]] constexpr QRgb toRgb(TColor color)
{
    return qRgb(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

[[nodiscard]] inline QColor toQColor(TColor color)
{
    return QColor::fromRgb(toRgb(color));
}

} // namespace calimbra
