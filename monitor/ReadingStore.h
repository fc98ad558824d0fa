// SPDX-License-Identifier: MIT
#pragma once

#include "BoardProtocol.h"

#include <QList>
#include <QPointF>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace calimbra {

// Every reading since Start, kept compactly (12 bytes each: 24 h at 1 s of nine sensors is 9 MB),
// in time order per sensor, with the breaks where the line was down. What is drawn is a decimated
// copy: the lowest and highest value of each pixel column, so no peak is lost and no more points
// than pixels reach the chart.
class ReadingStore
{
public:
    struct Point
    {
        qint64 ms; // milliseconds since the epoch
        float celsius;
    };

    void clear();
    // A reading taken at a time before the last one (the clock was set back) goes to its place.
    void append(int sensor, qint64 ms, double celsius);
    // No line is drawn across this moment: the board could not be read.
    void addBreak(qint64 ms);

    [[nodiscard]] const std::vector<Point>& points(int sensor) const;
    [[nodiscard]] std::optional<qint64> firstTime() const;
    [[nodiscard]] std::optional<qint64> lastTime() const;

    // The readings in [from, to] reduced to at most two points a column, split into runs that no
    // break interrupts; x is milliseconds since the epoch.
    [[nodiscard]] QList<QList<QPointF>> decimated(int sensor, qint64 from, qint64 to, int columns) const;

private:
    // The lowest and highest of each run of kBlock readings, so that drawing a day at a few points
    // a pixel column visits blocks, not every reading.
    static constexpr std::size_t kBlock = 16;
    struct Block
    {
        std::uint32_t low;
        std::uint32_t high;
    };
    void summarise(int sensor, std::size_t from);

    std::array<std::vector<Point>, board::kMaxSensors> points_;
    std::array<std::vector<Block>, board::kMaxSensors> blocks_;
    std::vector<qint64> breaks_; // in time order
};

} // namespace calimbra
