// SPDX-License-Identifier: MIT
#include "ReadingHistory.h"

namespace calimbra {
namespace {

constexpr double kRoomToSpare = 1.05; // over a log's length guessed from its beginning

} // namespace

void ReadingHistory::clear()
{
    log_.reset();
    loadingPercent_.reset();
    forget();
}

void ReadingHistory::forget()
{
    store_.clear();
    stats_.clear();
    nameBytes_ = {};
    names_ = {};
    changed_.set();
}

bool ReadingHistory::take(const Reading& reading)
{
    const qint64 ms = reading.time.toMSecsSinceEpoch();
    const ReadingStore::TextId reply = store_.intern(reading.text);
    // The same reading again (a replay overlapping what came live) is counted once.
    if (!store_.append(reading.sensor, ms, reading.celsius, reply))
        return false;
    stats_.take(reading.sensor, ms, reading.celsius, reading.error, store_.text(reply), reading.name,
                reading.roundStart.isValid() ? reading.roundStart.toMSecsSinceEpoch() : 0);
    changed_.set(static_cast<std::size_t>(reading.sensor - 1));
    return true;
}

void ReadingHistory::rename(int sensor, const QString& name)
{
    if (stats_.at(sensor).name == name)
        return;
    stats_.setName(sensor, name);
    changed_.set(static_cast<std::size_t>(sensor - 1));
}

void ReadingHistory::openLog(const QString& path)
{
    clear();
    log_ = std::make_unique<LogReader>(path, [this](const LogRecord& record) { takeRecord(record); });
    connect(log_.get(), &LogReader::progress, this, &ReadingHistory::onProgress);
    connect(log_.get(), &LogReader::caughtUp, this, [this] {
        loadingPercent_.reset();
        emit logCaughtUp();
    });
    connect(log_.get(), &LogReader::failed, this, [this](const QString& message) {
        loadingPercent_.reset();
        emit logFailed(message);
    });
    connect(log_.get(), &LogReader::restarted, this, [this] {
        forget();
        loadingPercent_ = 0;
        emit logRestarted();
    });
    loadingPercent_ = 0;
    sized_ = false;
    log_->start();
}

void ReadingHistory::takeRecord(const LogRecord& record)
{
    const auto slot = static_cast<std::size_t>(record.sensor - 1);
    if (!record.name.isEmpty() && record.name != nameBytes_.at(slot)) {
        nameBytes_.at(slot) = record.name.toByteArray();
        names_.at(slot) = QString::fromUtf8(record.name);
    }
    // A sensor's reply is most often the one it gave last.
    const std::size_t count = store_.size(record.sensor);
    const ReadingStore::TextId reply =
        store_.intern(record.reply, count > 0 ? store_.reply(record.sensor, count - 1) : 0);
    // A log a copy of itself was appended to holds its readings twice: each is counted once.
    if (!store_.append(record.sensor, record.time.ms, record.celsius, reply))
        return;
    stats_.take(record.sensor, record.time.ms, record.celsius, record.error, store_.text(reply),
                record.name.isEmpty() ? QString() : names_.at(slot),
                record.roundStart ? record.roundStart->ms : 0);
    changed_.set(slot);
}

void ReadingHistory::onProgress(qint64 done, qint64 total)
{
    if (!loadingPercent_)
        return;
    if (!sized_ && done < total) {
        sized_ = true;
        // The first slice tells how many readings of each sensor the whole log holds, so that no
        // buffer grows by copying itself.
        const double growth = static_cast<double>(total) / static_cast<double>(done) * kRoomToSpare;
        for (const int sensor : stats_.seen())
            store_.reserve(sensor,
                           static_cast<std::size_t>(static_cast<double>(store_.size(sensor)) * growth));
    }
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == *loadingPercent_)
        return;
    loadingPercent_ = percent;
    emit logProgressed();
}

} // namespace calimbra
