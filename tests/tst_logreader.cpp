// SPDX-License-Identifier: MIT
#include "LogReader.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace calimbra;

namespace {

// A record as one line of text, so that a table row can say what it expects.
QString describe(const LogRecord& record)
{
    return QStringLiteral("%1 S%2 %3 \"%4\"%5%6")
        .arg(QDateTime::fromMSecsSinceEpoch(record.time.ms, Qt::UTC).toString(Qt::ISODateWithMs))
        .arg(record.sensor)
        .arg(record.celsius ? QString::number(*record.celsius, 'g', QLocale::FloatingPointShortest)
                            : QStringLiteral("-"),
             QString::fromUtf8(record.reply),
             record.name.isEmpty() ? QString() : QStringLiteral(" name=") + QString::fromUtf8(record.name),
             record.error ? QStringLiteral(" error=") + readErrorName(*record.error) : QString());
}

void appendTo(const QString& path, QByteArrayView bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QCOMPARE(file.write(bytes.data(), bytes.size()), bytes.size());
}

} // namespace

class LogReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void handReadTimesAgreeWithQt_data();
    void handReadTimesAgreeWithQt();
    void lines_data();
    void lines();
    void aGrowingFileIsFollowed();
    void aTruncatedFileIsReadAgain();
    void notALogSaysSo();
};

void LogReaderTest::handReadTimesAgreeWithQt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("handRead"); // false: left to QDateTime, or no time at all

    QTest::newRow("as the logs write it") << QByteArray("2024-05-06T10:00:00.025+02:00") << true;
    QTest::newRow("west of Greenwich") << QByteArray("2024-02-29T23:59:59.999-03:00") << true;
    QTest::newRow("UTC, no fraction") << QByteArray("2024-05-06T10:00:00Z") << true;
    QTest::newRow("offset without colon") << QByteArray("2024-05-06T10:00:00+0530") << true;
    QTest::newRow("space for T") << QByteArray("2024-05-06 10:00:00.5+01:00") << true;
    QTest::newRow("microseconds") << QByteArray("2024-05-06T10:00:00.123456Z") << true;
    QTest::newRow("before 1970") << QByteArray("1969-12-31T23:59:59.900Z") << true;
    QTest::newRow("new year's eve crosses the offset") << QByteArray("2023-12-31T23:30:00.000-01:00") << true;
    QTest::newRow("no offset: local time") << QByteArray("2024-05-06T10:00:00.025") << false;
    QTest::newRow("29 February of a common year") << QByteArray("2023-02-29T10:00:00Z") << false;
    QTest::newRow("month 13") << QByteArray("2024-13-01T10:00:00Z") << false;
    QTest::newRow("hour 25") << QByteArray("2024-05-06T25:00:00Z") << false;
    QTest::newRow("torn") << QByteArray("2024-05-06T10:0") << false;
    QTest::newRow("text after the offset") << QByteArray("2024-05-06T10:00:00Z,3") << false;
}

void LogReaderTest::handReadTimesAgreeWithQt()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, handRead);
    const auto hand = parseLogTime(text);
    QCOMPARE(hand.has_value(), handRead);
    if (!hand)
        return;
    const QDateTime qt = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
    QVERIFY(qt.isValid());
    QCOMPARE(hand->ms, qt.toMSecsSinceEpoch());
    QCOMPARE(hand->utcOffset, qt.offsetFromUtc());
}

void LogReaderTest::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<int>("badLines");
    QTest::addColumn<int>("firstBadLine");
    QTest::addColumn<qsizetype>("pending"); // bytes of a line not ended yet

    const QByteArray header = "time,sensor,celsius,reply\n";
    QTest::newRow("CSV as calimbra-cli writes it")
        << header + "2024-05-06T10:00:00.025+02:00,3,23.56,T3 = +23.56 °C\n"
                    "2024-05-06T10:00:01.000+02:00,4,-0.5,T4 = -00.50 °C\n"
        << QStringList{"2024-05-06T08:00:00.025Z S3 23.56 \"T3 = +23.56 °C\"",
                       "2024-05-06T08:00:01.000Z S4 -0.5 \"T4 = -00.50 °C\""}
        << 0 << 0 << qsizetype(0);
    QTest::newRow("a torn last line waits for its end")
        << header + "2024-05-06T10:00:00.025+02:00,3,23.56,T3 = +23.56 °C\n2024-05-06T10:00:01.0"
        << QStringList{"2024-05-06T08:00:00.025Z S3 23.56 \"T3 = +23.56 °C\""} << 0 << 0 << qsizetype(21);
    QTest::newRow("an empty value: a reading without one")
        << header + "2024-05-06T10:00:00.000Z,7,,T7 = sem sensor\n2024-05-06T10:00:01.000Z,8,,\n"
        << QStringList{"2024-05-06T10:00:00.000Z S7 - \"T7 = sem sensor\"",
                       "2024-05-06T10:00:01.000Z S8 - \"\""}
        << 0 << 0 << qsizetype(0);
    QTest::newRow("a decimal comma, quoted or in a semicolon file")
        << QByteArray("time,sensor,celsius,reply\n"
                      "2024-05-06T10:00:00Z,1,\"23,56\",\"T1 = +23,56 °C\"\n"
                      "time;sensor;celsius;reply\n"
                      "2024-05-06T10:00:01Z;2;-1,25;T2 = -01,25 °C\n")
        << QStringList{"2024-05-06T10:00:00.000Z S1 23.56 \"T1 = +23,56 °C\"",
                       "2024-05-06T10:00:01.000Z S2 -1.25 \"T2 = -01,25 °C\""}
        << 0 << 0 << qsizetype(0);
    QTest::newRow("semicolons without a header")
        << QByteArray("2024-05-06T10:00:00Z;1;23,5;T1\n")
        << QStringList{"2024-05-06T10:00:00.000Z S1 23.5 \"T1\""} << 0 << 0 << qsizetype(0);
    QTest::newRow("mixed: JSON Lines appended to a CSV log, then a header with names")
        << header + "2024-05-06T10:00:00Z,1,20.5,T1 = +20.50 °C\n" +
               R"({"time":"2024-05-06T10:00:01.000Z","round":"2024-05-06T10:00:00.900Z","sensor":2,)"
               R"("celsius":21.25,"reply":"T2 = +21.25 \u00b0C"})"
               "\n"
               R"({"time":"2024-05-06T10:00:02Z","sensor":3,"celsius":null,"reply":"","error":"timeout"})"
               "\n"
               "time,sensor,celsius,reply,name\n"
               "2024-05-06T10:00:03Z,4,22,T4 = +22.00 °C,Boiler in\n"
        << QStringList{"2024-05-06T10:00:00.000Z S1 20.5 \"T1 = +20.50 °C\"",
                       "2024-05-06T10:00:01.000Z S2 21.25 \"T2 = +21.25 °C\"",
                       "2024-05-06T10:00:02.000Z S3 - \"\" error=timeout",
                       "2024-05-06T10:00:03.000Z S4 22 \"T4 = +22.00 °C\" name=Boiler in"}
        << 0 << 0 << qsizetype(0);
    QTest::newRow("columns in another order, one unknown")
        << QByteArray("sensor,unit,celsius,time,error\n5,C,19.75,2024-05-06T10:00:00Z,\n"
                      "5,C,,2024-05-06T10:00:01Z,garbled\n")
        << QStringList{"2024-05-06T10:00:00.000Z S5 19.75 \"\"",
                       "2024-05-06T10:00:01.000Z S5 - \"\" error=garbled"}
        << 0 << 0 << qsizetype(0);
    QTest::newRow("CRLF and a byte order mark")
        << QByteArray("\xEF\xBB\xBFtime,sensor,celsius,reply\r\n2024-05-06T10:00:00Z,1,20,T1 = +20.00 °C\r\n")
        << QStringList{"2024-05-06T10:00:00.000Z S1 20 \"T1 = +20.00 °C\""} << 0 << 0 << qsizetype(0);
    QTest::newRow("quotes and commas in a reply")
        << header + "2024-05-06T10:00:00Z,1,20,\"T1 = \"\"20,0\"\" °C\"\n"
        << QStringList{"2024-05-06T10:00:00.000Z S1 20 \"T1 = \"20,0\" °C\""} << 0 << 0 << qsizetype(0);
    QTest::newRow("JSON escapes and a character outside the first plane")
        << QByteArray(
               R"({"sensor":"6", "time":"2024-05-06T10:00:00Z", "celsius":"21,5", "reply":"a\"b\\c\t\ud83c\udf21"})"
               "\n")
        << QStringList{"2024-05-06T10:00:00.000Z S6 21.5 \"a\"b\\c\t\U0001F321\""} << 0 << 0 << qsizetype(0);
    QTest::newRow("junk counted, blank lines are not")
        << header + "2024-05-06T10:00:00Z,1,20,T1\n"
                    "\n"
                    "2024-05-06T10:00:01Z,10,20,sensor ten\n"  // line 4: no such sensor
                    "2024-05-06T10:00:02Z,1,20.2024-05-06T1\n" // line 5: two torn lines run together
                    "{\"time\":\"2024-05-06T10:00:03Z\"}\n"    // line 6: no sensor
                    "   \n"
                    "2024-05-06T10:00:04Z,1,nan,T1\n"            // line 8: not a number
                    "2024-05-06T10:00:05Z,2,20,\"unterminated\n" // line 9
                    "2024-05-06T10:00:06Z,2,21,T2\n"
        << QStringList{"2024-05-06T10:00:00.000Z S1 20 \"T1\"", "2024-05-06T10:00:06.000Z S2 21 \"T2\""} << 5
        << 4 << qsizetype(0);
}

void LogReaderTest::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, records);
    QFETCH(int, badLines);
    QFETCH(int, firstBadLine);
    QFETCH(qsizetype, pending);

    // Bytes arrive as a file grows: whole, and in pieces that cut lines anywhere.
    for (const qsizetype piece : {bytes.size(), qsizetype(1), qsizetype(7), qsizetype(64)}) {
        QStringList read;
        LogParser parser([&](const LogRecord& record) { read << describe(record); });
        for (qsizetype at = 0; at < bytes.size(); at += piece)
            parser.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)));
        QCOMPARE(parser.verdict(), LogParser::Verdict::Log);
        QCOMPARE(read, records);
        QCOMPARE(parser.readings(), records.size());
        QCOMPARE(parser.badLines(), badLines);
        QCOMPARE(parser.firstBadLine(), firstBadLine);
        QCOMPARE(parser.pendingBytes(), pending);
    }
}

void LogReaderTest::aGrowingFileIsFollowed()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("growing.csv"));
    appendTo(path,
             "time,sensor,celsius,reply\n2024-05-06T10:00:00Z,1,20.5,T1 = +20.50 °C\n2024-05-06T10:00:0");

    QStringList read;
    LogReader reader(path, [&](const LogRecord& record) { read << describe(record); });
    QSignalSpy caughtUp(&reader, &LogReader::caughtUp);
    reader.start();
    QVERIFY(caughtUp.wait(5000));
    QCOMPARE(read.size(), 1); // the line being written is not taken

    appendTo(path, "1Z,2,21.5,T2 = +21.50 °C\n");
    QTRY_COMPARE_WITH_TIMEOUT(read.size(), 2, 10000);
    QCOMPARE(read.last(), QStringLiteral("2024-05-06T10:00:01.000Z S2 21.5 \"T2 = +21.50 °C\""));

    appendTo(path, "junk\n2024-05-06T10:00:02Z,3,22.5,T3 = +22.50 °C\n");
    QTRY_COMPARE_WITH_TIMEOUT(read.size(), 3, 10000);
    const QString skipped = reader.skippedLinesMessage();
    QVERIFY2(skipped.contains(QStringLiteral("1 in all")) && skipped.contains(QStringLiteral("line 4")),
             qPrintable(skipped));
}

void LogReaderTest::aTruncatedFileIsReadAgain()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rotated.jsonl"));
    const QByteArray line = R"({"time":"2024-05-06T10:00:00Z","sensor":1,"celsius":20,"reply":"T1"})"
                            "\n";
    appendTo(path, line + line + line);

    int read = 0;
    LogReader reader(path, [&](const LogRecord&) { ++read; });
    QSignalSpy caughtUp(&reader, &LogReader::caughtUp);
    QSignalSpy restarted(&reader, &LogReader::restarted);
    reader.start();
    QVERIFY(caughtUp.wait(5000));
    QCOMPARE(read, 3);

    // logrotate's copytruncate: the file starts again, shorter than what was read.
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(line);
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(restarted.count(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(reader.parser().readings(), 1, 10000);
}

void LogReaderTest::notALogSaysSo()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.csv"));
    appendTo(path, "name,phone\nAna,555-0100\n");

    int read = 0;
    LogReader reader(path, [&](const LogRecord&) { ++read; });
    QSignalSpy failed(&reader, &LogReader::failed);
    reader.start();
    QVERIFY(failed.wait(5000));
    const QString message = failed.first().first().toString();
    QVERIFY2(message.contains(path) && message.contains(QStringLiteral("not a Calimbra log")) &&
                 message.contains(QStringLiteral("name,phone")),
             qPrintable(message));
    QCOMPARE(read, 0);

    LogReader absent(dir.filePath(QStringLiteral("absent.csv")), {});
    QSignalSpy missing(&absent, &LogReader::failed);
    absent.start();
    QCOMPARE(missing.count(), 1);
    QVERIFY(missing.first().first().toString().contains(QStringLiteral("absent.csv")));
}

QTEST_GUILESS_MAIN(LogReaderTest)
#include "tst_logreader.moc"
