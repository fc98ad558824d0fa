// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QChartView;

namespace calimbra {

class ReadingHistory;
class TemperatureChart;

// What the chart shows, saved by the file's ending: a PNG or SVG picture of the view, or a CSV of
// every reading of its lines in its stretch of time (not the decimated lines), written as the log
// writes them. False when the file could not be written; a file is never left half written.
[[nodiscard]] bool exportChart(const QString& path, QChartView& view, const TemperatureChart& chart,
                               const ReadingHistory& history);

} // namespace calimbra
