// SPDX-License-Identifier: MIT
#pragma once

#include "ReadingStore.h"
#include "SensorStats.h"

#include <array>
#include <bitset>
#include <utility>

namespace calimbra {

// What the monitor shows: every reading taken in, kept compactly in time order, and each sensor's
// statistics, whichever source the readings came from.
class ReadingHistory
{
public:
    using Sensors = std::bitset<board::kMaxSensors>;

    [[nodiscard]] const ReadingStore& store() const { return store_; }
    [[nodiscard]] const SensorStats& stats() const { return stats_; }

    // Forgets every reading.
    void clear();
    // A reading of a sensor at a millisecond already held is the same one again: it is not taken,
    // and the answer is false.
    bool take(const Reading& reading);
    // A new name for a sensor (its profile changed), shown for its past readings too.
    void rename(int sensor, const QString& name);
    // No line is drawn across this moment: the board could not be read.
    void addBreak(qint64 ms) { store_.addBreak(ms); }
    // A log of `total` bytes, of which `done` are taken in: room for the rest, guessed from what is
    // held, so that no buffer of a long log grows by copying itself.
    void expect(qint64 done, qint64 total);
    // The sensors whose statistics changed since the last call.
    [[nodiscard]] Sensors takeChanged() { return std::exchange(changed_, {}); }

private:
    ReadingStore store_;
    SensorStats stats_;
    Sensors changed_;
    bool sized_ = false;
    // Each sensor's last reply: the next is most often the same text.
    std::array<QString, board::kMaxSensors> lastReply_;
    std::array<ReadingStore::TextId, board::kMaxSensors> lastReplyId_{};
};

} // namespace calimbra
