// SPDX-License-Identifier: MIT
#include "Outbox.h"

#include "Error.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calimbra {
namespace {

const QString kDatabaseFile = QStringLiteral("outbox.db");
const QString kLockFile = QStringLiteral("outbox.lock");

// Marks the file as this program's outbox ("Calo"), and the layout of its table.
constexpr qint64 kApplicationId = 0x43616c6f;
constexpr qint64 kSchemaVersion = 1;

// Small pages: every add writes at least one page to the log, and an SD card wears by what is
// written. A checkpoint every 256 KiB of log, and the log cut back to that after it, so that it adds
// little to the room an outbox takes.
constexpr qint64 kPageBytes = 1024;
constexpr qint64 kLogBytes = 256 * 1024;
// Adds touch the newest pages and reads the oldest; a small cache serves both, and the memory
// taken stays the same however many readings wait.
constexpr qint64 kCacheKiB = 256;

// SQLite's primary result codes (the low byte of an extended one).
enum class SqliteCode {
    Perm = 3,
    ReadOnly = 8,
    IoErr = 10,
    Corrupt = 11,
    Full = 13,
    CantOpen = 14,
    NotADb = 26,
};

// One row a reading. Times are milliseconds since 1970 UTC and offsets seconds east of UTC; the
// round start is kept as milliseconds before the reading, its offset only when it differs. Empty
// and absent values take no room in a row.
const QString kCreateTable = QStringLiteral("CREATE TABLE IF NOT EXISTS reading ("
                                            " id INTEGER PRIMARY KEY,"
                                            " time INTEGER,"
                                            " utc_offset INTEGER,"
                                            " round_before INTEGER,"
                                            " round_offset INTEGER,"
                                            " sensor INTEGER,"
                                            " name TEXT,"
                                            " reply TEXT,"
                                            " celsius REAL,"
                                            " error INTEGER)");

// SQLite found the database damaged: the outbox moves it aside and starts afresh.
class Damaged : public Error
{
public:
    Damaged(const QString& message, const QString& detail) : Error(message), detail_(detail) {}
    [[nodiscard]] QString detail() const { return detail_; }

private:
    QString detail_;
};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The error kinds as stored: fixed numbers, whatever order the enum takes.
int storedError(ReadError error)
{
    switch (error) {
    case ReadError::Timeout:
        return 1;
    case ReadError::Garbled:
        return 2;
    case ReadError::NoValue:
        return 3;
    case ReadError::PowerOn:
        return 4;
    case ReadError::Disconnected:
        return 5;
    case ReadError::PortUnavailable:
        return 6;
    case ReadError::LineLost:
        return 7;
    case ReadError::NoReply:
        return 8;
    }
    return 0;
}

std::optional<ReadError> errorFromStored(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.toInt()) {
    case 1:
        return ReadError::Timeout;
    case 2:
        return ReadError::Garbled;
    case 3:
        return ReadError::NoValue;
    case 4:
        return ReadError::PowerOn;
    case 5:
        return ReadError::Disconnected;
    case 6:
        return ReadError::PortUnavailable;
    case 7:
        return ReadError::LineLost;
    case 8:
        return ReadError::NoReply;
    }
    return std::nullopt;
}

QDateTime timeAt(qint64 ms, int offsetSeconds)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offsetSeconds);
}

// Makes the missing folders of `folder` for this user only: readings are nobody else's business.
void makeFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    for (qsizetype slash = path.indexOf(u'/', 1);; slash = path.indexOf(u'/', slash + 1)) {
        const QString part = slash < 0 ? path : path.left(slash);
        if (::mkdir(QFile::encodeName(part).constData(), 0700) != 0 && errno != EEXIST)
            throw Error(Outbox::tr("Could not make the outbox folder %1: %2.").arg(part, systemError(errno)));
        if (slash < 0)
            break;
    }
    if (!QFileInfo(path).isDir())
        throw Error(Outbox::tr("The outbox folder %1 is not a folder.").arg(path));
}

// Held for as long as the outbox is open: two services writing one outbox would publish each
// other's readings and remove what the other has not sent. The holder's PID is inside, for the
// message of whoever is refused.
int lockFolder(const QString& folder)
{
    const QString path = folder + u'/' + kLockFile;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw Error(
            Outbox::tr("Could not open the outbox's lock file %1: %2.").arg(path, systemError(errno)));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        char holder[32] = {};
        const ssize_t got = ::pread(fd, holder, sizeof holder - 1, 0);
        ::close(fd);
        const qint64 pid = got > 0 ? QByteArray(holder, got).trimmed().toLongLong() : 0;
        if (error != EWOULDBLOCK)
            throw Error(Outbox::tr("Could not lock the outbox in %1: %2.").arg(folder, systemError(error)));
        if (pid > 0)
            throw Error(Outbox::tr("The outbox in %1 is in use by another process (PID %2). Two services "
                                   "cannot share an outbox: give each its own folder.")
                            .arg(folder)
                            .arg(pid));
        throw Error(Outbox::tr("The outbox in %1 is in use by another process. Two services cannot share "
                               "an outbox: give each its own folder.")
                        .arg(folder));
    }
    // The PID only serves that message; the lock holds without it, so a failed write is let be.
    const QByteArray pid = QByteArray::number(::getpid()) + '\n';
    [[maybe_unused]] const bool written =
        ::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) == pid.size();
    return fd;
}

} // namespace

struct Outbox::Store
{
    QString folder;
    QString file;
    QString connection;
    QSqlDatabase db;
    int lockFd = -1;

    // Locks the folder; the database is opened by open().
    Store(const QString& folder_, const QString& file_) : folder(folder_), file(file_)
    {
        lockFd = lockFolder(folder);
    }

    // The database closes before the lock goes, so that nobody else opens it while this writes.
    ~Store()
    {
        closeDatabase();
        ::close(lockFd);
    }

    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    void open()
    {
        static std::atomic<quint64> opened{0};
        connection = QStringLiteral("calimbra-outbox-%1").arg(++opened);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        if (!db.isValid())
            throw Error(Outbox::tr("Qt's SQLite driver is missing, and the outbox needs it: install the "
                                   "package libqt6sql6-sqlite."));
        db.setDatabaseName(file);
        if (!db.open())
            fail(db.lastError());
    }

    void closeDatabase()
    {
        if (connection.isEmpty())
            return;
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(std::exchange(connection, QString()));
    }

    [[noreturn]] void fail(const QSqlError& error) const
    {
        bool ok = false;
        const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
        if (ok && (SqliteCode(code) == SqliteCode::Corrupt || SqliteCode(code) == SqliteCode::NotADb)) {
            const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
            throw Damaged(damagedMessage(detail), detail);
        }
        throw failure(error);
    }

    [[nodiscard]] QString damagedMessage(const QString& detail) const
    {
        return Outbox::tr(
                   "The outbox %1 is damaged (%2). Move it aside, with the files beside it whose names "
                   "begin the same, and start again: a new, empty outbox is made.")
            .arg(file, detail);
    }

    [[nodiscard]] Error failure(const QSqlError& error) const
    {
        bool ok = false;
        const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
        const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
        switch (ok ? SqliteCode(code) : SqliteCode{}) {
        case SqliteCode::Full:
            return Error(
                Outbox::tr("The outbox in %1 is full: its disk has no room left (%2). Free some space "
                           "there; the readings stored so far are kept.")
                    .arg(folder, detail));
        case SqliteCode::Corrupt:
        case SqliteCode::NotADb:
            return Error(damagedMessage(detail));
        case SqliteCode::ReadOnly:
        case SqliteCode::Perm:
        case SqliteCode::CantOpen:
            return Error(
                Outbox::tr("Could not write to the outbox %1 (%2). Check that this service may write to its "
                           "folder and that the disk is not read-only.")
                    .arg(file, detail));
        case SqliteCode::IoErr:
            return Error(Outbox::tr("Reading or writing the outbox %1 failed (%2). Check the disk.")
                             .arg(file, detail));
        }
        return Error(Outbox::tr("The outbox %1 failed: %2.").arg(file, detail));
    }

    QSqlQuery run(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            fail(query.lastError());
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec())
            fail(query.lastError());
        return query;
    }

    QVariant single(const QString& sql)
    {
        QSqlQuery query = run(sql);
        if (!query.next())
            fail(query.lastError());
        return query.value(0);
    }

    // By statements rather than QSqlDatabase::commit(), which loses SQLite's code (a full disk).
    void begin() { run(QStringLiteral("BEGIN")); }

    void commit()
    {
        try {
            run(QStringLiteral("COMMIT"));
        } catch (...) {
            rollback();
            throw;
        }
    }

    void rollback()
    {
        QSqlQuery query(db);
        query.exec(QStringLiteral("ROLLBACK")); // fails harmlessly when SQLite has rolled back already
    }

    // Ends a transaction that did not reach its commit.
    class Transaction
    {
    public:
        explicit Transaction(Store& store) : store_(store) { store_.begin(); }
        ~Transaction()
        {
            if (!done_)
                store_.rollback();
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;

        void commit()
        {
            done_ = true;
            store_.commit();
        }

    private:
        Store& store_;
        bool done_ = false;
    };
};

Outbox::Outbox(const QString& folder, qint64 limit) : folder_(QDir::cleanPath(folder)), limit_(limit)
{
    if (limit_ < 1)
        throw Error(tr("The outbox must keep at least one reading; %1 was asked.").arg(limit));
    makeFolder(folder_);
    store_ = std::make_unique<Store>(folder_, path());
    try {
        store_->open();
        prepare();
        // SQLite finds most damage only where it reads; a quick look through every page now finds
        // it before a reading is trusted to the file.
        const QString check = store_->single(QStringLiteral("PRAGMA quick_check(1)")).toString();
        if (check != QLatin1String("ok"))
            throw Damaged(store_->damagedMessage(check), check);
    } catch (const Damaged& damage) {
        startAfresh(damage.detail());
    }
}

void Outbox::prepare()
{
    Store& store = *store_;
    store.run(QStringLiteral("PRAGMA page_size = %1").arg(kPageBytes)); // only a new database takes it
    // WAL, synchronous FULL: a commit fsyncs the log, so a reading said to be stored outlives a
    // power cut. NORMAL would fsync only at checkpoints and could lose the last commits.
    const QString mode = store.single(QStringLiteral("PRAGMA journal_mode = WAL")).toString();
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        throw Error(tr("The outbox %1 cannot keep a write-ahead log here (the journal mode stays %2): put "
                       "it on a local disk.")
                        .arg(path(), mode));
    store.run(QStringLiteral("PRAGMA synchronous = FULL"));
    store.run(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
    store.run(QStringLiteral("PRAGMA wal_autocheckpoint = %1").arg(kLogBytes / kPageBytes));
    store.run(QStringLiteral("PRAGMA journal_size_limit = %1").arg(kLogBytes));

    const qint64 application = store.single(QStringLiteral("PRAGMA application_id")).toLongLong();
    const qint64 version = store.single(QStringLiteral("PRAGMA user_version")).toLongLong();
    if ((application != 0 && application != kApplicationId) || version > kSchemaVersion)
        throw Error(tr("%1 is not an outbox this program can use (a newer version's, or another "
                       "program's database). Move it aside, or give this service another folder.")
                        .arg(path()));
    if (version < kSchemaVersion) {
        Store::Transaction transaction(store);
        store.run(kCreateTable);
        store.run(QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId));
        store.run(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
        transaction.commit();
    }

    QSqlQuery held = store.run(QStringLiteral("SELECT count(*), max(id) FROM reading"));
    if (!held.next())
        store.fail(held.lastError());
    size_ = held.value(0).toLongLong();
    nextId_ = std::max(nextId_, held.value(1).toLongLong() + 1);
    held.finish();

    if (size_ > limit_) {
        Store::Transaction transaction(store);
        const qint64 gone = dropOldest(size_ - limit_);
        transaction.commit();
        size_ -= gone;
        dropped_ += gone;
    }
}

void Outbox::startAfresh(const QString& detail)
{
    store_->closeDatabase();
    // Kept, not deleted: the readings in it may still be read out of it by hand. Its log goes with it,
    // under the name SQLite looks for beside it.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd'T'HHmmss"));
    QString aside = path() + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path() + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        const QByteArray from = QFile::encodeName(path() + suffix);
        if (::rename(from.constData(), QFile::encodeName(aside + suffix).constData()) != 0 && errno != ENOENT)
            throw Error(
                tr("The outbox %1 is damaged (%2), and it could not be moved aside to %3: %4. Move it "
                   "aside, with the files beside it whose names begin the same, and start again: a "
                   "new, empty outbox is made.")
                    .arg(path(), detail, aside + suffix, systemError(errno)));
    }
    size_ = 0;
    store_->open();
    prepare();
    notices_ << tr("The outbox %1 was damaged (%2). It was moved aside to %3, with the readings it held, "
                   "and a new, empty outbox was started.")
                    .arg(path(), detail, aside);
}

template <typename Operation>
auto Outbox::mended(Operation operation)
{
    try {
        return operation();
    } catch (const Damaged& damage) {
        startAfresh(damage.detail());
    }
    return operation();
}

QStringList Outbox::takeNotices()
{
    return std::exchange(notices_, {});
}

Outbox::~Outbox() = default;

QString Outbox::path() const
{
    return folder_ + u'/' + kDatabaseFile;
}

qint64 Outbox::dropOldest(qint64 count)
{
    return store_
        ->run(QStringLiteral("DELETE FROM reading WHERE id IN (SELECT id FROM reading ORDER BY id LIMIT ?)"),
              {count})
        .numRowsAffected();
}

qint64 Outbox::add(const Reading& reading, const std::function<void(qint64 id)>& beforeCommit)
{
    // Found damaged, the reading goes into the fresh outbox under the same id: one handed over
    // already is not handed over again.
    bool handed = false;
    return mended([&] {
        return addOnce(reading, [&](qint64 id) {
            if (beforeCommit && !std::exchange(handed, true))
                beforeCommit(id);
        });
    });
}

qint64 Outbox::addOnce(const Reading& reading, const std::function<void(qint64 id)>& beforeCommit)
{
    const QDateTime& time = reading.time;
    const QDateTime& round = reading.roundStart;
    const qint64 base = time.isValid() ? time.toMSecsSinceEpoch() : 0;
    const int offset = time.isValid() ? time.offsetFromUtc() : 0;
    const QVariant none;

    Store::Transaction transaction(*store_);
    const qint64 gone = size_ >= limit_ ? dropOldest(size_ - limit_ + 1) : 0;
    const qint64 id = nextId_;
    store_->run(QStringLiteral("INSERT INTO reading VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {id, time.isValid() ? QVariant(base) : none, time.isValid() ? QVariant(offset) : none,
                 round.isValid() ? QVariant(base - round.toMSecsSinceEpoch()) : none,
                 round.isValid() && round.offsetFromUtc() != offset ? QVariant(round.offsetFromUtc()) : none,
                 reading.sensor, reading.name, reading.text,
                 reading.celsius ? QVariant(*reading.celsius) : none,
                 reading.error ? QVariant(storedError(*reading.error)) : none});
    if (beforeCommit)
        beforeCommit(id);
    transaction.commit();

    ++nextId_;
    size_ += 1 - gone;
    dropped_ += gone;
    return id;
}

QList<Outbox::Entry> Outbox::after(qint64 afterId, qsizetype count)
{
    return mended([&] { return entriesAfter(afterId, count); });
}

QList<Outbox::Entry> Outbox::entriesAfter(qint64 afterId, qsizetype count) const
{
    QList<Entry> entries;
    if (count <= 0)
        return entries;
    QSqlQuery query = store_->run(
        QStringLiteral(
            "SELECT id, time, utc_offset, round_before, round_offset, sensor, name, reply, celsius, "
            "error FROM reading WHERE id > ? ORDER BY id LIMIT ?"),
        {afterId, qint64(count)});
    entries.reserve(std::min<qint64>(count, size_));
    while (query.next()) {
        Entry entry;
        entry.id = query.value(0).toLongLong();
        Reading& reading = entry.reading;
        const QVariant time = query.value(1);
        const int offset = query.value(2).toInt();
        const qint64 base = time.isNull() ? 0 : time.toLongLong();
        if (!time.isNull())
            reading.time = timeAt(base, offset);
        const QVariant roundBefore = query.value(3);
        if (!roundBefore.isNull()) {
            const QVariant roundOffset = query.value(4);
            reading.roundStart =
                timeAt(base - roundBefore.toLongLong(), roundOffset.isNull() ? offset : roundOffset.toInt());
        }
        reading.sensor = query.value(5).toInt();
        reading.name = query.value(6).toString();
        reading.text = query.value(7).toString();
        const QVariant celsius = query.value(8);
        if (!celsius.isNull())
            reading.celsius = celsius.toDouble();
        reading.error = errorFromStored(query.value(9));
        entries.append(std::move(entry));
    }
    if (query.lastError().isValid())
        store_->fail(query.lastError());
    return entries;
}

void Outbox::remove(const QList<qint64>& ids)
{
    if (!ids.isEmpty())
        mended([&] { removeOnce(ids); });
}

void Outbox::removeOnce(const QList<qint64>& ids)
{
    QList<qint64> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

    // Acknowledgements come mostly in runs of consecutive ids: one statement a run.
    Store::Transaction transaction(*store_);
    qint64 removed = 0;
    for (qsizetype first = 0; first < sorted.size();) {
        qsizetype last = first;
        while (last + 1 < sorted.size() && sorted[last + 1] == sorted[last] + 1)
            ++last;
        removed += store_
                       ->run(QStringLiteral("DELETE FROM reading WHERE id BETWEEN ? AND ?"),
                             {sorted[first], sorted[last]})
                       .numRowsAffected();
        first = last + 1;
    }
    transaction.commit();
    size_ -= removed;
}

void Outbox::setPageLimit(qint64 pages)
{
    store_->run(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
}

QString defaultOutboxFolder(const QString& board)
{
    const QString state = qEnvironmentVariable("STATE_DIRECTORY");
    if (!state.isEmpty())
        return state.section(u':', 0, 0);
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base)) // the XDG rule: a relative path is to be ignored
        base = QDir::homePath() + QStringLiteral("/.local/state");
    QString name = board;
    name.replace(u'/', u'_');
    if (name.startsWith(u'.'))
        name[0] = u'_';
    return QDir::cleanPath(base + QStringLiteral("/calimbra/") + name);
}

} // namespace calimbra
