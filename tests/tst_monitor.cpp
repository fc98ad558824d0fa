// SPDX-License-Identifier: MIT
#include "support/BoardProcess.h"

#include "BoardConfig.h"
#include "BoardSettings.h"
#include "LogReader.h"
#include "MonitorWindow.h"
#include "Outputs.h"
#include "ReadingStore.h"
#include "SensorStats.h"
#include "SensorsDialog.h"
#include "TemperatureChart.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <cmath>
#include <csignal>

using namespace calimbra;

struct Taken
{
    int sensor;
    qint64 ms;
    double celsius; // NaN: none
    std::optional<ReadError> error;
    QString reply;
    QString name;
};
Q_DECLARE_METATYPE(Taken)
Q_DECLARE_METATYPE(SensorProfile)

namespace {

// The table's rows as the operator reads them, the time column left out: "S2|20.50|T2 = ...|...".
QStringList tableRows(const MonitorWindow& window)
{
    const auto* table = window.findChild<QTableWidget*>(QStringLiteral("table"));
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < 6; ++column)
            cells << table->item(row, column)->text();
        rows << cells.join(u'|');
    }
    return rows;
}

} // namespace

class MonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void statistics_data();
    void statistics();
    void theChartFollows_data();
    void theChartFollows();
    void exportWritesWhatTheChartShowsAsTheLogDoes();
    void openingALog_data();
    void openingALog();
    void aLogGrowingWhileOpenIsFollowed();
    void roundsReachTheTableAndTheRecordThroughAHangUp();
    void theSensorsDialogSavesOnlyWhatReadsBack_data();
    void theSensorsDialogSavesOnlyWhatReadsBack();
    void aSensorAboveItsHighLimitTurnsItsRowRed();
    void aLogOpenedWithTheBoardsFileShowsItsLimitsAndAlarms();
    void anEmptyChartSaysWhatToDoNext();
};

void MonitorTest::initTestCase()
{
    // Remembered settings go to a throw-away place, not the user's.
    QStandardPaths::setTestModeEnabled(true);
}

void MonitorTest::statistics_data()
{
    QTest::addColumn<QList<Taken>>("taken");
    QTest::addColumn<QString>("sensorTwo");
    QTest::addColumn<QList<int>>("seen");

    const double none = std::nan("");
    QTest::newRow("a first value below zero is the lowest and the highest")
        << QList<Taken>{{2, 1000, -5.5, {}, "T2 = -05.50 °C", {}}}
        << "1 readings 1 values -5.5..-5.5 mean -5.5; latest 1000 -5.5 \"T2 = -05.50 °C\"" << QList<int>{2};
    QTest::newRow("a reading without a value is the latest, not a value")
        << QList<Taken>{{2, 1000, 20, {}, "T2 = +20.00 °C", {}}, {2, 2000, none, ReadError::Timeout, "", {}}}
        << "2 readings 1 values 20..20 mean 20; latest 2000 - timeout \"\"" << QList<int>{2};
    QTest::newRow("a reading read back out of order counts, but is not the latest")
        << QList<Taken>{{2, 5000, 21, {}, "T2 = +21.00 °C", {}}, {2, 1000, 19, {}, "T2 = +19.00 °C", {}}}
        << "2 readings 2 values 19..21 mean 20; latest 5000 21 \"T2 = +21.00 °C\"" << QList<int>{2};
    QTest::newRow("a value after an error is no error")
        << QList<Taken>{{2, 1000, none, ReadError::Garbled, "T2 = +2", {}},
                        {2, 2000, 22.5, {}, "T2 = +22.50 °C", {}}}
        << "2 readings 1 values 22.5..22.5 mean 22.5; latest 2000 22.5 \"T2 = +22.50 °C\"" << QList<int>{2};
    QTest::newRow("a name stays when later readings come without it")
        << QList<Taken>{{2, 1000, 20, {}, "T2", "Boiler"}, {2, 2000, 21, {}, "T2", {}}}
        << "2 readings 2 values 20..21 mean 20.5; latest 2000 21 \"T2\" Boiler" << QList<int>{2};
    QTest::newRow("other sensors apart")
        << QList<Taken>{{1, 1000, 20, {}, "T1", {}}, {9, 1000, 30, {}, "T9", {}}} << "0 readings 0 values"
        << QList<int>{1, 9};
}

void MonitorTest::statistics()
{
    QFETCH(QList<Taken>, taken);
    QFETCH(QString, sensorTwo);
    QFETCH(QList<int>, seen);

    SensorStats stats;
    for (const Taken& t : taken) {
        stats.take(t.sensor, t.ms, std::isnan(t.celsius) ? std::nullopt : std::optional<double>(t.celsius),
                   t.error, t.reply, t.name);
    }
    const SensorStats::Sensor& two = stats.at(2);
    QString described = QStringLiteral("%1 readings %2 values").arg(two.readings).arg(two.values);
    if (two.values > 0)
        described += QStringLiteral(" %1..%2 mean %3").arg(two.min).arg(two.max).arg(*two.mean());
    if (two.seen()) {
        described +=
            QStringLiteral("; latest %1 %2%3 \"%4\"")
                .arg(two.ms)
                .arg(two.celsius ? QString::number(*two.celsius) : QStringLiteral("-"),
                     two.error ? QStringLiteral(" ") + readErrorName(*two.error) : QString(), two.reply);
        if (!two.name.isEmpty())
            described += u' ' + two.name;
    }
    QCOMPARE(described, sensorTwo);
    QCOMPARE(stats.seen(), seen);
}

void MonitorTest::theChartFollows_data()
{
    QTest::addColumn<int>("minutes");     // of readings, one every 10 s
    QTest::addColumn<int>("spanMinutes"); // 0: everything
    QTest::addColumn<double>("swing");    // °C the readings go up and down by

    QTest::newRow("a first reading, the last 10 minutes") << 0 << 10 << 0.0;
    QTest::newRow("30 s of readings, the last 10 minutes") << 0 << 10 << 0.3;
    QTest::newRow("8 minutes of the last 10") << 8 << 10 << 1.7;
    QTest::newRow("an hour, the last 10 minutes: sliding") << 60 << 10 << 4.0;
    QTest::newRow("an hour, the last 24 hours") << 60 << 24 * 60 << 12.5;
    QTest::newRow("two days, everything") << 2 * 24 * 60 << 0 << 0.04;
}

void MonitorTest::theChartFollows()
{
    QFETCH(int, minutes);
    QFETCH(int, spanMinutes);
    QFETCH(double, swing);

    const qint64 last = QDateTime::currentMSecsSinceEpoch() - 60'000;
    const qint64 first = last - std::max(minutes * 60'000LL, minutes == 0 && swing > 0 ? 30'000LL : 0LL);
    ReadingStore store;
    QChartView view;
    view.resize(800, 400);
    view.show();
    TemperatureChart chart(store, view);
    chart.setLive(false); // a log read back: the present is its newest reading
    chart.showSensor(1, {});
    double low = 1e9;
    double high = -1e9;
    for (qint64 ms = first; ms <= last; ms += 10'000) {
        const double celsius = 20 + swing * std::sin(static_cast<double>(ms - first) / 60'000.0);
        store.append(1, ms, celsius);
        low = std::min(low, celsius);
        high = std::max(high, celsius);
    }
    chart.setSpan(std::chrono::minutes(spanMinutes));

    const auto [from, to] = chart.shownRange();
    const qint64 span = spanMinutes * 60'000LL;
    // The newest reading at the right edge, or at the left of the narrowest stretch shown.
    QVERIFY(to >= last);
    QVERIFY(to - last <= std::max<qint64>({span / 100, (last - first) / 10 + 2'000,
                                           TemperatureChart::kNarrowest.count()}));
    if (span == 0 || last - first <= span * 8 / 10) {
        // Not filled yet: every reading in view, with a little room either side.
        QVERIFY(from < first);
        QVERIFY(first - from <= (last - first) / 10 + 2'000);
        QVERIFY(to - from <=
                std::max<qint64>((last - first) * 13 / 10, TemperatureChart::kNarrowest.count() + 4'000));
    } else {
        QCOMPARE(to - from, span);
    }

    const auto* axis = qobject_cast<QValueAxis*>(view.chart()->axes(Qt::Vertical).first());
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double mantissa = step / power;
    QVERIFY2(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6,
             qPrintable(QStringLiteral("a step of %1 °C").arg(step)));
    QVERIFY(axis->tickCount() - 1 <= 9);
    QVERIFY(axis->min() <= low && axis->max() >= high);
    // The lines fill the height: not a flat line in the middle of a scale ten times too wide.
    QVERIFY2(
        axis->max() - axis->min() <= std::max((high - low) * 2.5, 0.75),
        qPrintable(
            QStringLiteral("%1 to %2 °C for %3 to %4").arg(axis->min()).arg(axis->max()).arg(low).arg(high)));
}

void MonitorTest::exportWritesWhatTheChartShowsAsTheLogDoes()
{
    QTemporaryDir dir;
    MonitorWindow window;
    window.show();
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime base = now.toOffsetFromUtc(now.offsetFromUtc()).addSecs(-300);
    struct Fed
    {
        int sensor;
        int second;
        std::optional<double> celsius;
        QString text;
    };
    const QList<Fed> fed = {
        {1, -3600, 18.5, "T1 = +18.50 °C"}, // an hour ago: outside the last 10 minutes shown
        {1, 0, 23.56, "T1 = +23.56 °C"},
        {2, 1, -0.07, "T2 = -00.07 °C"},
        {3, 2, 100.125, "T3 = +100.125 °C"},
        {4, 3, 21.0, "T4 = \"21,0\" °C"},
        {5, 4, std::nullopt, ""},
        {1, 10, 0.1 + 0.2, "T1 = +00.30 °C"},
        {2, 11, 23.56, "T2 = +23.56 °C"},
    };
    for (const Fed& f : fed) {
        Reading reading;
        reading.time = base.addSecs(f.second);
        reading.roundStart = reading.time;
        reading.sensor = f.sensor;
        reading.celsius = f.celsius;
        reading.text = f.text;
        reading.error = f.celsius ? std::nullopt : std::optional<ReadError>(ReadError::Timeout);
        window.addReading(reading);
    }
    window.replot();
    const QString path = dir.filePath(QStringLiteral("export.csv"));
    window.exportTo(path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(logHeader(LogFormat::Csv)));
    QVERIFY2(bytes.contains(",1,23.56,T1 = +23.56 °C,\n"), bytes.constData()); // not 23.559999465942383

    QList<Fed> back;
    LogParser parser([&](const LogRecord& record) {
        const Reading reading = toReading(record);
        back << Fed{reading.sensor, static_cast<int>(base.secsTo(reading.time)), reading.celsius,
                    reading.text};
    });
    parser.feed(bytes);
    QCOMPARE(parser.badLines(), 0);
    QCOMPARE(back.size(), fed.size() - 1);
    for (qsizetype i = 0; i < back.size(); ++i) {
        const Fed& expected = fed.at(i + 1);
        QCOMPARE(back[i].sensor, expected.sensor);
        QCOMPARE(back[i].second, expected.second);
        QCOMPARE(back[i].celsius, expected.celsius); // the very same double
        QCOMPARE(back[i].text, expected.text);
    }
}

void MonitorTest::openingALog_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("status");

    QTest::newRow("CSV with junk and a sensor without a value")
        << QByteArray("time,sensor,celsius,reply,name\n"
                      "2024-05-06T10:00:00.000+02:00,2,20.5,T2 = +20.50 °C,Boiler\n"
                      "2024-05-06T10:00:00.100+02:00,5,,,\n"
                      "this is no reading\n"
                      "2024-05-06T10:00:10.000+02:00,2,21.5,T2 = +21.50 °C,Boiler\n")
        << QStringList{"S2 Boiler|21.50|T2 = +21.50 °C|20.50|21.50|21.00", "S5|no reply|(no reply)|||"}
        << "skipped, 1 in all; the first is line 4";
    QTest::newRow("JSON Lines")
        << QByteArray(R"({"time":"2024-05-06T10:00:00Z","sensor":9,"celsius":-3.25,"reply":"T9 = -03.25 °C"})"
                      "\n")
        << QStringList{"S9|-3.25|T9 = -03.25 °C|-3.25|-3.25|-3.25"} << "1 in all";
    QTest::newRow("not a log") << QByteArray("<html>\n</html>\n") << QStringList{} << "not a Calimbra log";
}

void MonitorTest::openingALog()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(QString, status);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    MonitorWindow window;
    window.show();
    window.openLog(path);
    const auto* label = window.findChild<QLabel*>(QStringLiteral("statusLabel"));
    QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(status), 5000);
    QCOMPARE(tableRows(window), rows);
    // The legend has an entry for the sensors of the table, and for no other.
    QList<int> sensors;
    for (const QString& row : rows)
        sensors << row.mid(1, 1).toInt();
    QCOMPARE(window.chart().visibleSensors(), sensors);
}

void MonitorTest::aLogGrowingWhileOpenIsFollowed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calimbra.csv"));
    {
        LogFile log(path, LogFormat::Csv);
        Reading reading;
        reading.time = QDateTime::currentDateTime().addSecs(-60);
        reading.sensor = 3;
        reading.celsius = 22.25;
        reading.text = QStringLiteral("T3 = +22.25 °C");
        log.append(reading);
    }
    MonitorWindow window;
    window.show();
    QSignalSpy caughtUp(&window, &MonitorWindow::logCaughtUp);
    window.openLog(path);
    QVERIFY(caughtUp.wait(5000));
    QCOMPARE(tableRows(window), QStringList{"S3|22.25|T3 = +22.25 °C|22.25|22.25|22.25"});

    // Another program goes on logging to it: a new sensor and a new lowest value appear.
    LogFile log(path, LogFormat::Csv);
    Reading reading;
    reading.time = QDateTime::currentDateTime();
    reading.sensor = 1;
    reading.celsius = 19.5;
    reading.text = QStringLiteral("T1 = +19.50 °C");
    log.append(reading);
    reading.sensor = 3;
    reading.celsius = 21.75;
    reading.text = QStringLiteral("T3 = +21.75 °C");
    log.append(reading);
    QTRY_COMPARE_WITH_TIMEOUT(tableRows(window),
                              (QStringList{"S1|19.50|T1 = +19.50 °C|19.50|19.50|19.50",
                                           "S3|21.75|T3 = +21.75 °C|21.75|22.25|22.00"}),
                              10000);
    QCOMPARE(window.store().size(3), std::size_t{2});
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
    QCOMPARE(table->rowCount(), 3); // S4 to S9 are not active: no rows for them

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

void MonitorTest::theSensorsDialogSavesOnlyWhatReadsBack_data()
{
    QTest::addColumn<QByteArray>("file");   // the board's file before
    QTest::addColumn<QString>("locale");    // the operator's
    QTest::addColumn<QStringList>("cells"); // sensor 3's name, offset, low, high, hysteresis, for, lost after
    QTest::addColumn<bool>("faultValues");
    QTest::addColumn<QString>("problem"); // empty: saved
    QTest::addColumn<SensorProfile>("saved");

    const QByteArray plain = "port = /dev/ttyUSB0\n";
    SensorProfile freezer;
    freezer.name = QStringLiteral("Freezer; door side");
    freezer.offset = -0.25;
    freezer.low = -25;
    freezer.high = -15;
    freezer.hysteresis = 1;
    freezer.delay = std::chrono::seconds(300);
    freezer.lostAfter = 5;
    QTest::newRow("every field, in Portuguese numbers")
        << plain << "pt_BR" << QStringList{"Freezer; door side", "-0,25", "-25", "-15", "1", "300", "5"}
        << true << QString() << freezer;
    SensorProfile noFaults;
    noFaults.faultValues = false;
    QTest::newRow("empty limits set no alarm; fault values off")
        << plain << "C" << QStringList{"", "0", "", "", "0.5", "0", "3"} << false << QString() << noFaults;
    QTest::newRow("a profile put back to the defaults loses its limit")
        << QByteArray("port = /dev/ttyUSB0\n[sensor.3]\nhigh = 30\n") << "C"
        << QStringList{"", "0", "", "", "0.5", "0", "3"} << true << QString() << SensorProfile();
    const QStringList good = {"Boiler", "0", "10", "80", "0.5", "0", "3"};
    const auto with = [&](int column, const QString& text) {
        QStringList cells = good;
        cells[column] = text;
        return cells;
    };
    QTest::newRow("low above high") << plain << "C" << with(2, "90") << true
                                    << "S3: the low limit (90 °C) must be below the high limit (80 °C)."
                                    << SensorProfile();
    QTest::newRow("low at high") << plain << "C" << with(2, "80") << true
                                 << "S3: the low limit (80 °C) must be below the high limit (80 °C)."
                                 << SensorProfile();
    QTest::newRow("a hysteresis below zero")
        << plain << "C" << with(4, "-0.1") << true << "S3: the hysteresis is a distance back inside a limit"
        << SensorProfile();
    QTest::newRow("a tab in the name") << plain << "C" << with(0, "Boiler\tout") << true
                                       << "S3: the name holds a control character" << SensorProfile();
    QTest::newRow("an offset that is no number")
        << plain << "C" << with(1, "abc") << true << "S3: Offset °C takes a number, not \"abc\"."
        << SensorProfile();
    SensorProfile boiler;
    boiler.name = QStringLiteral("Boiler");
    boiler.low = 1.5;
    boiler.high = 80;
    QTest::newRow("a decimal point, not a group separator, in Portuguese")
        << plain << "pt_BR" << with(2, "1.500") << true << QString() << boiler;
    QTest::newRow("for longer than a day") << plain << "C" << with(5, "86401") << true
                                           << "S3: For s takes seconds from 0 to 86400" << SensorProfile();
    QTest::newRow("lost after no round")
        << plain << "C" << with(6, "0") << true << "S3: Lost after takes a whole number of rounds"
        << SensorProfile();
}

void MonitorTest::theSensorsDialogSavesOnlyWhatReadsBack()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, locale);
    QFETCH(QStringList, cells);
    QFETCH(bool, faultValues);
    QFETCH(QString, problem);
    QFETCH(SensorProfile, saved);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("board.conf"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    SensorsDialog dialog(readBoardConfig(path).profiles, path);
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("table"));
    for (int column = 0; column < cells.size(); ++column)
        table->item(2, column)->setText(cells.at(column));
    table->item(2, 7)->setCheckState(faultValues ? Qt::Checked : Qt::Unchecked);
    QSignalSpy savedSignal(&dialog, &SensorsDialog::saved);
    const bool accepted = dialog.saveTo(path);
    QLocale::setDefault(before);

    const QString message = dialog.findChild<QLabel*>(QStringLiteral("messageLabel"))->text();
    QCOMPARE(accepted, problem.isEmpty());
    if (!problem.isEmpty()) {
        QVERIFY2(message.startsWith(problem), qPrintable(message));
        QVERIFY(savedSignal.isEmpty());
        QFile unchanged(path);
        QVERIFY(unchanged.open(QIODevice::ReadOnly));
        QCOMPARE(unchanged.readAll(), file);
        return;
    }
    const BoardFile config = readBoardFile(path);
    QCOMPARE(config.settings.get(board_settings::kPort),
             std::optional<QString>(QStringLiteral("/dev/ttyUSB0")));
    QCOMPARE(config.profiles.value(3), saved);
    QCOMPARE(savedSignal.size(), 1);
    using Profiles = QMap<int, SensorProfile>;
    QCOMPARE(savedSignal.first().at(1).value<Profiles>().value(3), saved);
}

void MonitorTest::aSensorAboveItsHighLimitTurnsItsRowRed()
{
    QTemporaryDir dir;
    MonitorWindow window;
    window.resize(900, 640);
    window.show();
    SensorProfile boiler;
    boiler.name = QStringLiteral("Boiler");
    boiler.high = 30;
    boiler.low = -50; // far below every value: neither drawn nor squashing the lines
    boiler.delay = std::chrono::seconds(10);
    boiler.offset = -1; // the board reads a degree high
    window.applyProfiles({{2, boiler}});
    const auto* table = window.findChild<QTableWidget*>(QStringLiteral("table"));
    const QDateTime base = QDateTime::currentDateTime().addSecs(-60);
    const auto feed = [&](int second, double board) {
        Reading reading;
        reading.time = base.addSecs(second);
        reading.monotonicMs = second * 1000LL;
        reading.roundStart = reading.time;
        reading.sensor = 2;
        reading.celsius = board;
        reading.decimals = 2;
        reading.text = QStringLiteral("T2 = +%1 °C").arg(board, 0, 'f', 2);
        // The port's own path: profile, alarms, then the store.
        emit window.session().readingTaken(reading);
        emit window.session().roundFinished(reading.roundStart, 1);
        window.replot();
    };
    const auto isRed = [&] {
        const QBrush background = table->item(0, 1)->background();
        const QColor colour = background.color();
        return background.style() != Qt::NoBrush && colour.red() > colour.green() + 40;
    };

    feed(0, 32);
    feed(5, 32.5);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("S2 Boiler"));
    QVERIFY(!isRed()); // above, but not for 10 s yet
    QCOMPARE(table->item(0, 7)->text(), QString());
    QCOMPARE(window.chart().drawnLimits(), QList<double>{30});
    feed(10, 32.2);
    QVERIFY(isRed());
    QCOMPARE(table->item(0, 7)->text(), QStringLiteral("high: above 30.00 °C"));
    feed(15, 30.8); // 29.8, inside the hysteresis band: still in alarm
    QVERIFY(isRed());
    feed(20, 30.4);
    QVERIFY(!isRed());
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("29.40"));
    QCOMPARE(table->item(0, 7)->text(), QString());

    const QString path = dir.filePath(QStringLiteral("export.csv"));
    window.exportTo(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(",2,29.4,T2 = +30.40 °C,Boiler\n"));
}

void MonitorTest::aLogOpenedWithTheBoardsFileShowsItsLimitsAndAlarms()
{
    // A log read back goes the way the port's readings go: the board's file gives it its limits,
    // drawn, and its alarms, named in the table; its values are not calibrated a second time.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("boiler.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("time,sensor,celsius,reply,name\n"
               "2024-05-06T10:00:00.000+02:00,2,29.2,T2 = +29.50 \xC2\xB0"
               "C,Boiler\n"
               "2024-05-06T10:00:10.000+02:00,2,31.2,T2 = +31.50 \xC2\xB0"
               "C,Boiler\n");
    file.close();

    MonitorWindow window;
    window.show();
    SensorProfile boiler;
    boiler.offset = -0.30;
    boiler.high = 30;
    window.applyProfiles({{2, boiler}});
    QSignalSpy caughtUp(&window, &MonitorWindow::logCaughtUp);
    window.openLog(path);
    QVERIFY(caughtUp.wait(5000));
    window.replot();
    const auto* table = window.findChild<QTableWidget*>(QStringLiteral("table"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("31.20"));
    QCOMPARE(table->item(0, 7)->text(), QStringLiteral("high: above 30.00 °C"));
    QCOMPARE(window.chart().drawnLimits(), QList<double>{30});
}

void MonitorTest::anEmptyChartSaysWhatToDoNext()
{
    MonitorWindow window;
    window.show();
    window.setSource(MonitorWindow::Source::Serial);
    QVERIFY2(window.chart().hint().contains(QLatin1String("Port field")), qPrintable(window.chart().hint()));
    window.setSource(MonitorWindow::Source::Broker);
    QVERIFY2(window.chart().hint().contains(QLatin1String("Broker field")),
             qPrintable(window.chart().hint()));
}

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
