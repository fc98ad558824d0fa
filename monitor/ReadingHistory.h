// SPDX-License-Identifier: MIT
#pragma once

#include "LogReader.h"
#include "ReadingStore.h"
#include "SensorStats.h"

#include <QObject>

#include <array>
#include <bitset>
#include <memory>
#include <optional>

namespace calimbra {

// What the monitor shows: the readings and each sensor's statistics, taken from a sampling session
// as they come or read back from a log, which is then followed as it grows.
class ReadingHistory : public QObject
{
    Q_OBJECT

public:
    using Sensors = std::bitset<board::kMaxSensors>;

    [[nodiscard]] const ReadingStore& store() const { return store_; }
    [[nodiscard]] const SensorStats& stats() const { return stats_; }
    [[nodiscard]] const LogReader* log() const { return log_.get(); }
    // How much of the log is read, while it is first read.
    [[nodiscard]] std::optional<int> loadingPercent() const { return loadingPercent_; }

    // Forgets every reading, and the log.
    void clear();
    // A reading of a sensor at a millisecond already held is the same one again: it is not taken,
    // and the answer is false.
    bool take(const Reading& reading);
    // A new name for a sensor (its profile changed), shown for its past readings too.
    void rename(int sensor, const QString& name);
    // No line is drawn across this moment: the board could not be read.
    void addBreak(qint64 ms) { store_.addBreak(ms); }
    // Forgets what is held and reads the log, from the event loop.
    void openLog(const QString& path);
    // The sensors whose statistics changed since the last call.
    [[nodiscard]] Sensors takeChanged() { return std::exchange(changed_, {}); }

signals:
    void logProgressed();
    // Every whole line of the log has been read, at its opening or as it grew.
    void logCaughtUp();
    void logFailed(const QString& message);
    // The log was truncated or replaced: what was held is forgotten and the log is read again.
    void logRestarted();

private:
    void forget();
    void takeRecord(const LogRecord& record);
    void onProgress(qint64 done, qint64 total);

    ReadingStore store_;
    SensorStats stats_;
    std::unique_ptr<LogReader> log_;
    std::optional<int> loadingPercent_;
    bool sized_ = false; // the store has room for the whole log
    Sensors changed_;
    // A log's names arrive as bytes on every line; each is made a text once.
    std::array<QByteArray, board::kMaxSensors> nameBytes_;
    std::array<QString, board::kMaxSensors> names_;
};

} // namespace calimbra
