// SPDX-License-Identifier: MIT
#include "support/BoardProcess.h"

#include "ReadingLog.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    process.waitForFinished(60000);
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
    void noiseBetweenRoundsDoesNotDeafenTheLog();
    void aFullFileIsNeverLeftWithATornLine();
    void readerGoingAwayEndsTheLogAndFreesThePort();
    void aFifoReaderGoingAwayEndsTheLogAndFreesThePort();
    void aFifoReaderThatStallsDoesNotFreezeTheLog();
    void standardOutputFailuresAreReported_data();
    void standardOutputFailuresAreReported();
    void aCountedLogEndsWithoutItsBoard();
    void settingsThatCannotWorkAreRefusedAtTheStart_data();
    void settingsThatCannotWorkAreRefusedAtTheStart();
    void aBoardsFileNamesAndCalibratesAtTheBoardsResolution();
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
    QTest::newRow("count of zero is a count")
        << QStringList{"--sensors", "0"} << QStringList{"info"} << 0 << "SN\u00B0 =0 sens\t0\n";
    QTest::newRow("no active sensors: nothing read, status 0")
        << QStringList{"--sensors", "0"} << QStringList{"read"} << 0 << "";
    QTest::newRow("late replies never cross sensors")
        << QStringList{"--delay", "700"} << QStringList{"--timeout", "500", "read", "1", "2", "3"} << 3 << "";
    QTest::newRow("interval that is not a number")
        << three << QStringList{"log", "--interval", "nan"} << 1 << "";
    QTest::newRow("interval out of range") << three << QStringList{"log", "--interval", "1e9"} << 1 << "";
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
    // A board that never answers is given up on, each request said once; how long each wait lasts is
    // the session's to show, on a clock the tests move (tst_session), not a wall clock's here.
    if (status == 3)
        QVERIFY2(run.err.contains(QLatin1String("did not answer")) ||
                     run.err.contains(QLatin1String("no reply")),
                 qPrintable(run.err));

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
    // A reading, or a line for the outage: the sensor without a value.
    const QRegularExpression line(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT[^,]+,[12],(2\\d\\.\\d+,T[12] = \\+.* \u00B0C|,),$"));
    int outage = 0;
    for (const QByteArray& row : lines.mid(1)) {
        QVERIFY2(line.match(QString::fromUtf8(row)).hasMatch(), row.constData());
        outage += row.endsWith(",,,") ? 1 : 0;
    }
    QVERIFY(outage >= 1);
    QVERIFY(lines.size() > 4 + outage); // readings before the hang-up and after the return
}

void CliTest::noiseBetweenRoundsDoesNotDeafenTheLog()
{
    // More noise than the port holds before it stops reading the line.
    BoardProcess board({"--sensors", "2", "--flood", "98304"});
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("log.csv"));
    QProcess logger;
    logger.start(QStringLiteral(CALIMBRA_CLI),
                 {"--port", board.path(), "log", "--interval", "0.5", "--output", file});
    const auto lines = [&file] {
        QFile log(file);
        return log.open(QIODevice::ReadOnly) ? log.readAll().count('\n') : 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(lines() >= 3, 10000);
    board.signal(SIGUSR2);
    QTest::qWait(300);
    const qsizetype afterNoise = lines();
    QTRY_VERIFY_WITH_TIMEOUT(lines() >= afterNoise + 6, 10000);
    logger.terminate();
    QVERIFY(logger.waitForFinished(5000));
    QCOMPARE(logger.exitCode(), 0);
}

void CliTest::aFullFileIsNeverLeftWithATornLine()
{
    BoardProcess board({"--sensors", "2"});
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("log.csv"));
    {
        // A file torn by an older writer: the next run starts on a new line.
        QFile torn(file);
        QVERIFY(torn.open(QIODevice::WriteOnly));
        torn.write("time,sensor,celsius,reply,name\n202");
    }
    // The file may not grow past 500 bytes: writes beyond fail as on a full disk.
    QProcess limited;
    limited.start(QStringLiteral("prlimit"), {"--fsize=500", CALIMBRA_CLI, "--port", board.path(), "log",
                                              "--interval", "0.1", "--count", "10", "--output", file});
    QVERIFY(limited.waitForFinished(20000));
    QCOMPARE(limited.exitCode(), 0); // a failing output never stops the sampling
    const QString said = QString::fromLocal8Bit(limited.readAllStandardError());
    QCOMPARE(said.count(QLatin1String("Could not write")), 1);

    const Run again =
        cli({"--port", board.path(), "log", "--interval", "0.1", "--count", "2", "--output", file});
    QCOMPARE(again.status, 0);
    QFile log(file);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray content = log.readAll();
    QVERIFY(content.endsWith('\n'));
    const QList<QByteArray> lines = content.chopped(1).split('\n');
    QCOMPARE(lines.at(1), QByteArray("202"));
    const QRegularExpression whole(QStringLiteral("^\\d{4}-[^,]+,[12],2\\d\\.\\d+,T[12] = [^,]+ \u00B0C,$"));
    for (const QByteArray& line : lines.mid(2))
        QVERIFY2(whole.match(QString::fromUtf8(line)).hasMatch(), line.constData());
    QVERIFY(lines.size() >= 2 + 4 + 4);
}

void CliTest::readerGoingAwayEndsTheLogAndFreesThePort()
{
    BoardProcess board({"--sensors", "2"});
    QProcess pipeline;
    pipeline.start(QStringLiteral("bash"),
                   {"-c", "\"$0\" \"$@\" | head -n 1; echo \"status ${PIPESTATUS[0]}\"", CALIMBRA_CLI,
                    "--port", board.path(), "log", "--interval", "0.2"});
    QVERIFY(pipeline.waitForFinished(10000));
    const QString out = QString::fromUtf8(pipeline.readAllStandardOutput());
    // Ended by its own hand with its documented status, not killed by SIGPIPE (141).
    QVERIFY2(out.endsWith(QLatin1String("status 4\n")), qPrintable(out));
    const QString lockName = QStringLiteral("LCK..") + board.path().mid(5).replace(u'/', u'_');
    QVERIFY(!QFile::exists(QStringLiteral("/var/lock/") + lockName));
    QVERIFY(!QFile::exists(QStringLiteral("/run/lock/") + lockName));
}

void CliTest::aFifoReaderGoingAwayEndsTheLogAndFreesThePort()
{
    BoardProcess board({"--sensors", "2"});
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("log.fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // The reader: there before the logger, gone after its first 100 bytes, as `head -c 100` would.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0);
    auto closeReader = qScopeGuard([reader] { ::close(reader); });
    QProcess logger;
    logger.start(QStringLiteral(CALIMBRA_CLI),
                 {"--port", board.path(), "log", "--interval", "0.2", "--output", fifo});
    QVERIFY(logger.waitForStarted());
    qsizetype got = 0;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            char bytes[100];
            const ssize_t read = ::read(reader, bytes, sizeof bytes - static_cast<size_t>(got));
            got += std::max<ssize_t>(read, 0);
            return got >= 100;
        }(),
        10000);
    closeReader.dismiss();
    ::close(reader);

    QVERIFY(logger.waitForFinished(20000));
    QCOMPARE(logger.exitStatus(), QProcess::NormalExit);
    QCOMPARE(logger.exitCode(), 4);
    const QString said = QString::fromLocal8Bit(logger.readAllStandardError());
    // Ended by its reader leaving, not by an output that could not be opened or written.
    QVERIFY2(!said.contains(QLatin1String("Could not")), qPrintable(said));
    const QString lockName = QStringLiteral("LCK..") + board.path().mid(5).replace(u'/', u'_');
    QVERIFY(!QFile::exists(QStringLiteral("/var/lock/") + lockName));
    QVERIFY(!QFile::exists(QStringLiteral("/run/lock/") + lockName));
}

void CliTest::aFifoReaderThatStallsDoesNotFreezeTheLog()
{
    // A reader that keeps the FIFO open and reads nothing: once its pipe is full the lines wait
    // (said once), and the log still answers a stop at once.
    BoardProcess board({"--sensors", "9"});
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("log.fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QVERIFY(reader >= 0);
    const auto closeReader = qScopeGuard([reader] { ::close(reader); });
    QVERIFY(::fcntl(reader, F_SETPIPE_SZ, 4096) >= 4096); // the smallest pipe: full within a second
    QProcess logger;
    logger.start(QStringLiteral(CALIMBRA_CLI),
                 {"--port", board.path(), "log", "--interval", "0.1", "--output", fifo});
    QVERIFY(logger.waitForStarted());
    QString said;
    QTRY_VERIFY_WITH_TIMEOUT(
        (said += QString::fromLocal8Bit(logger.readAllStandardError())).contains(QLatin1String("kept")),
        20000);
    logger.terminate();
    QVERIFY(logger.waitForFinished(10000));
    QCOMPARE(logger.exitStatus(), QProcess::NormalExit);
    QCOMPARE(logger.exitCode(), 0);
}

void CliTest::standardOutputFailuresAreReported_data()
{
    QTest::addColumn<QString>("redirection");
    QTest::addColumn<QString>("command");
    QTest::newRow("read to a full device") << ">/dev/full"
                                           << "read";
    QTest::newRow("info to a full device") << ">/dev/full"
                                           << "info";
    QTest::newRow("read with standard output closed") << ">&-"
                                                      << "read";
    QTest::newRow("log with standard output closed") << ">&-"
                                                     << "log";
}

void CliTest::standardOutputFailuresAreReported()
{
    QFETCH(QString, redirection);
    QFETCH(QString, command);
    BoardProcess board({"--sensors", "2"});
    QStringList arguments{"-c",         QStringLiteral("exec \"$0\" \"$@\" %1").arg(redirection),
                          CALIMBRA_CLI, "--port",
                          board.path(), command};
    if (command == QLatin1String("log"))
        arguments << "--count"
                  << "1";
    QProcess shell;
    shell.start(QStringLiteral("sh"), arguments);
    QVERIFY(shell.waitForFinished(10000));
    const QString said = QString::fromLocal8Bit(shell.readAllStandardError());
    QCOMPARE(shell.exitCode(), 4);
    QVERIFY2(said.contains(QLatin1String("standard output")), qPrintable(said));
}

void CliTest::aCountedLogEndsWithoutItsBoard()
{
    // From cron every few minutes: a run with an end must end, or they pile up.
    const Run run = cli({"--port", "/dev/ttyCalimbraMissing", "--timeout", "100", "log", "--count", "1",
                         "--interval", "0.1"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(QLatin1String("Gave up")), qPrintable(run.err));
}

void CliTest::settingsThatCannotWorkAreRefusedAtTheStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said"); // the start of standard error, after the program's name

    QTest::newRow("a wildcard for a discovery prefix")
        << QStringList{"--mqtt", "mqtt://127.0.0.1:9", "--discovery-prefix", "+"}
        << "--discovery-prefix \"+\": ";
    QTest::newRow("a filter for a discovery prefix")
        << QStringList{"--mqtt", "mqtt://127.0.0.1:9", "--discovery-prefix", "ha/#"}
        << "--discovery-prefix \"ha/#\": ";
    QTest::newRow("metrics on no port") << QStringList{"--metrics", "99999"} << "--metrics \"99999\": ";
    QTest::newRow("a broker that is no broker")
        << QStringList{"--mqtt", "http://x"} << "--mqtt \"http://x\": ";
    QTest::newRow("an alarm command that is not there")
        << QStringList{"--on-alarm", "/nonexistent/page-someone --urgent"}
        << "The alarm command's program /nonexistent/page-someone is not there";
}

// Status 1, before anything starts: no restart under systemd will mend them.
void CliTest::settingsThatCannotWorkAreRefusedAtTheStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);

    QTemporaryDir dir;
    const Run run =
        cli(QStringList{"--port", "/dev/ttyCalimbraMissing", "log", "--count", "1", "--outbox", dir.path()} +
            arguments);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith(QStringLiteral("calimbra-cli: ") + said), qPrintable(run.err));
}

void CliTest::aBoardsFileNamesAndCalibratesAtTheBoardsResolution()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("board.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[sensor.1]\nname = Boiler flow\noffset = -0.30\n");
    file.close();
    BoardProcess board({"--sensors", "1"});
    const Run run = cli({"--port", board.path(), "--config", file.fileName(), "log", "--count", "1"});
    QCOMPARE(run.status, 0);
    const QStringList line = run.out.split(u'\n').value(1).split(u',');
    QCOMPARE(line.size(), 5);
    QCOMPARE(line.at(4), QStringLiteral("Boiler flow"));
    const QString reply = line.at(3);
    QVERIFY2(QRegularExpression(QStringLiteral("^-?\\d+(\\.\\d{1,2})?$")).match(line.at(2)).hasMatch(),
             qPrintable(line.at(2)));
    const double said = *temperatureValue(reply);
    QCOMPARE(line.at(2).toDouble(), std::round((said - 0.30) * 100) / 100);
}

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
