// SPDX-License-Identifier: MIT
#include "ReadingStore.h"

#include <QDateTime>
#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace calimbra {
namespace {

constexpr qsizetype kWriteChunk = 1024 * 1024;
// The local offset is looked up once for each quarter of an hour, the finest step zones change by.
constexpr qint64 kOffsetBucketMs = 15 * 60 * 1000;
// Readings stop when an interval is more than kStopTimes / kStopPer times the usual spacing.
constexpr qint64 kStopTimes = 5;
constexpr qint64 kStopPer = 2;
// A reading's stop depends on the intervals of this many readings before it (and the first
// interval's on as many after it): those are looked at again when one is added.
constexpr std::size_t kStopReach = 4;

} // namespace

ReadingStore::ReadingStore()
{
    clear();
}

void ReadingStore::clear()
{
    sensors_ = {};
    breaks_.clear();
    index_.clear();
    utf8_.clear();
    texts_.clear();
    utf8_.emplace_back();
    texts_.emplace_back();
    index_.emplace(std::string_view(utf8_.back()), 0);
    samples_.clear();
    sampleIndex_.clear();
}

ReadingStore::TextId ReadingStore::intern(QByteArrayView utf8)
{
    const std::string_view key(utf8.data(), static_cast<std::size_t>(utf8.size()));
    if (const auto found = index_.find(key); found != index_.end())
        return found->second;
    const auto id = static_cast<TextId>(texts_.size());
    utf8_.emplace_back(key);
    texts_.push_back(QString::fromUtf8(utf8));
    index_.emplace(std::string_view(utf8_.back()), id);
    return id;
}

ReadingStore::TextId ReadingStore::intern(QByteArrayView utf8, TextId likely)
{
    const std::string& text = utf8_.at(likely);
    if (text.size() == static_cast<std::size_t>(utf8.size()) &&
        std::equal(text.begin(), text.end(), utf8.begin()))
        return likely;
    return intern(utf8);
}

ReadingStore::TextId ReadingStore::intern(const QString& text)
{
    return intern(QByteArrayView(text.toUtf8()));
}

ReadingStore::SampleId ReadingStore::sampleOf(double celsius, TextId reply, std::optional<SampleId> likely)
{
    const SampleKey key{std::bit_cast<std::uint64_t>(celsius), reply};
    if (likely) {
        const Sample& sample = samples_[*likely];
        if (SampleKey{std::bit_cast<std::uint64_t>(sample.celsius), sample.reply} == key)
            return *likely;
    }
    if (const auto found = sampleIndex_.find(key); found != sampleIndex_.end())
        return found->second;
    // Values that do not come from their replies (computed ones) would make every pair new: past a
    // bound they are kept as they come, 16 bytes more a reading, and the index stops growing.
    const auto id = static_cast<SampleId>(samples_.size());
    samples_.push_back({celsius, reply});
    if (sampleIndex_.size() < kMostIndexedSamples)
        sampleIndex_.emplace(key, id);
    return id;
}

bool ReadingStore::append(int sensor, qint64 ms, std::optional<double> celsius, TextId reply)
{
    Sensor& s = sensorAt(sensor);
    std::size_t index = s.ms.size();
    if (!s.ms.empty() && ms <= s.ms.back()) {
        const auto at = std::lower_bound(s.ms.begin(), s.ms.end(), ms);
        if (*at == ms)
            return false;
        index = static_cast<std::size_t>(at - s.ms.begin());
    }
    const SampleId sample =
        sampleOf(celsius.value_or(std::numeric_limits<double>::quiet_NaN()), reply,
                 s.sample.empty() ? std::nullopt : std::optional(sampleAt(s, s.sample.size() - 1)));
    if (index == s.ms.size() && index > kStopReach) {
        // In time order, as nearly all come: only the new reading's stop is to be judged.
        s.ms.push_back(ms);
        s.sample.push_back(stopsAt(s.ms, index) ? sample | kStopsBefore : sample);
        summarise(s, index);
        return true;
    }
    if (index == s.ms.size()) {
        s.ms.push_back(ms);
        s.sample.push_back(sample);
    } else {
        s.ms.insert(s.ms.begin() + static_cast<std::ptrdiff_t>(index), ms);
        s.sample.insert(s.sample.begin() + static_cast<std::ptrdiff_t>(index), sample);
    }
    // The first interval is judged by those after it: a reading among the first changes it.
    const std::size_t from = index <= kStopReach ? std::min<std::size_t>(index, 1) : index;
    markStops(s, from, std::min(s.ms.size(), index + kStopReach + 1));
    summarise(s, from);
    return true;
}

bool ReadingStore::stopsAt(const std::vector<qint64>& ms, std::size_t index)
{
    const auto interval = [&](std::size_t i) { return ms[i] - ms[i - 1]; };
    qint64 usual = 0;
    if (index >= kStopReach) {
        // The middle one of the three intervals before.
        const qint64 a = interval(index - 1);
        const qint64 b = interval(index - 2);
        const qint64 c = interval(index - 3);
        usual = std::max(std::min(a, b), std::min(std::max(a, b), c));
    } else if (index >= 2) {
        // The longer of two, or the one known.
        usual = index == 2 ? interval(1) : std::max(interval(1), interval(2));
    } else if (index == 1 && ms.size() > 2) {
        // The first interval against those after it, up to three.
        std::array<qint64, 3> after{};
        std::size_t count = 0;
        for (std::size_t i = 2; i < ms.size() && count < after.size(); ++i)
            after.at(count++) = interval(i);
        std::sort(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(count));
        usual = after.at(count / 2);
    } else {
        return false;
    }
    return interval(index) * kStopPer > usual * kStopTimes;
}

void ReadingStore::markStops(Sensor& sensor, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i) {
        SampleId& sample = sensor.sample[i];
        sample = stopsAt(sensor.ms, i) ? sample | kStopsBefore : sample & ~kStopsBefore;
    }
}

void ReadingStore::summarise(Sensor& sensor, std::size_t from) const
{
    const std::size_t count = sensor.ms.size();
    for (int level = 0; level < kLevels; ++level) {
        const std::size_t size = blockSize(level);
        auto& blocks = sensor.blocks.at(static_cast<std::size_t>(level));
        blocks.resize(std::min(blocks.size(), from / size));
        for (std::size_t b = blocks.size(); (b + 1) * size <= count; ++b) {
            Block block{kBroken, kBroken};
            bool broken = false;
            const auto take = [&](std::uint32_t low, std::uint32_t high) {
                if (block.low == kBroken || value(sensor, low) < value(sensor, block.low))
                    block.low = low;
                if (block.high == kBroken || value(sensor, high) > value(sensor, block.high))
                    block.high = high;
            };
            // A stop before a block's first reading is not inside it.
            if (level == 0) {
                for (std::size_t i = b * size; i < (b + 1) * size && !broken; ++i) {
                    broken = std::isnan(value(sensor, i)) || (i != b * size && stops(sensor, i));
                    take(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i));
                }
            } else {
                const std::size_t partSize = size / kFanOut;
                const auto& parts = sensor.blocks.at(static_cast<std::size_t>(level - 1));
                for (std::size_t p = b * kFanOut; p < (b + 1) * kFanOut && !broken; ++p) {
                    broken = parts[p].low == kBroken || (p != b * kFanOut && stops(sensor, p * partSize));
                    if (!broken)
                        take(parts[p].low, parts[p].high);
                }
            }
            blocks.push_back(broken ? Block{kBroken, kBroken} : block);
        }
    }
}

void ReadingStore::reserve(int sensor, std::size_t readings)
{
    Sensor& s = sensorAt(sensor);
    s.ms.reserve(readings);
    s.sample.reserve(readings);
}

void ReadingStore::addBreak(qint64 ms)
{
    breaks_.insert(std::upper_bound(breaks_.begin(), breaks_.end(), ms), ms);
}

std::size_t ReadingStore::size() const
{
    return std::accumulate(sensors_.begin(), sensors_.end(), std::size_t{0},
                           [](std::size_t sum, const Sensor& s) { return sum + s.ms.size(); });
}

std::optional<double> ReadingStore::celsius(int sensor, std::size_t index) const
{
    const double celsius = value(sensorAt(sensor), index);
    return std::isnan(celsius) ? std::nullopt : std::optional<double>(celsius);
}

std::pair<std::size_t, std::size_t> ReadingStore::between(int sensor, qint64 from, qint64 to) const
{
    const auto& ms = sensorAt(sensor).ms;
    const auto first = std::lower_bound(ms.begin(), ms.end(), from);
    const auto last = std::upper_bound(first, ms.end(), to);
    return {static_cast<std::size_t>(first - ms.begin()), static_cast<std::size_t>(last - ms.begin())};
}

std::optional<qint64> ReadingStore::firstTime() const
{
    std::optional<qint64> first;
    for (const Sensor& s : sensors_) {
        if (!s.ms.empty() && (!first || s.ms.front() < *first))
            first = s.ms.front();
    }
    return first;
}

std::optional<qint64> ReadingStore::lastTime() const
{
    std::optional<qint64> last;
    for (const Sensor& s : sensors_) {
        if (!s.ms.empty() && (!last || s.ms.back() > *last))
            last = s.ms.back();
    }
    return last;
}

void ReadingStore::forEachBetween(qint64 from, qint64 to, const QList<int>& sensors,
                                  const std::function<void(int, std::size_t)>& visit) const
{
    struct Cursor
    {
        int sensor;
        std::size_t at;
        std::size_t end;
    };
    std::vector<Cursor> cursors;
    for (const int sensor : sensors) {
        const auto [first, last] = between(sensor, from, to);
        if (first < last)
            cursors.push_back({sensor, first, last});
    }
    // Nine cursors at most: the earliest is found by looking at each.
    while (!cursors.empty()) {
        auto next = cursors.begin();
        for (auto c = cursors.begin() + 1; c != cursors.end(); ++c) {
            const qint64 t = time(c->sensor, c->at);
            const qint64 best = time(next->sensor, next->at);
            if (t < best || (t == best && c->sensor < next->sensor))
                next = c;
        }
        visit(next->sensor, next->at);
        if (++next->at == next->end)
            cursors.erase(next);
    }
}

bool ReadingStore::writeLog(QIODevice& out, LogFormat format, qint64 from, qint64 to,
                            const QList<int>& sensors, const std::function<QString(int)>& nameOf) const
{
    QByteArray chunk = logHeader(format);
    bool written = true;
    qint64 bucket = std::numeric_limits<qint64>::min();
    int offset = 0;
    Reading reading;
    forEachBetween(from, to, sensors, [&](int sensor, std::size_t index) {
        if (!written)
            return;
        const qint64 ms = time(sensor, index);
        if (ms / kOffsetBucketMs != bucket) {
            bucket = ms / kOffsetBucketMs;
            offset = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
        }
        // In local time with its offset, as the logger writes it.
        reading.time = QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
        reading.sensor = sensor;
        reading.name = nameOf(sensor);
        reading.celsius = celsius(sensor, index);
        reading.text = text(reply(sensor, index));
        chunk += formatReading(reading, format);
        if (chunk.size() >= kWriteChunk) {
            written = out.write(chunk) == chunk.size();
            chunk.clear();
        }
    });
    return written && out.write(chunk) == chunk.size();
}

QList<QList<QPointF>> ReadingStore::decimated(int sensor, qint64 from, qint64 to, int columns) const
{
    QList<QList<QPointF>> runs;
    const Sensor& s = sensorAt(sensor);
    if (s.ms.empty() || to < from || columns <= 0)
        return runs;
    auto [first, last] = between(sensor, from, to);
    // One reading either side of the window, so lines run to its edges.
    if (first > 0)
        --first;
    if (last < s.ms.size())
        ++last;

    const double span = std::max<double>(1.0, static_cast<double>(to - from));
    const auto columnOf = [&](qint64 ms) {
        return static_cast<qint64>(std::floor(static_cast<double>(ms - from) / span * columns));
    };
    auto nextBreak = std::lower_bound(breaks_.begin(), breaks_.end(), first < last ? s.ms[first] : to);
    QList<QPointF> run;
    qint64 column = std::numeric_limits<qint64>::min();
    std::optional<std::size_t> low;
    std::optional<std::size_t> high;
    const auto flush = [&] {
        if (!low)
            return;
        // In time order, so the line goes through both extremes without doubling back.
        const std::size_t earlier = std::min(*low, *high);
        const std::size_t later = std::max(*low, *high);
        run.append(QPointF(static_cast<double>(s.ms[earlier]), value(s, earlier)));
        if (later != earlier)
            run.append(QPointF(static_cast<double>(s.ms[later]), value(s, later)));
        low.reset();
        high.reset();
    };
    const auto endRun = [&] {
        flush();
        if (!run.isEmpty())
            runs.append(std::exchange(run, {}));
    };
    const auto take = [&](std::size_t lowest, std::size_t highest) {
        if (!low || value(s, lowest) < value(s, *low))
            low = lowest;
        if (!high || value(s, highest) > value(s, *high))
            high = highest;
    };
    const auto breakBy = [&](qint64 ms) { return nextBreak != breaks_.end() && *nextBreak <= ms; };

    for (std::size_t i = first; i < last;) {
        const qint64 ms = s.ms[i];
        if (breakBy(ms) || stops(s, i)) {
            endRun();
            while (breakBy(ms))
                ++nextBreak;
        }
        if (std::isnan(value(s, i))) {
            endRun();
            ++i;
            continue;
        }
        const qint64 c = columnOf(ms);
        if (c != column) {
            flush();
            column = c;
        }
        // The largest whole block starting here that lies in this column, with no break, no reading
        // without a value and no stop in it, counts by its extremes alone.
        std::size_t next = i + 1;
        for (int level = kLevels - 1; level >= 0; --level) {
            const std::size_t size = blockSize(level);
            const auto& blocks = s.blocks.at(static_cast<std::size_t>(level));
            if (i % size != 0 || i + size > last || i / size >= blocks.size())
                continue;
            const Block& block = blocks[i / size];
            const qint64 end = s.ms[i + size - 1];
            if (block.low == kBroken || columnOf(end) != c || breakBy(end))
                continue;
            take(block.low, block.high);
            next = i + size;
            break;
        }
        if (next == i + 1)
            take(i, i);
        i = next;
    }
    endRun();
    return runs;
}

} // namespace calimbra
