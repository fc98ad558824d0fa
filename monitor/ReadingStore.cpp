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
    breaks_.clear();
}

void ReadingStore::append(int sensor, qint64 ms, double celsius)
{
    auto& points = points_.at(static_cast<std::size_t>(sensor - 1));
    const Point point{ms, static_cast<float>(celsius)};
    if (points.empty() || points.back().ms <= ms) {
        points.push_back(point);
        return;
    }
    const auto at = std::upper_bound(points.begin(), points.end(), ms,
                                     [](qint64 time, const Point& p) { return time < p.ms; });
    points.insert(at, point);
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
    auto it = std::lower_bound(points.begin(), points.end(), from, byTime);
    const auto end = std::upper_bound(points.begin(), points.end(), to,
                                      [](qint64 time, const Point& p) { return time < p.ms; });
    // One point either side of the window, so lines run to its edges.
    if (it != points.begin())
        --it;
    const auto last = end == points.end() ? end : end + 1;

    const double span = std::max<double>(1.0, static_cast<double>(to - from));
    auto nextBreak = std::upper_bound(breaks_.begin(), breaks_.end(), it == last ? to : it->ms - 1);
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
    for (; it != last; ++it) {
        if (nextBreak != breaks_.end() && *nextBreak <= it->ms) {
            flush();
            if (!run.isEmpty())
                runs.append(std::exchange(run, {}));
            while (nextBreak != breaks_.end() && *nextBreak <= it->ms)
                ++nextBreak;
        }
        const auto c = static_cast<qint64>(std::floor((static_cast<double>(it->ms - from)) / span * columns));
        if (c != column) {
            flush();
            column = c;
        }
        if (!low || it->celsius < low->celsius)
            low = &*it;
        if (!high || it->celsius > high->celsius)
            high = &*it;
    }
    flush();
    if (!run.isEmpty())
        runs.append(run);
    return runs;
}

} // namespace calimbra
