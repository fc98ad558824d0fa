// SPDX-License-Identifier: MIT
#pragma once

#include "OutputKind.h"

namespace calimbra::metrics_output {

inline constexpr SettingKey<QString> kMetrics{"metrics"}; // [HOST:]PORT, as written

// Prometheus metrics served over HTTP: their settings and their sink.
[[nodiscard]] const OutputKind& kind();

} // namespace calimbra::metrics_output
