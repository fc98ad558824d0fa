// SPDX-License-Identifier: MIT
#include "support/BoardProcess.h"

#include "ReadingLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

using namespace calimbra;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

Run cli(const QStringList& arguments)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(CALIMBRA_CLI), arguments);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError()), clock.elapsed()};
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void temperatureValues_data();
    void temperatureValues();
    void csvQuotesTheReply();
    void commands_data();
    void commands();
    void logGoesOnThroughAHangUpAndStopsCleanly();
};

void CliTest::temperatureValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<double>("value");

    QTest::newRow("board's reply") << QStringLiteral("T3 = +23.56 \u00B0C") << true << 23.56;
    QTest::newRow("negative") << "T1 = -5.25 C" << true << -5.25;
    QTest::newRow("comma decimal") << "T2 =18,5" << true << 18.5;
    QTest::newRow("whole number") << "T4 = 21" << true << 21.0;
    QTest::newRow("no value") << "T7 = sem sensor" << false << 0.0;
    QTest::newRow("no equals sign") << "T3 23.56" << false << 0.0;
    QTest::newRow("two numbers: the first") << "T5 = 19.5 / 20.1" << true << 19.5;
    QTest::newRow("number before the sign is not it") << "T9 = x-1.5" << true << -1.5;
    QTest::newRow("sign without digits") << "T1 = - C" << false << 0.0;
    QTest::newRow("point without decimals") << "T1 = 20. C" << true << 20.0;
    QTest::newRow("garbage") << "=\u00FF\u0000?" << false << 0.0;
}

void CliTest::temperatureValues()
{
    QFETCH(QString, text);
    QFETCH(bool, hasValue);
    QFETCH(double, value);
    const auto parsed = temperatureValue(text);
    QCOMPARE(parsed.has_value(), hasValue);
    if (hasValue)
        QCOMPARE(*parsed, value);
}

void CliTest::csvQuotesTheReply()
{
    Reading reading;
    reading.time = QDateTime::fromString(QStringLiteral("2026-01-02T03:04:05.006+01:00"), Qt::ISODateWithMs);
    reading.sensor = 3;
    reading.text = QStringLiteral("T3 = \"22,5\"");
    reading.celsius = 22.5;
    QCOMPARE(formatReading(reading, LogFormat::Csv),
             QByteArray("2026-01-02T03:04:05.006+01:00,3,22.5,\"T3 = \"\"22,5\"\"\",\n"));
}

void CliTest::commands_data()
{
    QTest::addColumn<QStringList>("board");
    QTest::addColumn<QStringList>("arguments"); // after --port <board>
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // a regular expression for the whole of standard output

    const QStringList three{"--sensors", "3"};
    QTest::newRow("info") << three << QStringList{"info"} << 0 << "SN\u00B0 =3 sens\t3\n";
    QTest::newRow("read all active") << three << QStringList{"read"} << 0
                                     << "1\t2\\d\\.\\d+\tT1 = \\+2\\d\\.\\d+ \u00B0C\n2\t.*\n3\t.*\n";
    QTest::newRow("read an inactive sensor")
        << three << QStringList{"read", "7"} << 0 << "7\t\tT7 = sem sensor\n";
    QTest::newRow("led") << three << QStringList{"led"} << 0 << "";
    QTest::newRow("late board, within the time-out")
        << QStringList{"--delay", "1200"} << QStringList{"read", "2"} << 0 << "2\t2\\d\\.\\d+\t.*\n";
    QTest::newRow("silent board") << QStringList{"--delay", "60000"}
                                  << QStringList{"--timeout", "500", "read", "1"} << 3 << "";
    QTest::newRow("unknown command") << three << QStringList{"fly"} << 1 << "";
    QTest::newRow("sensor out of range") << three << QStringList{"read", "10"} << 1 << "";
}

void CliTest::commands()
{
    QFETCH(QStringList, board);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);

    BoardProcess simulated(board);
    const Run run = cli(QStringList{"--port", simulated.path()} + arguments);
    QVERIFY2(run.status == status, qPrintable(run.err));
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(output),
                                QRegularExpression::DotMatchesEverythingOption)
                 .match(run.out)
                 .hasMatch(),
             qPrintable(run.out));
    // A board that never answers is given up on in the time-out, not later.
    QVERIFY2(status != 3 || run.ms < 500 + 1500, qPrintable(QString::number(run.ms)));

    const Run missing = cli({"--port", "/dev/ttyCalimbraMissing", "info"});
    QCOMPARE(missing.status, 2);
    QVERIFY(missing.err.contains(QLatin1String("was not found")));
}

void CliTest::logGoesOnThroughAHangUpAndStopsCleanly()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBoard"));
    const QString file = dir.filePath(QStringLiteral("log.csv"));
    auto first =
        std::make_unique<BoardProcess>(QStringList{"--sensors", "2", "--link", link, "--hangup-after", "1"});

    QProcess logger;
    logger.start(QStringLiteral(CALIMBRA_CLI),
                 {"--port", link, "log", "--interval", "0.2", "--output", file, "--format", "csv"});
    QVERIFY(logger.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(first->process().state(), QProcess::NotRunning, 5000);
    QTest::qWait(1500);
    BoardProcess second({"--sensors", "2", "--link", link});
    QString said;
    QTRY_VERIFY_WITH_TIMEOUT(
        (said += QString::fromLocal8Bit(logger.readAllStandardError())).contains(QLatin1String("resumed")),
        10000);
    QCOMPARE(said.count(QLatin1String("Trying again")), 1); // said once, not at every retry
    QTest::qWait(500);
    logger.terminate();
    QVERIFY(logger.waitForFinished(5000));
    QCOMPARE(logger.exitStatus(), QProcess::NormalExit);
    QCOMPARE(logger.exitCode(), 0);

    QFile log(file);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray content = log.readAll();
    QVERIFY(content.endsWith('\n'));
    const QList<QByteArray> lines = content.trimmed().split('\n');
    QCOMPARE(lines.first(), QByteArray("time,sensor,celsius,reply,name"));
    const QRegularExpression line(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT[^,]+,[12],2\\d\\.\\d+,T[12] = \\+.* \u00B0C,$"));
    for (const QByteArray& row : lines.mid(1))
        QVERIFY2(line.match(QString::fromUtf8(row)).hasMatch(), row.constData());
    QVERIFY(lines.size() > 4); // readings before the hang-up and after the return
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
