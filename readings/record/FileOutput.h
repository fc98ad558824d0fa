// SPDX-License-Identifier: MIT
#pragma once

#include "LogFormat.h"
#include "OutputKind.h"

namespace calimbra::file_output {

inline constexpr SettingKey<QString> kOutput{"output"};
inline constexpr SettingKey<LogFormat> kFormat{"format"};

// The log file (or standard output, when no output at all is named): its settings and its sink.
[[nodiscard]] const OutputKind& kind();

} // namespace calimbra::file_output
