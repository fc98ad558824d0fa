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
// breaks every line.
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

    // A reading taken at a time before the last one (the clock was set back, a log out of order)
    // goes to its place.
    void append(int sensor, qint64 ms, std::optional<double> celsius, TextId reply = 0);
    void addBreak(qint64 ms);
    // Room for this many readings of a sensor, so that a long log grows no buffer by copying it.
    void reserve(int sensor, std::size_t readings);

    [[nodiscard]] std::size_t size(int sensor) const { return sensorAt(sensor).ms.size(); }
    [[nodiscard]] std::size_t size() const;
    [[nodiscard]] qint64 time(int sensor, std::size_t index) const { return sensorAt(sensor).ms[index]; }
    [[nodiscard]] std::optional<double> celsius(int sensor, std::size_t index) const;
    [[nodiscard]] TextId reply(int sensor, std::size_t index) const
    {
        return samples_[sensorAt(sensor).sample[index]].reply;
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
    // break and no reading without a value interrupts; x is milliseconds since the epoch.
    [[nodiscard]] QList<QList<QPointF>> decimated(int sensor, qint64 from, qint64 to, int columns) const;

private:
    static constexpr std::size_t kFanOut = 16;
    static constexpr int kLevels = 3;
    // The indices of a block's lowest and highest values; kHasGap when a reading in it has none.
    struct Block
    {
        std::uint32_t low;
        std::uint32_t high;
    };
    static constexpr std::uint32_t kHasGap = UINT32_MAX;
    static constexpr std::size_t kMostIndexedSamples = 1 << 16;

    using SampleId = std::uint32_t;
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
    [[nodiscard]] double value(const Sensor& sensor, std::size_t index) const
    {
        return samples_[sensor.sample[index]].celsius;
    }
    [[nodiscard]] SampleId sampleOf(double celsius, TextId reply, std::optional<SampleId> likely);
    static std::size_t blockSize(int level);
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
