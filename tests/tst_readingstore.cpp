// SPDX-License-Identifier: MIT
#include "ReadingStore.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using namespace calimbra;

using Samples = QList<QPointF>; // (ms, °C)

class ReadingStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void decimation_data();
    void decimation();
};

void ReadingStoreTest::decimation_data()
{
    QTest::addColumn<Samples>("samples"); // in the order they arrive; NaN: a reading without a value
    QTest::addColumn<QList<qint64>>("breaks");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("runs");

    const double none = std::nan("");
    Samples spiky;
    for (int i = 0; i < 10000; ++i)
        spiky << QPointF(i * 100, 20 + (i == 4321 ? 15 : 0) - (i == 777 ? 10 : 0) + (i % 7) * 0.01);
    QTest::newRow("peaks survive 10000 points in 50 columns") << spiky << QList<qint64>{} << 50 << 1;
    Samples steady;
    for (int i = 0; i < 20; ++i)
        steady << QPointF(i * 1000, 21.5);
    QTest::newRow("an outage breaks the line") << steady << QList<qint64>{10'500} << 100 << 2;
    Samples day;
    for (int i = 0; i < 5000; ++i)
        day << QPointF(i * 1000, 18 + (i % 50) * 0.1);
    QTest::newRow("an outage inside a long run, few columns") << day << QList<qint64>{2'500'500} << 10 << 2;
    QTest::newRow("two outages, one before all readings")
        << steady << QList<qint64>{-5, 4'000, 15'000} << 100 << 3;
    QTest::newRow("clock set back: readings kept in time order")
        << Samples{{10'000, 20}, {20'000, 21}, {30'000, 22}, {15'000, 25}, {16'000, 19}} << QList<qint64>{}
        << 100 << 1;
    Samples silent = steady;
    silent[5].setY(none);
    silent[6].setY(none);
    silent[12].setY(none);
    QTest::newRow("readings without a value break only their sensor's line")
        << silent << QList<qint64>{} << 100 << 3;
    // Three weeks at 5 s: whole summaries of 4096 readings make most of each column.
    Samples weeks;
    for (int i = 0; i < 400'000; ++i)
        weeks << QPointF(i * 5000.0,
                         20 + 5 * std::sin(i / 9000.0) + (i == 123'457 ? 9 : 0) + (i % 11) * 0.01);
    QTest::newRow("weeks in a few columns") << weeks << QList<qint64>{} << 37 << 1;
    Samples gappy = weeks;
    for (const int at : {4095, 4096, 65'536, 200'001})
        gappy[at].setY(none);
    QTest::newRow("weeks with readings without a value inside summaries")
        << gappy << QList<qint64>{1'500'000'000} << 53 << 5;
}

void ReadingStoreTest::decimation()
{
    QFETCH(Samples, samples);
    QFETCH(QList<qint64>, breaks);
    QFETCH(int, columns);
    QFETCH(int, runs);

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
        // No line crosses an outage.
        for (const qint64 at : breaks)
            QVERIFY(line.first().x() >= static_cast<double>(at) || line.last().x() < static_cast<double>(at));
    }
    QCOMPARE(drawnLow, low);
    QCOMPARE(drawnHigh, high);
    QVERIFY(drawn <= 2 * (columns + 1) + 2 * runs);
}

QTEST_GUILESS_MAIN(ReadingStoreTest)
#include "tst_readingstore.moc"
