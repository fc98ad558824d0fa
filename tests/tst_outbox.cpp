// SPDX-License-Identifier: MIT
#include "Error.h"
#include "Outbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace calimbra;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<ReadError>)

namespace {

constexpr qint64 kRoomy = 1'000'000;

QDateTime at(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
}

// The n-th of a stream of readings, each unlike its neighbours.
Reading numbered(int n)
{
    Reading r;
    r.time = at("2026-05-01T12:00:00.000-03:00").addMSecs(qint64(n) * 1001);
    r.roundStart = r.time.addMSecs(-(n % 9) * 120);
    r.sensor = 1 + n % 9;
    r.name = QStringLiteral("Sensor %1 \u00E7").arg(n);
    if (n % 3 == 0) {
        r.error = ReadError::Timeout;
    } else {
        r.celsius = 20 + n / 100.0;
        r.text = QStringLiteral("T%1 = +%2 \u00B0C").arg(r.sensor).arg(*r.celsius);
    }
    return r;
}

// The first field that differs, or nothing.
QString difference(const Reading& got, const Reading& expected)
{
    const auto sameTime = [](const QDateTime& a, const QDateTime& b) {
        return a.isValid() == b.isValid() &&
               (!a.isValid() || (a == b && a.offsetFromUtc() == b.offsetFromUtc()));
    };
    if (!sameTime(got.time, expected.time))
        return QStringLiteral("time %1, not %2")
            .arg(got.time.toString(Qt::ISODateWithMs), expected.time.toString(Qt::ISODateWithMs));
    if (!sameTime(got.roundStart, expected.roundStart))
        return QStringLiteral("round start %1, not %2")
            .arg(got.roundStart.toString(Qt::ISODateWithMs), expected.roundStart.toString(Qt::ISODateWithMs));
    if (got.sensor != expected.sensor)
        return QStringLiteral("sensor %1, not %2").arg(got.sensor).arg(expected.sensor);
    if (got.name != expected.name)
        return QStringLiteral("name \"%1\", not \"%2\"").arg(got.name, expected.name);
    if (got.text != expected.text)
        return QStringLiteral("reply \"%1\", not \"%2\"").arg(got.text, expected.text);
    if (got.celsius != expected.celsius)
        return QStringLiteral("celsius %1, not %2")
            .arg(got.celsius ? QString::number(*got.celsius, 'g', 17) : QStringLiteral("none"),
                 expected.celsius ? QString::number(*expected.celsius, 'g', 17) : QStringLiteral("none"));
    if (got.error != expected.error)
        return QStringLiteral("error kind %1, not %2")
            .arg(got.error ? readErrorName(*got.error) : QStringLiteral("none"),
                 expected.error ? readErrorName(*expected.error) : QStringLiteral("none"));
    return {};
}

QList<qint64> idsOf(const QList<Outbox::Entry>& entries)
{
    QList<qint64> ids;
    for (const Outbox::Entry& entry : entries)
        ids.append(entry.id);
    return ids;
}

QList<qint64> idRange(qint64 first, qint64 last)
{
    QList<qint64> ids;
    for (qint64 id = first; id <= last; ++id)
        ids.append(id);
    return ids;
}

// Every entry is the numbered reading its text says it is; "" when so.
QString notAsAdded(const QList<Outbox::Entry>& entries, const QList<int>& numbers)
{
    if (entries.size() != numbers.size())
        return QStringLiteral("%1 entries, not %2").arg(entries.size()).arg(numbers.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString wrong = difference(entries[i].reading, numbered(numbers[i]));
        if (!wrong.isEmpty())
            return QStringLiteral("entry %1 (id %2): %3").arg(i).arg(entries[i].id).arg(wrong);
    }
    return {};
}

// What the tests may do that a service may not: run out of room on purpose.
class TestOutbox : public Outbox
{
public:
    using Outbox::Outbox;
    using Outbox::setPageLimit;
};

// The child of survivesKill: adds readings one after another and says each id once add() returns.
int addUntilKilled(const QString& folder)
{
    try {
        Outbox outbox(folder, kRoomy);
        for (int n = 1; n < 100'000; ++n) {
            std::printf("%lld\n", static_cast<long long>(outbox.add(numbered(n))));
            std::fflush(stdout);
        }
    } catch (const Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace

class OutboxTest : public QObject
{
    Q_OBJECT

private slots:
    void keepsEveryField_data();
    void keepsEveryField();
    void limit_data();
    void limit();
    void smallerLimitOnReopen();
    void remove_data();
    void remove();
    void paging_data();
    void paging();
    void reopenKeepsWhatWasStored();
    void secondOutboxRefused();
    void survivesKill();
    void fullDisk_data();
    void fullDisk();
    void damaged_data();
    void damaged();
    void damagedWhileOpen();
    void defaultFolder_data();
    void defaultFolder();
};

void OutboxTest::keepsEveryField_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QDateTime>("roundStart");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<double>>("celsius");
    QTest::addColumn<std::optional<ReadError>>("error");

    const std::optional<double> none;
    const std::optional<ReadError> fine;
    const QDateTime time = at("2026-03-04T05:06:07.089+01:00");
    QTest::newRow("value") << time << time.addMSecs(-1234) << 3 << QStringLiteral("C\u00E2mara fria")
                           << QStringLiteral("T3 = +23.56 \u00B0C") << std::optional(23.56) << fine;
    QTest::newRow("-55 \u00B0C") << time << time << 1 << QString() << QStringLiteral("T1 = -55.00 \u00B0C")
                                 << std::optional(-55.0) << fine;
    QTest::newRow("calibrated, every digit")
        << time << time << 2 << QString() << QStringLiteral("T2 = +0.10") << std::optional(0.1 + 0.2) << fine;
    QTest::newRow("timeout") << time << time << 4 << QStringLiteral("a") << QString() << none
                             << std::optional(ReadError::Timeout);
    QTest::newRow("garbled") << time << time << 5 << QString() << QStringLiteral("T5 = +2\\x00") << none
                             << std::optional(ReadError::Garbled);
    QTest::newRow("no value") << time << time << 7 << QString() << QStringLiteral("T7 = sem sensor") << none
                              << std::optional(ReadError::NoValue);
    QTest::newRow("power-on 85") << time << time << 8 << QString() << QStringLiteral("T8 = +85.00 \u00B0C")
                                 << none << std::optional(ReadError::PowerOn);
    QTest::newRow("disconnected") << time << time << 9 << QString() << QStringLiteral("T9 = -127.00 \u00B0C")
                                  << none << std::optional(ReadError::Disconnected);
    QTest::newRow("quotes and unicode")
        << time << time << 6 << QStringLiteral("Tanque \"B\" \u2013 \u6E29\u5EA6 \U0001F321")
        << QStringLiteral("'; DROP TABLE reading; -- \"x\"") << std::optional(1.5) << fine;
    QTest::newRow("offset -09:30") << at("2026-01-01T00:00:00.000-09:30")
                                   << at("2025-12-31T23:59:59.999-09:30") << 1 << QString() << QString()
                                   << none << std::optional(ReadError::Timeout);
    QTest::newRow("offset +05:45") << at("2026-06-30T23:59:59.999+05:45")
                                   << at("2026-06-30T23:59:58.000+05:45") << 1 << QString() << QString()
                                   << std::optional(30.0) << fine;
    QTest::newRow("UTC") << at("2026-02-28T08:00:00.500Z") << at("2026-02-28T08:00:00.000Z") << 1 << QString()
                         << QString() << std::optional(30.0) << fine;
    QTest::newRow("round began before the clocks went back")
        << at("2026-10-25T02:00:01.000+01:00") << at("2026-10-25T02:59:59.000+02:00") << 2 << QString()
        << QString() << std::optional(9.0) << fine;
    QTest::newRow("before 1970") << at("1969-07-20T20:17:40.000-05:00") << at("1969-07-20T20:17:39.000-05:00")
                                 << 1 << QString() << QString() << std::optional(-40.0) << fine;
    QTest::newRow("no round start") << time << QDateTime() << 1 << QString() << QString() << none << fine;
}

void OutboxTest::keepsEveryField()
{
    Reading reading;
    QFETCH(QDateTime, time);
    QFETCH(QDateTime, roundStart);
    QFETCH(int, sensor);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(std::optional<double>, celsius);
    QFETCH(std::optional<ReadError>, error);
    reading = {time, 0, roundStart, sensor, name, text, celsius, error};

    QTemporaryDir dir;
    // Between two others, so that a row read from the wrong place shows.
    {
        Outbox outbox(dir.path(), kRoomy);
        outbox.add(numbered(1));
        QCOMPARE(outbox.add(reading), 2);
        outbox.add(numbered(3));
        const QList<Outbox::Entry> entries = outbox.after(0, 10);
        QCOMPARE(idsOf(entries), idRange(1, 3));
        QCOMPARE(difference(entries[1].reading, reading), QString());
    }
    Outbox reopened(dir.path(), kRoomy);
    const QList<Outbox::Entry> entries = reopened.after(1, 1);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(difference(entries[0].reading, reading), QString());
}

void OutboxTest::limit_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("dropped");

    QTest::newRow("under it") << 5 << 3 << 0;
    QTest::newRow("at it") << 3 << 3 << 0;
    QTest::newRow("one past") << 3 << 4 << 1;
    QTest::newRow("a limit of one") << 1 << 5 << 4;
    QTest::newRow("far past") << 4 << 250 << 246;
}

void OutboxTest::limit()
{
    QFETCH(int, limit);
    QFETCH(int, added);
    QFETCH(int, dropped);

    QTemporaryDir dir;
    Outbox outbox(dir.path(), limit);
    for (int n = 1; n <= added; ++n)
        QCOMPARE(outbox.add(numbered(n)), n);
    QCOMPARE(outbox.size(), added - dropped);
    QCOMPARE(outbox.droppedTotal(), dropped);
    QList<int> kept;
    for (int n = dropped + 1; n <= added; ++n)
        kept.append(n);
    QCOMPARE(notAsAdded(outbox.after(0, 1000), kept), QString());

    // Room made by acknowledgements is used before anything is dropped again.
    outbox.remove({added});
    outbox.add(numbered(added + 1));
    QCOMPARE(outbox.droppedTotal(), dropped);
    QCOMPARE(outbox.size(), added - dropped);
}

void OutboxTest::smallerLimitOnReopen()
{
    QTemporaryDir dir;
    {
        Outbox outbox(dir.path(), 10);
        for (int n = 1; n <= 10; ++n)
            outbox.add(numbered(n));
    }
    Outbox outbox(dir.path(), 4);
    QCOMPARE(outbox.size(), 4);
    QCOMPARE(outbox.droppedTotal(), 6);
    QCOMPARE(notAsAdded(outbox.after(0, 100), {7, 8, 9, 10}), QString());
    QCOMPARE(outbox.add(numbered(11)), 11);
    QCOMPARE(outbox.droppedTotal(), 7);
    QCOMPARE(notAsAdded(outbox.after(0, 100), {8, 9, 10, 11}), QString());
}

void OutboxTest::remove_data()
{
    QTest::addColumn<QList<qint64>>("removed");
    QTest::addColumn<QList<qint64>>("left");

    QTest::newRow("a run") << idRange(1, 5) << idRange(6, 10);
    QTest::newRow("scattered") << QList<qint64>{2, 5, 9} << QList<qint64>{1, 3, 4, 6, 7, 8, 10};
    QTest::newRow("unordered, twice over")
        << QList<qint64>{5, 3, 3, 4, 5} << QList<qint64>{1, 2, 6, 7, 8, 9, 10};
    QTest::newRow("none held") << QList<qint64>{0, 11, 99, -1} << idRange(1, 10);
    QTest::newRow("held and not") << QList<qint64>{12, 10, 11, 1, 0} << idRange(2, 9);
    QTest::newRow("nothing") << QList<qint64>{} << idRange(1, 10);
    QTest::newRow("all") << idRange(1, 10) << QList<qint64>{};
}

void OutboxTest::remove()
{
    QFETCH(QList<qint64>, removed);
    QFETCH(QList<qint64>, left);

    QTemporaryDir dir;
    {
        Outbox outbox(dir.path(), kRoomy);
        for (int n = 1; n <= 10; ++n)
            outbox.add(numbered(n));
        outbox.remove(removed);
        QCOMPARE(outbox.size(), left.size());
        QCOMPARE(idsOf(outbox.after(0, 100)), left);
    }
    Outbox reopened(dir.path(), kRoomy);
    QCOMPARE(reopened.size(), left.size());
    QCOMPARE(idsOf(reopened.after(0, 100)), left);
}

void OutboxTest::paging_data()
{
    QTest::addColumn<QList<qint64>>("removed");
    QTest::addColumn<qint64>("afterId");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<qint64>>("ids");

    const QList<qint64> kept;
    QTest::newRow("first page") << kept << qint64(0) << 4 << idRange(1, 4);
    QTest::newRow("next page") << kept << qint64(4) << 4 << idRange(5, 8);
    QTest::newRow("last, short page") << kept << qint64(8) << 4 << idRange(9, 10);
    QTest::newRow("past the end") << kept << qint64(10) << 4 << QList<qint64>{};
    QTest::newRow("count zero") << kept << qint64(0) << 0 << QList<qint64>{};
    QTest::newRow("below every id") << kept << qint64(-5) << 2 << idRange(1, 2);
    QTest::newRow("over a gap") << QList<qint64>{2, 3, 5} << qint64(1) << 3 << QList<qint64>{4, 6, 7};
    QTest::newRow("from a removed id") << QList<qint64>{2, 3, 5} << qint64(3) << 2 << QList<qint64>{4, 6};
}

void OutboxTest::paging()
{
    QFETCH(QList<qint64>, removed);
    QFETCH(qint64, afterId);
    QFETCH(int, count);
    QFETCH(QList<qint64>, ids);

    QTemporaryDir dir;
    Outbox outbox(dir.path(), kRoomy);
    for (int n = 1; n <= 10; ++n)
        outbox.add(numbered(n));
    outbox.remove(removed);
    const QList<Outbox::Entry> entries = outbox.after(afterId, count);
    QCOMPARE(idsOf(entries), ids);
    for (const Outbox::Entry& entry : entries)
        QCOMPARE(difference(entry.reading, numbered(int(entry.id))), QString());
}

void OutboxTest::reopenKeepsWhatWasStored()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state/calimbra/board"));
    {
        Outbox outbox(folder, kRoomy);
        for (int n = 1; n <= 5; ++n)
            outbox.add(numbered(n));
        outbox.remove({1, 2});
    }
    for (const QString& made : {dir.filePath(QStringLiteral("state")), folder}) {
        struct stat status = {};
        QCOMPARE(::stat(QFile::encodeName(made).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, 0700u);
    }
    Outbox outbox(folder, kRoomy);
    QCOMPARE(outbox.path(), folder + QStringLiteral("/outbox.db"));
    QCOMPARE(outbox.size(), 3);
    QCOMPARE(notAsAdded(outbox.after(0, 100), {3, 4, 5}), QString());
    // Above every id held, so that a reader's place stays valid.
    QCOMPARE(outbox.add(numbered(6)), 6);
}

void OutboxTest::secondOutboxRefused()
{
    QTemporaryDir dir;
    {
        Outbox first(dir.path(), kRoomy);
        first.add(numbered(1));
        try {
            Outbox second(dir.path(), kRoomy);
            QFAIL("a second outbox on the same folder was opened");
        } catch (const Error& error) {
            QVERIFY2(error.message().contains(dir.path()), qPrintable(error.message()));
            QVERIFY2(error.message().contains(QStringLiteral("in use")), qPrintable(error.message()));
            QVERIFY2(error.message().contains(QString::number(::getpid())), qPrintable(error.message()));
        }
        // The refused one took nothing of the first's.
        first.add(numbered(2));
    }
    Outbox second(dir.path(), kRoomy);
    QCOMPARE(notAsAdded(second.after(0, 100), {1, 2}), QString());
}

void OutboxTest::survivesKill()
{
    QTemporaryDir dir;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--add-until-killed"), dir.path()});
    QVERIFY(child.waitForStarted());
    QList<qint64> said;
    while (said.size() < 200 && child.state() == QProcess::Running) {
        if (!child.canReadLine() && !child.waitForReadyRead(10000))
            break;
        while (child.canReadLine())
            said.append(child.readLine().trimmed().toLongLong());
    }
    QVERIFY2(said.size() >= 200, child.readAllStandardError().constData());
    try {
        Outbox meanwhile(dir.path(), kRoomy);
        QFAIL("opened an outbox another process holds");
    } catch (const Error& error) {
        QVERIFY2(error.message().contains(QString::number(child.processId())), qPrintable(error.message()));
    }
    // Most likely in the middle of an add.
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    while (child.canReadLine())
        said.append(child.readLine().trimmed().toLongLong());

    Outbox outbox(dir.path(), kRoomy);
    const QList<Outbox::Entry> entries = outbox.after(0, 1'000'000);
    QCOMPARE(outbox.size(), entries.size());
    // Every id said stored is there, and nothing half-written: ids from 1 without a gap.
    QVERIFY2(entries.size() >= said.last(),
             qPrintable(QStringLiteral("%1 kept, %2 said stored").arg(entries.size()).arg(said.last())));
    QCOMPARE(idsOf(entries), idRange(1, entries.size()));
    QList<int> numbers;
    for (const Outbox::Entry& entry : entries)
        numbers.append(int(entry.id));
    QCOMPARE(notAsAdded(entries, numbers), QString());
}

void OutboxTest::fullDisk_data()
{
    QTest::addColumn<bool>("smallDisk");

    QTest::newRow("database at its page limit") << false;
    QTest::newRow("small tmpfs") << true;
}

void OutboxTest::fullDisk()
{
    QFETCH(bool, smallDisk);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("outbox"));
    const QString filler = dir.filePath(QStringLiteral("filler"));
    if (smallDisk) {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        if (::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, "size=256k,mode=0700") !=
            0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs: %1").arg(std::strerror(errno))));
    }
    const auto unmount = qScopeGuard([&] {
        if (smallDisk)
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    });
    if (smallDisk) {
        QFile fill(filler);
        QVERIFY(fill.open(QIODevice::WriteOnly));
        QCOMPARE(fill.write(QByteArray(64 * 1024, 'x')), 64 * 1024);
    }

    int stored = 0;
    {
        TestOutbox outbox(folder, kRoomy);
        if (!smallDisk)
            outbox.setPageLimit(1);
        QString message;
        for (int n = 1; n < 10'000 && message.isEmpty(); ++n) {
            try {
                outbox.add(numbered(n));
                ++stored;
            } catch (const Error& error) {
                message = error.message();
            }
        }
        QVERIFY2(stored > 0, "nothing stored before the disk was full");
        QVERIFY2(message.contains(folder) && message.contains(QStringLiteral("full")) &&
                     message.contains(QStringLiteral("Free some space")),
                 qPrintable(message));
        QCOMPARE(outbox.size(), stored);
        QList<int> numbers;
        for (int n = 1; n <= stored; ++n)
            numbers.append(n);
        QCOMPARE(notAsAdded(outbox.after(0, 100'000), numbers), QString());

        // Room again: the outbox goes on where it stopped.
        if (smallDisk)
            QVERIFY(QFile::remove(filler));
        else
            outbox.setPageLimit(kRoomy);
        QCOMPARE(outbox.add(numbered(stored + 1)), stored + 1);
        numbers.append(stored + 1);
        QCOMPARE(notAsAdded(outbox.after(0, 100'000), numbers), QString());
    }
    Outbox reopened(folder, kRoomy);
    QCOMPARE(reopened.size(), stored + 1);
}

void OutboxTest::damaged_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: a real outbox, then damaged
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("length");

    QByteArray random(64 * 1024, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(random.data()), random.size() / 4);
    QTest::newRow("not a database") << QByteArray("time,sensor,celsius,reply\n").repeated(300) << 0LL << 0LL;
    QTest::newRow("random bytes") << random << 0LL << 0LL;
    QTest::newRow("header overwritten") << QByteArray() << 0LL << 100LL;
    QTest::newRow("table pages overwritten") << QByteArray() << 1024LL << 4096LL;
}

void OutboxTest::damaged()
{
    // Found when it is opened: moved aside as it is, said, and a new outbox keeps readings again.
    QFETCH(QByteArray, content);
    QFETCH(qint64, from);
    QFETCH(qint64, length);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("outbox.db"));
    if (content.isEmpty()) {
        {
            Outbox outbox(dir.path(), kRoomy);
            for (int n = 1; n <= 150; ++n)
                outbox.add(numbered(n));
        }
        QFile damage(file);
        QVERIFY(damage.open(QIODevice::ReadWrite));
        QVERIFY(damage.size() >= from + length);
        QVERIFY(damage.seek(from));
        QCOMPARE(damage.write(QByteArray(length, '\xA5')), length);
    } else {
        QFile damage(file);
        QVERIFY(damage.open(QIODevice::WriteOnly));
        QCOMPARE(damage.write(content), content.size());
    }
    QFile damagedFile(file);
    QVERIFY(damagedFile.open(QIODevice::ReadOnly));
    const QByteArray damagedBytes = damagedFile.readAll();
    damagedFile.close();

    Outbox outbox(dir.path(), kRoomy);
    const QStringList notices = outbox.takeNotices();
    QCOMPARE(notices.size(), 1);
    const QStringList aside =
        QDir(dir.path()).entryList({QStringLiteral("outbox.db.damaged-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QVERIFY2(notices.first().contains(file) && notices.first().contains(dir.filePath(aside.first())),
             qPrintable(notices.first()));
    QFile kept(dir.filePath(aside.first()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll() == damagedBytes);

    QCOMPARE(outbox.size(), 0);
    const qint64 id = outbox.add(numbered(1));
    QCOMPARE(notAsAdded(outbox.after(0, 100'000), {1}), QString());
    QCOMPARE(outbox.takeNotices(), QStringList());
    QCOMPARE(idsOf(outbox.after(0, 10)), QList<qint64>{id});
}

void OutboxTest::damagedWhileOpen()
{
    // 8 KiB overwritten in the middle of an outbox of 20,000 readings while a service has it open:
    // found where it is read, moved aside, said, and the outbox goes on empty with ids above the
    // old ones, so that a publisher's place stays valid.
    constexpr int kHeld = 20'000;
    // Filled where an fsync costs nothing, when there is such a place.
    QTemporaryDir fast(QStringLiteral("/dev/shm/tst_outbox-XXXXXX"));
    QTemporaryDir slow;
    const QString folder = fast.isValid() ? fast.path() : slow.path();
    const QString file = folder + QStringLiteral("/outbox.db");
    {
        Outbox outbox(folder, kRoomy);
        for (int n = 1; n <= kHeld; ++n)
            outbox.add(numbered(n));
    }
    Outbox outbox(folder, kRoomy);
    QCOMPARE(outbox.size(), kHeld);
    QCOMPARE(outbox.takeNotices(), QStringList());
    {
        QFile damage(file);
        QVERIFY(damage.open(QIODevice::ReadWrite));
        QVERIFY(damage.seek(damage.size() / 2 / 1024 * 1024));
        QCOMPARE(damage.write(QByteArray(8 * 1024, '\xA5')), 8 * 1024);
    }

    // A publisher going through it from the start reaches the damage.
    qint64 afterId = 0;
    for (QList<Outbox::Entry> entries = outbox.after(afterId, 500); !entries.isEmpty();
         entries = outbox.after(afterId, 500))
        afterId = entries.last().id;
    const QStringList notices = outbox.takeNotices();
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices.first().contains(file) && notices.first().contains(QStringLiteral(".damaged-")),
             qPrintable(notices.first()));
    QCOMPARE(QDir(folder).entryList({QStringLiteral("outbox.db.damaged-*")}, QDir::Files).size(), 1);

    QCOMPARE(outbox.size(), 0);
    const qint64 id = outbox.add(numbered(kHeld + 1));
    QVERIFY2(id > kHeld, qPrintable(QString::number(id)));
    outbox.remove({1, 2, 3}); // acknowledgements of readings the damaged outbox held
    QCOMPARE(idsOf(outbox.after(afterId, 10)), QList<qint64>{id});
    QCOMPARE(outbox.takeNotices(), QStringList());
}

void OutboxTest::defaultFolder_data()
{
    QTest::addColumn<QString>("stateDirectory");
    QTest::addColumn<QString>("xdgStateHome");
    QTest::addColumn<QString>("board");
    QTest::addColumn<QString>("folder");

    const QString home = QStringLiteral("/home/ana/.local/state/calimbra/");
    QTest::newRow("systemd's") << "/var/lib/calimbra/b1"
                               << "/x"
                               << "b1"
                               << "/var/lib/calimbra/b1";
    QTest::newRow("systemd's first of several") << "/var/lib/a:/var/lib/b"
                                                << ""
                                                << "b1"
                                                << "/var/lib/a";
    QTest::newRow("XDG_STATE_HOME") << ""
                                    << "/srv/state"
                                    << "b1"
                                    << "/srv/state/calimbra/b1";
    QTest::newRow("relative XDG_STATE_HOME is ignored") << ""
                                                        << "state"
                                                        << "b1" << home + "b1";
    QTest::newRow("neither") << ""
                             << ""
                             << "b1" << home + "b1";
    QTest::newRow("a device path as the board") << ""
                                                << ""
                                                << "/dev/ttyUSB0" << home + "_dev_ttyUSB0";
    QTest::newRow("no way up") << ""
                               << ""
                               << ".." << home + "_.";
}

void OutboxTest::defaultFolder()
{
    QFETCH(QString, stateDirectory);
    QFETCH(QString, xdgStateHome);
    QFETCH(QString, board);
    QFETCH(QString, folder);

    const QByteArray saved[] = {qgetenv("STATE_DIRECTORY"), qgetenv("XDG_STATE_HOME"), qgetenv("HOME")};
    const auto restore = qScopeGuard([&] {
        const char* names[] = {"STATE_DIRECTORY", "XDG_STATE_HOME", "HOME"};
        for (int i = 0; i < 3; ++i)
            saved[i].isNull() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
    });
    const auto set = [](const char* name, const QString& value) {
        value.isEmpty() ? qunsetenv(name) : qputenv(name, value.toLocal8Bit());
    };
    set("STATE_DIRECTORY", stateDirectory);
    set("XDG_STATE_HOME", xdgStateHome);
    set("HOME", QStringLiteral("/home/ana"));
    QCOMPARE(defaultOutboxFolder(board), folder);
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--add-until-killed") == 0)
        return addUntilKilled(QString::fromLocal8Bit(argv[2]));
    OutboxTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_outbox.moc"
