// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace calimbra {

// Translates a text of code outside any class, in the one context "calimbra" that lupdate gives
// tr() calls at namespace scope. Classes use their own tr().
[[nodiscard]] QString tr(const char* text);

// Text from a device or a file made safe for a terminal or a tab-separated line: control
// characters, tabs and line ends become visible escapes (\n, \t, \x1B), so a reply cannot move the
// cursor, retitle the terminal or forge a line.
[[nodiscard]] QString printable(const QString& text);

} // namespace calimbra
