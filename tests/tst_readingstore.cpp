// SPDX-License-Identifier: MIT
#include "LogSource.h"
#include "Pipeline.h"
#include "ReadingHistory.h"
#include "ReadingStore.h"
#include "Sink.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>

using namespace calimbra;

using Samples = QList<QPointF>; // (ms, °C)
using Times = QList<qint64>;

struct Taken
{
    int sensor;
    qint64 ms;
    double celsius; // NaN: none
};
Q_DECLARE_METATYPE(Taken)

namespace {

constexpr qint64 kHour = 3600 * 1000;

// A wave, so that summaries of blocks have extremes to keep.
double wave(qint64 ms)
{
    return 20 + 5 * std::sin(static_cast<double>(ms) / 900'000.0) +
           static_cast<double>(ms / 1000 % 11) * 0.01;
}

// count readings a second apart, with two missing before reading number hole (none when negative).
Samples secondsWithHole(int count, int hole)
{
    Samples samples;
    for (int i = 0; i < count; ++i) {
        const qint64 ms = i * 1000LL + (hole >= 0 && i >= hole ? 2000 : 0);
        samples << QPointF(static_cast<double>(ms), wave(ms));
    }
    return samples;
}

// Times in [from, to) ms, step apart (going down when step is negative).
Times times(qint64 from, qint64 to, qint64 step = 1000)
{
    Times list;
    for (qint64 t = from; step > 0 ? t < to : t > to; t += step)
        list << t;
    return list;
}

// The lines drawn against every reading: each column's lowest and highest reading, in time order, no
// line reaching across any of the moments apart, and not more points than the columns allow.
void verifyDrawn(const QList<QList<QPointF>>& lines, const Samples& samples, qint64 from, qint64 to,
                 int columns, const Times& apart)
{
    const auto columnOf = [&](double x) {
        return static_cast<int>(
            std::floor((x - static_cast<double>(from)) / static_cast<double>(to - from) * columns));
    };
    // Each column's lowest and highest reading, as drawing every reading would show them.
    std::vector<double> low(static_cast<std::size_t>(columns) + 1, 1e9);
    std::vector<double> high(low.size(), -1e9);
    for (const QPointF& sample : samples) {
        if (std::isnan(sample.y()))
            continue;
        const auto c = static_cast<std::size_t>(columnOf(sample.x()));
        low[c] = std::min(low[c], sample.y());
        high[c] = std::max(high[c], sample.y());
    }
    std::vector<double> drawnLow(low.size(), 1e9);
    std::vector<double> drawnHigh(low.size(), -1e9);
    qsizetype drawn = 0;
    double previousX = -1e18;
    for (const auto& line : lines) {
        for (const QPointF& point : line) {
            QVERIFY2(point.x() >= previousX, "drawn out of time order");
            previousX = point.x();
            const auto c = static_cast<std::size_t>(columnOf(point.x()));
            drawnLow[c] = std::min(drawnLow[c], point.y());
            drawnHigh[c] = std::max(drawnHigh[c], point.y());
        }
        drawn += line.size();
        for (const qint64 at : apart) {
            QVERIFY2(line.first().x() >= static_cast<double>(at) || line.last().x() < static_cast<double>(at),
                     qPrintable(QStringLiteral("a line from %1 to %2 ms across %3 ms")
                                    .arg(line.first().x(), 0, 'f', 0)
                                    .arg(line.last().x(), 0, 'f', 0)
                                    .arg(at)));
        }
    }
    QCOMPARE(drawnLow, low);
    QCOMPARE(drawnHigh, high);
    QVERIFY(drawn <= 2 * (columns + 1) + 2 * lines.size());
}

Reading readingOf(const Taken& taken)
{
    Reading reading;
    reading.time = QDateTime::fromMSecsSinceEpoch(taken.ms, Qt::OffsetFromUTC, 2 * 3600);
    reading.sensor = taken.sensor;
    if (!std::isnan(taken.celsius)) {
        reading.celsius = taken.celsius;
        reading.text = QStringLiteral("T%1 = %2 °C").arg(taken.sensor).arg(taken.celsius);
    } else {
        reading.error = ReadError::Timeout;
    }
    return reading;
}

QByteArray csvLine(qint64 ms, int sensor, double celsius)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, 2 * 3600)
               .toString(Qt::ISODateWithMs)
               .toUtf8() +
           ',' + QByteArray::number(sensor) + ',' + QByteArray::number(celsius, 'f', 2) + ",T" +
           QByteArray::number(sensor) + " = +" + QByteArray::number(celsius, 'f', 2) +
           " \xC2\xB0"
           "C\n";
}

// The history as a sink of the pipeline, as the monitor's view takes it.
class HistorySink : public Sink
{
public:
    explicit HistorySink(ReadingHistory& history) : history_(history) {}
    [[nodiscard]] QString description() const override { return QStringLiteral("history"); }
    void take(const Reading& reading) override { history_.take(reading); }

private:
    ReadingHistory& history_;
};

// Reads the log through the pipeline into the history, and waits until all of it is read.
bool readLog(ReadingHistory& history, const QString& path)
{
    Pipeline pipeline;
    pipeline.setSource(Pipeline::Source::Log);
    HistorySink sink(history);
    pipeline.addSink(&sink);
    LogSource log(path, pipeline);
    QSignalSpy caughtUp(&log, &LogSource::caughtUp);
    log.start();
    return QTest::qWaitFor([&] { return caughtUp.count() > 0; }, 20'000);
}

} // namespace

class ReadingStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void decimation_data();
    void decimation();
    void aReplayFillingAHoleJoinsTheLine_data();
    void aReplayFillingAHoleJoinsTheLine();
    void aReadingAlreadyHeldIsTakenOnce_data();
    void aReadingAlreadyHeldIsTakenOnce();
    void aLogReadTwiceOverCountsEachReadingOnce();
    void aLogWithHoursMissingIsNotDrawnAcrossThem_data();
    void aLogWithHoursMissingIsNotDrawnAcrossThem();
};

void ReadingStoreTest::decimation_data()
{
    QTest::addColumn<Samples>("samples"); // in the order they arrive; NaN: a reading without a value
    QTest::addColumn<QList<qint64>>("breaks");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("runs");
    QTest::addColumn<QList<qint64>>("apart"); // readings the lines before them must not reach

    const double none = std::nan("");
    Samples spiky;
    for (int i = 0; i < 10000; ++i)
        spiky << QPointF(i * 100, 20 + (i == 4321 ? 15 : 0) - (i == 777 ? 10 : 0) + (i % 7) * 0.01);
    QTest::newRow("peaks survive 10000 points in 50 columns")
        << spiky << QList<qint64>{} << 50 << 1 << QList<qint64>{};
    Samples steady;
    for (int i = 0; i < 20; ++i)
        steady << QPointF(i * 1000, 21.5);
    QTest::newRow("an outage breaks the line")
        << steady << QList<qint64>{10'500} << 100 << 2 << QList<qint64>{};
    Samples day;
    for (int i = 0; i < 5000; ++i)
        day << QPointF(i * 1000, 18 + (i % 50) * 0.1);
    QTest::newRow("an outage inside a long run, few columns")
        << day << QList<qint64>{2'500'500} << 10 << 2 << QList<qint64>{};
    QTest::newRow("two outages, one before all readings")
        << steady << QList<qint64>{-5, 4'000, 15'000} << 100 << 3 << QList<qint64>{};
    QTest::newRow("clock set back: readings kept in time order")
        << Samples{{10'000, 20}, {20'000, 21}, {30'000, 22}, {15'000, 25}, {16'000, 19}} << QList<qint64>{}
        << 100 << 1 << QList<qint64>{};
    Samples silent = steady;
    silent[5].setY(none);
    silent[6].setY(none);
    silent[12].setY(none);
    QTest::newRow("readings without a value break only their sensor's line")
        << silent << QList<qint64>{} << 100 << 3 << QList<qint64>{};
    // Three weeks at 5 s: whole summaries of 4096 readings make most of each column.
    Samples weeks;
    for (int i = 0; i < 400'000; ++i)
        weeks << QPointF(i * 5000.0,
                         20 + 5 * std::sin(i / 9000.0) + (i == 123'457 ? 9 : 0) + (i % 11) * 0.01);
    QTest::newRow("weeks in a few columns") << weeks << QList<qint64>{} << 37 << 1 << QList<qint64>{};
    Samples gappy = weeks;
    for (const int at : {4095, 4096, 65'536, 200'001})
        gappy[at].setY(none);
    QTest::newRow("weeks with readings without a value inside summaries")
        << gappy << QList<qint64>{1'500'000'000} << 53 << 5 << QList<qint64>{};

    // Where a sensor's readings stop for longer than about 2.5 times their spacing, with no line in
    // the log saying so (an older log, a hole the broker left).
    Samples warmUp; // ten hours at 10 s, hours 4 to 6 missing: no slow warm-up from 40 to 75 °C
    for (qint64 ms = 0; ms < 10 * kHour; ms += 10'000) {
        if (ms < 4 * kHour || ms >= 6 * kHour)
            warmUp << QPointF(static_cast<double>(ms), (ms < 4 * kHour ? 40 : 75) + wave(ms) - 20);
    }
    QTest::newRow("hours missing: two lines") << warmUp << Times{} << 500 << 2 << Times{6 * kHour};
    QTest::newRow("hours missing, few columns") << warmUp << Times{} << 7 << 2 << Times{6 * kHour};
    Samples roundMissed = secondsWithHole(200, -1);
    roundMissed.removeAt(100);
    QTest::newRow("a round missed: one line") << roundMissed << Times{} << 100 << 1 << Times{};
    QTest::newRow("two rounds missed: two lines")
        << secondsWithHole(200, 100) << Times{} << 100 << 2 << Times{102'000};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> tenPercent(-100, 100);
    Samples jittered; // rounds a second apart, each up to 10 % early or late
    for (int i = 0; i < 20'000; ++i) {
        const qint64 ms = i * 1000LL + tenPercent(random);
        jittered << QPointF(static_cast<double>(ms), wave(ms));
    }
    QTest::newRow("rounds jittering by 10 %: one line") << jittered << Times{} << 100 << 1 << Times{};
    QTest::newRow("rounds jittering by 10 %, a column for each: one line")
        << jittered << Times{} << 40'000 << 1 << Times{};
    Samples uneven; // intervals of 0.9 to 1.1 s, once 3 s
    qint64 hole = 0;
    for (qint64 i = 0, ms = 0; i < 20'000; ++i, ms += i == 5000 ? 3000 : 1000 + tenPercent(random)) {
        uneven << QPointF(static_cast<double>(ms), wave(ms));
        if (i == 5000)
            hole = ms;
    }
    QTest::newRow("intervals jittering by 10 %, once three times as long: two lines")
        << uneven << Times{} << 100 << 2 << Times{hole};
    // The hole inside a summary that lies whole in one column.
    QTest::newRow("a hole inside a block of 16")
        << secondsWithHole(1600, 55) << Times{} << 10 << 2 << Times{57'000};
    QTest::newRow("a hole inside a block of 256")
        << secondsWithHole(100'000, 5200) << Times{} << 100 << 2 << Times{5'202'000};
    QTest::newRow("a hole inside a block of 4096")
        << secondsWithHole(400'000, 63'000) << Times{} << 20 << 2 << Times{63'002'000};
    QTest::newRow("a hole and an outage inside one block of 4096")
        << secondsWithHole(400'000, 63'000) << Times{64'000'500} << 20 << 3 << Times{63'002'000};
    Samples late = secondsWithHole(50, -1); // the first reading, then the rest two hours later
    std::for_each(late.begin() + 1, late.end(), [](QPointF& sample) { sample.rx() += 2 * kHour; });
    QTest::newRow("a hole after the first reading") << late << Times{} << 100 << 2 << Times{2 * kHour + 1000};
    Samples extra = secondsWithHole(100, -1);
    extra << QPointF(50'050, 21);
    QTest::newRow("a reading just after another: one line") << extra << Times{} << 1000 << 1 << Times{};
    Samples twice = secondsWithHole(20, -1);
    twice << QPointF(25'000, 20) << QPointF(30'000, 20) << QPointF(31'000, 20) << QPointF(32'000, 20);
    QTest::newRow("a hole after a hole: three lines")
        << twice << Times{} << 100 << 3 << Times{25'000, 30'000};
    Samples rarer = secondsWithHole(100, -1);
    for (qint64 ms = 109'000; ms < 1'000'000; ms += 10'000)
        rarer << QPointF(static_cast<double>(ms), 22);
    // Two intervals are needed to tell a new spacing from a hole: the first reading at it stands alone.
    QTest::newRow("readings ten times rarer from one on")
        << rarer << Times{} << 100 << 3 << Times{109'000, 119'000};
    Samples denser;
    for (qint64 ms = 0; ms < 1'000'000; ms += 10'000)
        denser << QPointF(static_cast<double>(ms), 22);
    denser << secondsWithHole(100, -1).sliced(1); // 1 s apart from 1'001'000 on
    std::for_each(denser.begin() + 100, denser.end(), [](QPointF& sample) { sample.rx() += 1'000'000; });
    QTest::newRow("readings ten times denser from one on: one line")
        << denser << Times{} << 100 << 1 << Times{};
    Samples silentInHole = secondsWithHole(300, 150);
    silentInHole[149].setY(std::nan(""));
    QTest::newRow("a reading without a value before a hole")
        << silentInHole << Times{} << 100 << 2 << Times{152'000};
}

void ReadingStoreTest::decimation()
{
    QFETCH(Samples, samples);
    QFETCH(QList<qint64>, breaks);
    QFETCH(int, columns);
    QFETCH(int, runs);
    QFETCH(Times, apart);

    ReadingStore store;
    for (const QPointF& sample : samples) {
        store.append(4, static_cast<qint64>(sample.x()),
                     std::isnan(sample.y()) ? std::nullopt : std::optional<double>(sample.y()));
    }
    for (const qint64 at : breaks)
        store.addBreak(at);
    const auto [earliest, latest] =
        std::minmax_element(samples.begin(), samples.end(), [](auto a, auto b) { return a.x() < b.x(); });
    const auto from = static_cast<qint64>(earliest->x());
    const auto to = static_cast<qint64>(latest->x());
    const auto lines = store.decimated(4, from, to, columns);
    QCOMPARE(lines.size(), runs);
    verifyDrawn(lines, samples, from, to, columns, breaks + apart);
}

void ReadingStoreTest::aReplayFillingAHoleJoinsTheLine_data()
{
    QTest::addColumn<Times>("first"); // ms, in the order they arrive
    QTest::addColumn<int>("runsFirst");
    QTest::addColumn<Times>("apartFirst");
    QTest::addColumn<Times>("then"); // arriving after them
    QTest::addColumn<int>("runsThen");
    QTest::addColumn<Times>("apartThen");

    const Times holed = times(0, 2'000'000) + times(3'000'000, 5'000'000);
    QTest::newRow("replayed oldest first")
        << holed << 2 << Times{3'000'000} << times(2'000'000, 3'000'000) << 1 << Times{};
    QTest::newRow("replayed newest first")
        << holed << 2 << Times{3'000'000} << times(2'999'000, 1'999'000, -1000) << 1 << Times{};
    QTest::newRow("replayed every other one first")
        << holed << 2 << Times{3'000'000}
        << times(2'000'000, 3'000'000, 2000) + times(2'001'000, 3'000'000, 2000) << 1 << Times{};
    QTest::newRow("replayed in part: a shorter hole stays")
        << holed << 2 << Times{3'000'000} << times(2'000'000, 2'500'000) << 2 << Times{3'000'000};
    QTest::newRow("older readings arriving late: apart from the rest")
        << times(0, 1'000'000) << 1 << Times{} << times(-5'000'000, -4'000'000) << 2 << Times{0};
    QTest::newRow("one reading alone in a hole")
        << times(0, 400'000) + times(600'000, 1'000'000) << 2 << Times{600'000} << Times{500'000} << 3
        << Times{500'000, 600'000};
    QTest::newRow("a late reading within the spacing")
        << times(0, 1'000'000) << 1 << Times{} << Times{500'500} << 1 << Times{};
}

void ReadingStoreTest::aReplayFillingAHoleJoinsTheLine()
{
    QFETCH(Times, first);
    QFETCH(int, runsFirst);
    QFETCH(Times, apartFirst);
    QFETCH(Times, then);
    QFETCH(int, runsThen);
    QFETCH(Times, apartThen);

    ReadingStore store;
    Samples held;
    const auto verifyRuns = [&](int runs, const Times& apart) {
        const auto [earliest, latest] =
            std::minmax_element(held.begin(), held.end(), [](auto a, auto b) { return a.x() < b.x(); });
        const auto from = static_cast<qint64>(earliest->x());
        const auto to = static_cast<qint64>(latest->x());
        // A column a reading, and columns taking whole summaries.
        for (const int columns : {100'000, 300, 7}) {
            const auto lines = store.decimated(4, from, to, columns);
            QCOMPARE(lines.size(), runs);
            verifyDrawn(lines, held, from, to, columns, apart);
            if (QTest::currentTestFailed())
                return;
        }
    };
    for (const qint64 ms : first) {
        store.append(4, ms, wave(ms));
        held << QPointF(static_cast<double>(ms), wave(ms));
    }
    verifyRuns(runsFirst, apartFirst);
    if (QTest::currentTestFailed())
        return;
    for (const qint64 ms : then) {
        store.append(4, ms, wave(ms));
        held << QPointF(static_cast<double>(ms), wave(ms));
    }
    verifyRuns(runsThen, apartThen);
}

void ReadingStoreTest::aReadingAlreadyHeldIsTakenOnce_data()
{
    QTest::addColumn<QList<Taken>>("taken"); // in the order they arrive
    QTest::addColumn<QList<bool>>("added");
    QTest::addColumn<QStringList>("sensorTwo"); // its readings held, "ms value"
    QTest::addColumn<QString>("statsOfTwo");

    const double none = std::nan("");
    QTest::newRow("the same reading twice")
        << QList<Taken>{{2, 1000, 20}, {2, 1000, 20}} << QList<bool>{true, false} << QStringList{"1000 20"}
        << "1 readings 1 values mean 20";
    QTest::newRow("the same time with another value: the first stays")
        << QList<Taken>{{2, 1000, 20}, {2, 1000, 30}} << QList<bool>{true, false} << QStringList{"1000 20"}
        << "1 readings 1 values mean 20";
    QTest::newRow("again after later ones, as a replay sends it")
        << QList<Taken>{{2, 1000, 20}, {2, 2000, 21}, {2, 3000, 22}, {2, 2000, 21}, {2, 1000, 20}}
        << QList<bool>{true, true, true, false, false} << QStringList{"1000 20", "2000 21", "3000 22"}
        << "3 readings 3 values mean 21";
    QTest::newRow("a reading without a value twice")
        << QList<Taken>{{2, 1000, none}, {2, 1000, none}, {2, 2000, 20}} << QList<bool>{true, false, true}
        << QStringList{"1000 -", "2000 20"} << "2 readings 1 values mean 20";
    QTest::newRow("the same time, another sensor: both")
        << QList<Taken>{{2, 1000, 20}, {3, 1000, 25}} << QList<bool>{true, true} << QStringList{"1000 20"}
        << "1 readings 1 values mean 20";
    QTest::newRow("a millisecond apart: both")
        << QList<Taken>{{2, 1000, 20}, {2, 1001, 22}} << QList<bool>{true, true}
        << QStringList{"1000 20", "1001 22"} << "2 readings 2 values mean 21";
}

void ReadingStoreTest::aReadingAlreadyHeldIsTakenOnce()
{
    QFETCH(QList<Taken>, taken);
    QFETCH(QList<bool>, added);
    QFETCH(QStringList, sensorTwo);
    QFETCH(QString, statsOfTwo);

    ReadingStore store;
    ReadingHistory history;
    QList<bool> addedToStore;
    QList<bool> takenByHistory;
    for (const Taken& t : taken) {
        addedToStore << store.append(t.sensor, t.ms,
                                     std::isnan(t.celsius) ? std::nullopt : std::optional<double>(t.celsius));
        takenByHistory << history.take(readingOf(t));
    }
    QCOMPARE(addedToStore, added);
    QCOMPARE(takenByHistory, added);

    QStringList held;
    for (std::size_t i = 0; i < history.store().size(2); ++i) {
        const auto celsius = history.store().celsius(2, i);
        held << QStringLiteral("%1 %2")
                    .arg(history.store().time(2, i))
                    .arg(celsius ? QString::number(*celsius) : QStringLiteral("-"));
    }
    QCOMPARE(held, sensorTwo);
    const SensorStats::Sensor& two = history.stats().at(2);
    QCOMPARE(
        QStringLiteral("%1 readings %2 values mean %3").arg(two.readings).arg(two.values).arg(*two.mean()),
        statsOfTwo);
}

void ReadingStoreTest::aLogReadTwiceOverCountsEachReadingOnce()
{
    // A log that a restored copy of its beginning was appended to, the logger then going on.
    const qint64 start = QDateTime(QDate(2024, 5, 6), QTime(10, 0)).toMSecsSinceEpoch();
    QByteArray first = "time,sensor,celsius,reply\n";
    for (int i = 0; i < 5; ++i)
        first += csvLine(start + i * 1000, 1, 20 + i);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calimbra.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(first + first + csvLine(start + 5000, 1, 25)) > 0);
    file.close();

    ReadingHistory history;
    QVERIFY(readLog(history, path));
    QCOMPARE(history.store().size(1), std::size_t{6});
    const SensorStats::Sensor& one = history.stats().at(1);
    QCOMPARE(one.readings, 6);
    QCOMPARE(*one.mean(), 22.5);
}

void ReadingStoreTest::aLogWithHoursMissingIsNotDrawnAcrossThem_data()
{
    QTest::addColumn<qint64>("missing"); // ms without readings, between two readings 10 s apart
    QTest::addColumn<int>("runs");

    QTest::newRow("two hours") << 2 * kHour << 2;
    QTest::newRow("two rounds") << qint64{20'000} << 2;
    QTest::newRow("one round") << qint64{10'000} << 1;
}

void ReadingStoreTest::aLogWithHoursMissingIsNotDrawnAcrossThem()
{
    QFETCH(qint64, missing);
    QFETCH(int, runs);

    // Ten hours of a sensor warming up, as an older calimbra-cli log has it: no line tells of the
    // hole.
    const qint64 start = QDateTime(QDate(2024, 5, 6), QTime(8, 0)).toMSecsSinceEpoch();
    const qint64 holeFrom = start + 4 * kHour;
    QByteArray log = "time,sensor,celsius,reply\n";
    for (qint64 ms = start; ms < start + 10 * kHour; ms += ms == holeFrom ? 10'000 + missing : 10'000)
        log += csvLine(ms, 3, ms <= holeFrom ? 40 : 75);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calimbra.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(log) == log.size());
    file.close();

    ReadingHistory history;
    QVERIFY(readLog(history, path));
    const auto lines = history.store().decimated(3, start, start + 10 * kHour, 500);
    QCOMPARE(lines.size(), runs);
    if (runs == 2) {
        QCOMPARE(lines.first().last(), QPointF(static_cast<double>(holeFrom), 40));
        QCOMPARE(lines.last().first(), QPointF(static_cast<double>(holeFrom + 10'000 + missing), 75));
    }
}

QTEST_GUILESS_MAIN(ReadingStoreTest)
#include "tst_readingstore.moc"
