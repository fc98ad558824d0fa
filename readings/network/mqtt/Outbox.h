// SPDX-License-Identifier: MIT
#pragma once

#include "Reading.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace calimbra {

// Readings on their way to a broker, kept on disk until the broker has them: each is stored before
// it is published and removed only once acknowledged, so that a broker away for hours, a kill -9 or
// a power cut loses none. One SQLite database (outbox.db) in a folder of its own, held by one
// process at a time. Failures throw Error.
//
// A database SQLite finds damaged, when it is opened or at any use, is moved aside (outbox.db.damaged-
// and the time, with its log) and a new, empty one started, so that the readings to come are kept
// again; takeNotices() tells of it.
//
// Ids grow for as long as the outbox is open, and a reopened outbox goes on above every id it
// holds. An entry comes back with its time and round start at the UTC offsets they had (offset 0
// as UTC); monotonicMs is not kept, since a monotonic clock means nothing after a restart.
class Outbox
{
    Q_DECLARE_TR_FUNCTIONS(Outbox)

public:
    struct Entry
    {
        qint64 id{};
        Reading reading;
    };

    // Opens the outbox in `folder`, or makes one (and the folder, mode 0700). It keeps at most
    // `limit` readings: beyond that the oldest go. Refuses an outbox another process (or another
    // Outbox here) holds open.
    Outbox(const QString& folder, qint64 limit);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // On disk when it returns, in one transaction with dropping the oldest beyond the limit.
    // `beforeCommit` is given the reading's id once it is written and before the commit makes it
    // durable: a publisher may send it meanwhile, so that the network and the disk's flush overlap.
    // When the commit then fails, the id is not the reading's and will be given again.
    qint64 add(const Reading& reading, const std::function<void(qint64 id)>& beforeCommit = {});
    // Up to `count` entries with ids above `afterId`, oldest first.
    [[nodiscard]] QList<Entry> after(qint64 afterId, qsizetype count);
    // The broker has these: they go, in one transaction. Ids not held are passed over.
    void remove(const QList<qint64>& ids);

    [[nodiscard]] qint64 size() const { return size_; }
    [[nodiscard]] qint64 limit() const { return limit_; }
    // Readings dropped for the limit since the outbox was opened.
    [[nodiscard]] qint64 droppedTotal() const { return dropped_; }
    // The database file.
    [[nodiscard]] QString path() const;
    // What happened worth saying since the last call: a damaged database moved aside.
    [[nodiscard]] QStringList takeNotices();

protected:
    // For the tests: caps the database at `pages` pages, as a full disk would.
    void setPageLimit(qint64 pages);

private:
    struct Store;

    void prepare();
    void startAfresh(const QString& detail);
    // Runs `operation`; when it finds the database damaged, once more on a fresh one.
    template <typename Operation>
    auto mended(Operation operation);
    qint64 addOnce(const Reading& reading, const std::function<void(qint64 id)>& beforeCommit);
    [[nodiscard]] QList<Entry> entriesAfter(qint64 afterId, qsizetype count) const;
    void removeOnce(const QList<qint64>& ids);
    qint64 dropOldest(qint64 count);

    QString folder_;
    qint64 limit_;
    std::unique_ptr<Store> store_;
    qint64 size_ = 0;
    qint64 nextId_ = 1;
    qint64 dropped_ = 0;
    QStringList notices_;
};

// Where a service keeps its outbox unless told otherwise: $STATE_DIRECTORY (systemd's
// StateDirectory=; the first when it names several), else $XDG_STATE_HOME/calimbra/<board>
// (~/.local/state/calimbra/<board>). A '/' in the board's name becomes '_'.
[[nodiscard]] QString defaultOutboxFolder(const QString& board);

} // namespace calimbra
