// SPDX-License-Identifier: MIT
#include "ReadingStore.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace calimbra {

void ReadingStore::clear()
{
    for (auto& points : points_)
        points.clear();
    for (auto& blocks : blocks_)
        blocks.clear();
    breaks_.clear();
}

void ReadingStore::append(int sensor, qint64 ms, double celsius)
{
    auto& points = points_.at(static_cast<std::size_t>(sensor - 1));
    const Point point{ms, static_cast<float>(celsius)};
    if (points.empty() || points.back().ms <= ms) {
        points.push_back(point);
        summarise(sensor, points.size() - 1);
        return;
    }
    const auto at = std::upper_bound(points.begin(), points.end(), ms,
                                     [](qint64 time, const Point& p) { return time < p.ms; });
    const auto index = static_cast<std::size_t>(at - points.begin());
    points.insert(at, point);
    summarise(sensor, index);
}

void ReadingStore::summarise(int sensor, std::size_t from)
{
    const auto& points = points_.at(static_cast<std::size_t>(sensor - 1));
    auto& blocks = blocks_.at(static_cast<std::size_t>(sensor - 1));
    blocks.resize(from / kBlock);
    for (std::size_t start = blocks.size() * kBlock; start < points.size(); start += kBlock) {
        Block block{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(start)};
        for (std::size_t i = start; i < std::min(points.size(), start + kBlock); ++i) {
            if (points[i].celsius < points[block.low].celsius)
                block.low = static_cast<std::uint32_t>(i);
            if (points[i].celsius > points[block.high].celsius)
                block.high = static_cast<std::uint32_t>(i);
        }
        blocks.push_back(block);
    }
}

void ReadingStore::addBreak(qint64 ms)
{
    breaks_.insert(std::upper_bound(breaks_.begin(), breaks_.end(), ms), ms);
}

const std::vector<ReadingStore::Point>& ReadingStore::points(int sensor) const
{
    return points_.at(static_cast<std::size_t>(sensor - 1));
}

std::optional<qint64> ReadingStore::firstTime() const
{
    std::optional<qint64> first;
    for (const auto& points : points_) {
        if (!points.empty() && (!first || points.front().ms < *first))
            first = points.front().ms;
    }
    return first;
}

std::optional<qint64> ReadingStore::lastTime() const
{
    std::optional<qint64> last;
    for (const auto& points : points_) {
        if (!points.empty() && (!last || points.back().ms > *last))
            last = points.back().ms;
    }
    return last;
}

QList<QList<QPointF>> ReadingStore::decimated(int sensor, qint64 from, qint64 to, int columns) const
{
    QList<QList<QPointF>> runs;
    const auto& points = this->points(sensor);
    if (points.empty() || to < from || columns <= 0)
        return runs;
    const auto byTime = [](const Point& p, qint64 time) { return p.ms < time; };
    auto first = static_cast<std::size_t>(std::lower_bound(points.begin(), points.end(), from, byTime) -
                                          points.begin());
    auto last =
        static_cast<std::size_t>(std::upper_bound(points.begin(), points.end(), to,
                                                  [](qint64 time, const Point& p) { return time < p.ms; }) -
                                 points.begin());
    // One point either side of the window, so lines run to its edges.
    if (first > 0)
        --first;
    if (last < points.size())
        ++last;

    const double span = std::max<double>(1.0, static_cast<double>(to - from));
    const auto columnOf = [&](qint64 ms) {
        return static_cast<qint64>(std::floor(static_cast<double>(ms - from) / span * columns));
    };
    const auto& blocks = blocks_.at(static_cast<std::size_t>(sensor - 1));
    auto nextBreak = std::lower_bound(breaks_.begin(), breaks_.end(), first < last ? points[first].ms : to);
    QList<QPointF> run;
    qint64 column = std::numeric_limits<qint64>::min();
    const Point* low = nullptr;
    const Point* high = nullptr;
    const auto flush = [&] {
        if (!low)
            return;
        // In time order, so the line goes through both extremes without doubling back.
        const Point* firstOf = low->ms <= high->ms ? low : high;
        const Point* secondOf = firstOf == low ? high : low;
        run.append(QPointF(static_cast<double>(firstOf->ms), firstOf->celsius));
        if (secondOf != firstOf)
            run.append(QPointF(static_cast<double>(secondOf->ms), secondOf->celsius));
        low = high = nullptr;
    };
    const auto take = [&](const Point& point) {
        if (!low || point.celsius < low->celsius)
            low = &point;
        if (!high || point.celsius > high->celsius)
            high = &point;
    };
    for (std::size_t i = first; i < last;) {
        const Point& point = points[i];
        if (nextBreak != breaks_.end() && *nextBreak <= point.ms) {
            flush();
            if (!run.isEmpty())
                runs.append(std::exchange(run, {}));
            while (nextBreak != breaks_.end() && *nextBreak <= point.ms)
                ++nextBreak;
        }
        const qint64 c = columnOf(point.ms);
        if (c != column) {
            flush();
            column = c;
        }
        // A whole block inside this column, with no break in it, counts by its extremes alone.
        const std::size_t blockEnd = i + kBlock;
        if (i % kBlock == 0 && blockEnd <= last && i / kBlock < blocks.size() &&
            columnOf(points[blockEnd - 1].ms) == c &&
            (nextBreak == breaks_.end() || *nextBreak > points[blockEnd - 1].ms)) {
            take(points[blocks[i / kBlock].low]);
            take(points[blocks[i / kBlock].high]);
            i = blockEnd;
            continue;
        }
        take(point);
        ++i;
    }
    flush();
    if (!run.isEmpty())
        runs.append(run);
    return runs;
}

} // namespace calimbra
