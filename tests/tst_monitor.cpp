// SPDX-License-Identifier: MIT
#include "support/BoardProcess.h"

#include "MonitorWindow.h"
#include "ReadingStore.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include <csignal>

using namespace calimbra;

using Samples = QList<QPointF>; // (ms, °C)

class MonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decimation_data();
    void decimation();
    void roundsReachTheTableAndTheRecordThroughAHangUp();
};

void MonitorTest::initTestCase()
{
    // Remembered settings go to a throw-away place, not the user's.
    QStandardPaths::setTestModeEnabled(true);
}

void MonitorTest::decimation_data()
{
    QTest::addColumn<Samples>("samples"); // in the order they arrive
    QTest::addColumn<QList<qint64>>("breaks");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("runs");

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
}

void MonitorTest::decimation()
{
    QFETCH(Samples, samples);
    QFETCH(QList<qint64>, breaks);
    QFETCH(int, columns);
    QFETCH(int, runs);

    ReadingStore store;
    for (const QPointF& sample : samples)
        store.append(4, static_cast<qint64>(sample.x()), sample.y());
    for (const qint64 at : breaks)
        store.addBreak(at);
    const qint64 from = static_cast<qint64>(samples.first().x());
    const qint64 to = static_cast<qint64>(
        std::max_element(samples.begin(), samples.end(), [](auto a, auto b) { return a.x() < b.x(); })->x());
    const auto lines = store.decimated(4, from, to, columns);
    QCOMPARE(lines.size(), runs);

    double low = 1e9;
    double high = -1e9;
    qsizetype drawn = 0;
    double previousX = -1e18;
    for (const auto& line : lines) {
        for (const QPointF& point : line) {
            QVERIFY2(point.x() >= previousX, "drawn out of time order");
            previousX = point.x();
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
        drawn += line.size();
        // No line crosses an outage.
        for (const qint64 at : breaks)
            QVERIFY(line.first().x() >= at || line.last().x() < at);
    }
    const auto [minIt, maxIt] =
        std::minmax_element(samples.begin(), samples.end(), [](auto a, auto b) { return a.y() < b.y(); });
    // Kept as float: a hundredth of a degree is far inside its precision.
    QCOMPARE(static_cast<float>(low), static_cast<float>(minIt->y()));
    QCOMPARE(static_cast<float>(high), static_cast<float>(maxIt->y()));
    QVERIFY(drawn <= 2 * (columns + 1) + 2 * runs);
}

void MonitorTest::roundsReachTheTableAndTheRecordThroughAHangUp()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBoard"));
    const QString record = dir.filePath(QStringLiteral("record.csv"));
    auto board = std::make_unique<BoardProcess>(QStringList{"--sensors", "3", "--link", link});

    MonitorWindow window;
    window.usePort(link);
    window.findChild<QSpinBox*>(QStringLiteral("intervalSpin"))->setValue(1);
    window.recordTo(record);
    window.show();
    QSignalSpy readings(&window.session(), &SamplingSession::readingTaken);
    QSignalSpy rounds(&window.session(), &SamplingSession::roundFinished);
    QSignalSpy resumed(&window.session(), &SamplingSession::resumed);
    window.findChild<QAction*>(QStringLiteral("actionStart"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(rounds.count() >= 2, 10000);

    const auto* table = window.findChild<QTableWidget*>(QStringLiteral("table"));
    QVERIFY(table->item(2, 2)->text().startsWith(QLatin1String("T3 = +")));
    QVERIFY(!table->item(2, 1)->text().isEmpty());
    QVERIFY(table->item(3, 1)->text().isEmpty()); // S4 is not active

    // The cable is pulled, and the board comes back under the same name.
    board->signal(SIGUSR1);
    QTRY_COMPARE_WITH_TIMEOUT(board->process().state(), QProcess::NotRunning, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(window.session().inTrouble(), 5000);
    QVERIFY(table->item(0, 6)->text().contains(QLatin1String("not answering")));
    board = std::make_unique<BoardProcess>(QStringList{"--sensors", "3", "--link", link});
    QTRY_VERIFY_WITH_TIMEOUT(resumed.count() == 1, 15000);
    const int roundsBefore = rounds.count();
    QTRY_VERIFY_WITH_TIMEOUT(rounds.count() > roundsBefore, 5000);
    window.findChild<QAction*>(QStringLiteral("actionStart"))->trigger(); // stop

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(window.store().decimated(1, now - 60'000, now, 500).size(), 2); // a gap, not a line across it

    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), QByteArray("time,sensor,celsius,reply,name"));
    QCOMPARE(lines.last(), QByteArray()); // ends with a whole line
    QCOMPARE(lines.size() - 2, readings.count());
}

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
