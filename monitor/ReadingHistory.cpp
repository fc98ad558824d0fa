// SPDX-License-Identifier: MIT
#include "ReadingHistory.h"

namespace calimbra {
namespace {

constexpr double kRoomToSpare = 1.05; // over a log's length guessed from its beginning

} // namespace

void ReadingHistory::clear()
{
    store_.clear();
    stats_.clear();
    sized_ = false;
    lastReply_ = {};
    lastReplyId_ = {};
    changed_.set();
}

bool ReadingHistory::take(const Reading& reading)
{
    if (reading.sensor < 1 || reading.sensor > board::kMaxSensors)
        return false;
    const auto slot = static_cast<std::size_t>(reading.sensor - 1);
    const qint64 ms = reading.time.toMSecsSinceEpoch();
    if (reading.text != lastReply_.at(slot)) {
        lastReply_.at(slot) = reading.text;
        lastReplyId_.at(slot) = store_.intern(reading.text);
    }
    const ReadingStore::TextId reply = lastReplyId_.at(slot);
    // The same reading again (a replay overlapping what came live) is counted once.
    if (!store_.append(reading.sensor, ms, reading.celsius, reply))
        return false;
    stats_.take(reading.sensor, ms, reading.celsius, reading.error, store_.text(reply), reading.name,
                reading.roundStart.isValid() ? reading.roundStart.toMSecsSinceEpoch() : 0);
    changed_.set(slot);
    return true;
}

void ReadingHistory::rename(int sensor, const QString& name)
{
    if (stats_.at(sensor).name == name)
        return;
    stats_.setName(sensor, name);
    changed_.set(static_cast<std::size_t>(sensor - 1));
}

void ReadingHistory::expect(qint64 done, qint64 total)
{
    if (sized_ || done <= 0 || done >= total)
        return;
    sized_ = true;
    const double growth = static_cast<double>(total) / static_cast<double>(done) * kRoomToSpare;
    for (const int sensor : stats_.seen())
        store_.reserve(sensor, static_cast<std::size_t>(static_cast<double>(store_.size(sensor)) * growth));
}

} // namespace calimbra
