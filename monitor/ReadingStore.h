// SPDX-License-Identifier: MIT
#pragma once

#include "BoardProtocol.h"
#include "ReadingLog.h"

#include <QByteArrayView>
#include <QList>
#include <QPointF>
#include <QString>

#include <array>
#include <bit>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class QIODevice;

namespace calimbra {

// Every reading since Start, or of a log opened, kept compactly in time order per sensor: 12 bytes a
// reading, its time and the index of its value and reply. A value is kept as the exact double the
// board's text or the log gave, so that it is written back digit for digit, and the few distinct
// pairs of value and reply (a sensor's readings repeat them over and over: the value is read from
// the reply) are kept once, as are the reply texts. A week at 1 s of nine sensors takes about
// 65 MB. A reading without a value breaks its sensor's line; a break (the board could not be read)
// breaks every line. A sensor's line also breaks where its readings stop for a while with nothing
// saying so (an older log, a hole a broker left): before a reading that comes more than 2.5 times
// the usual spacing after the one before it. The usual spacing is the middle one of the three
// intervals before, so that a logger's rounds jittering by 10 % never break a line while two rounds
// missed do, and one odd interval (a reading just after another, an earlier hole) changes nothing;
// the longer of two, or the one, while fewer are known; a sensor's first interval, having none
// before it, is judged so against those after it (and joins its first two readings while there are
// none). When the spacing grows for good, the first reading at the new spacing stands alone: a
// single interval cannot tell a new spacing from a hole.
//
// What is drawn is a decimated copy: the lowest and highest value of each pixel column, so no peak is
// lost and no more points than pixels reach the chart. Summaries of blocks of 16, 256 and 4096
// readings let a column spanning hours be judged from a few blocks instead of every reading.
class ReadingStore
{
public:
    // A reply text kept once; 0 is the empty text.
    using TextId = std::uint32_t;

    ReadingStore();

    void clear();

    [[nodiscard]] TextId intern(QByteArrayView utf8);
    // The same, looking first at the text it most likely is (a sensor's last reply).
    [[nodiscard]] TextId intern(QByteArrayView utf8, TextId likely);
    [[nodiscard]] TextId intern(const QString& text);
    [[nodiscard]] const QString& text(TextId id) const { return texts_.at(id); }
    [[nodiscard]] std::size_t textCount() const { return texts_.size(); }

    // A reading taken at a time before the last one (the clock was set back, a log out of order, a
    // replay) goes to its place. One of a sensor at a millisecond already held for it is the same
    // reading again (a log read twice over, a replay overlapping what came live): it is not kept,
    // and the answer is false.
    bool append(int sensor, qint64 ms, std::optional<double> celsius, TextId reply = 0);
    void addBreak(qint64 ms);
    // Room for this many readings of a sensor, so that a long log grows no buffer by copying it.
    void reserve(int sensor, std::size_t readings);

    [[nodiscard]] std::size_t size(int sensor) const { return sensorAt(sensor).ms.size(); }
    [[nodiscard]] std::size_t size() const;
    [[nodiscard]] qint64 time(int sensor, std::size_t index) const { return sensorAt(sensor).ms[index]; }
    [[nodiscard]] std::optional<double> celsius(int sensor, std::size_t index) const;
    [[nodiscard]] TextId reply(int sensor, std::size_t index) const
    {
        return samples_[sampleAt(sensorAt(sensor), index)].reply;
    }
    // The indices of a sensor's readings taken in [from, to].
    [[nodiscard]] std::pair<std::size_t, std::size_t> between(int sensor, qint64 from, qint64 to) const;
    [[nodiscard]] std::optional<qint64> firstTime() const;
    [[nodiscard]] std::optional<qint64> lastTime() const;

    // The readings of these sensors in [from, to], in time order across sensors, as a log has them.
    void forEachBetween(qint64 from, qint64 to, const QList<int>& sensors,
                        const std::function<void(int sensor, std::size_t index)>& visit) const;

    // Those readings written as the log writes them, header first; false when a write fails.
    [[nodiscard]] bool writeLog(QIODevice& out, LogFormat format, qint64 from, qint64 to,
                                const QList<int>& sensors,
                                const std::function<QString(int sensor)>& nameOf) const;

    // The readings in [from, to] reduced to at most two points a column, split into runs that no
    // break, no reading without a value and no stop of the readings interrupts; x is milliseconds
    // since the epoch.
    [[nodiscard]] QList<QList<QPointF>> decimated(int sensor, qint64 from, qint64 to, int columns) const;

private:
    static constexpr std::size_t kFanOut = 16;
    static constexpr int kLevels = 3;
    // The indices of a block's lowest and highest values; kBroken when a reading in it has none or
    // the readings stop inside it (before any but its first), so that its line cannot be drawn from
    // its extremes.
    struct Block
    {
        std::uint32_t low;
        std::uint32_t high;
    };
    static constexpr std::uint32_t kBroken = UINT32_MAX;
    static constexpr std::size_t kMostIndexedSamples = 1 << 16;

    // A reading's sample, its top bit set when the readings stopped before it: a flag costs no byte
    // more a reading, and 2^31 samples would take 32 GiB.
    using SampleId = std::uint32_t;
    static constexpr SampleId kStopsBefore = SampleId{1} << 31;
    struct Sample
    {
        double celsius; // NaN: no value
        TextId reply;
    };
    struct SampleKey
    {
        std::uint64_t celsius; // the double's bits
        TextId reply;
        bool operator==(const SampleKey&) const = default;
    };
    struct SampleKeyHash
    {
        std::size_t operator()(const SampleKey& key) const noexcept
        {
            return std::hash<std::uint64_t>()(key.celsius * 0x9E3779B97F4A7C15ULL ^ key.reply);
        }
    };

    struct Sensor
    {
        std::vector<qint64> ms;
        std::vector<SampleId> sample;
        std::array<std::vector<Block>, kLevels> blocks; // level k: blocks of kFanOut^(k+1) readings
    };

    [[nodiscard]] const Sensor& sensorAt(int sensor) const
    {
        return sensors_.at(static_cast<std::size_t>(sensor - 1));
    }
    [[nodiscard]] Sensor& sensorAt(int sensor) { return sensors_.at(static_cast<std::size_t>(sensor - 1)); }
    [[nodiscard]] static SampleId sampleAt(const Sensor& sensor, std::size_t index)
    {
        return sensor.sample[index] & ~kStopsBefore;
    }
    [[nodiscard]] static bool stops(const Sensor& sensor, std::size_t index)
    {
        return (sensor.sample[index] & kStopsBefore) != 0;
    }
    [[nodiscard]] double value(const Sensor& sensor, std::size_t index) const
    {
        return samples_[sampleAt(sensor, index)].celsius;
    }
    [[nodiscard]] SampleId sampleOf(double celsius, TextId reply, std::optional<SampleId> likely);
    // Inline: it is asked for at every reading added and every block drawn.
    [[nodiscard]] static constexpr std::size_t blockSize(int level)
    {
        std::size_t size = kFanOut;
        for (int i = 0; i < level; ++i)
            size *= kFanOut;
        return size;
    }
    // Whether the readings stop before reading index, from the times alone.
    [[nodiscard]] static bool stopsAt(const std::vector<qint64>& ms, std::size_t index);
    static void markStops(Sensor& sensor, std::size_t from, std::size_t to);
    void summarise(Sensor& sensor, std::size_t from) const;

    std::array<Sensor, board::kMaxSensors> sensors_;
    std::vector<qint64> breaks_; // in time order

    // Texts in UTF-8 (their addresses never move: the index's keys point into them) and as QString.
    std::deque<std::string> utf8_;
    std::vector<QString> texts_;
    std::unordered_map<std::string_view, TextId> index_;
    std::vector<Sample> samples_;
    std::unordered_map<SampleKey, SampleId, SampleKeyHash> sampleIndex_;
};

} // namespace calimbra
