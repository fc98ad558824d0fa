// SPDX-License-Identifier: MIT
#pragma once

namespace calimbra {

// The layout names Windows fonts. Where they are missing, their metric twins stand in, so that
// captions keep the widths they were designed with.
void installFontSubstitutes();

} // namespace calimbra
