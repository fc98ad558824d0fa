// SPDX-License-Identifier: MIT
#include "Celsius.h"
#include "LogParser.h"
#include "Profile.h"
#include "ReadingLog.h"

#include <QTest>

using namespace calimbra;

namespace {

const QDateTime kTime =
    QDateTime::fromString(QStringLiteral("2024-05-06T10:00:00.025+02:00"), Qt::ISODateWithMs);

Reading readingOf(std::optional<double> celsius, const QString& reply, const QString& name = {},
                  std::optional<ReadError> error = std::nullopt)
{
    Reading reading;
    reading.time = kTime;
    reading.roundStart = kTime.addMSecs(-25);
    reading.sensor = 3;
    reading.celsius = celsius;
    reading.text = reply;
    reading.name = name;
    reading.error = error;
    return reading;
}

// The one reading a line of a log holds, read back.
Reading readBack(const QByteArray& header, const QByteArray& line)
{
    std::optional<Reading> read;
    LogParser parser([&read](const LogRecord& record) { read = toReading(record); });
    parser.feed(header + line);
    return read.value_or(Reading());
}

} // namespace

class RecordTest : public QObject
{
    Q_OBJECT

private slots:
    void writers_data();
    void writers();
    void boardsResolutionAfterTheOffset_data();
    void boardsResolutionAfterTheOffset();
};

void RecordTest::writers_data()
{
    QTest::addColumn<Reading>("reading");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("influx");

    QTest::newRow("a value")
        << readingOf(22.17, QStringLiteral("T3 = +22.47 °C"), QStringLiteral("Boiler"))
        << QByteArray("2024-05-06T10:00:00.025+02:00,3,22.17,T3 = +22.47 \xC2\xB0"
                      "C,Boiler\n")
        << QByteArray(
               "{\"time\":\"2024-05-06T10:00:00.025+02:00\",\"round\":\"2024-05-06T10:00:00.000+02:00\","
               "\"sensor\":3,\"celsius\":22.17,\"reply\":\"T3 = +22.47 \xC2\xB0"
               "C\",\"name\":\"Boiler\"}\n")
        << QByteArray("calimbra,sensor=3,name=Boiler celsius=22.17,reply=\"T3 = +22.47 \xC2\xB0"
                      "C\" 1714982400025000000\n");
    QTest::newRow("no value, and why")
        << readingOf(std::nullopt, QString(), QString(), ReadError::LineLost)
        << QByteArray("2024-05-06T10:00:00.025+02:00,3,,,\n")
        << QByteArray(
               "{\"time\":\"2024-05-06T10:00:00.025+02:00\",\"round\":\"2024-05-06T10:00:00.000+02:00\","
               "\"sensor\":3,\"celsius\":null,\"reply\":\"\",\"error\":\"line_lost\"}\n")
        << QByteArray("calimbra,sensor=3 reply=\"\",error=\"line_lost\" 1714982400025000000\n");
    QTest::newRow("a name with every character that needs escaping")
        << readingOf(-0.5, QStringLiteral("T3 = -0.50"), QStringLiteral("Caldeira \"A\", x=1 \\ y"))
        << QByteArray("2024-05-06T10:00:00.025+02:00,3,-0.5,T3 = -0.50,\"Caldeira \"\"A\"\", x=1 \\ y\"\n")
        << QByteArray(
               "{\"time\":\"2024-05-06T10:00:00.025+02:00\",\"round\":\"2024-05-06T10:00:00.000+02:00\","
               "\"sensor\":3,\"celsius\":-0.5,\"reply\":\"T3 = -0.50\",\"name\":\"Caldeira \\\"A\\\", x=1 "
               "\\\\ y\"}\n")
        << QByteArray("calimbra,sensor=3,name=Caldeira\\ \"A\"\\,\\ x\\=1\\ \\\\ y celsius=-0.5,reply=\"T3 = "
                      "-0.50\" "
                      "1714982400025000000\n");
    QTest::newRow("a reply with control characters of its own")
        << readingOf(std::nullopt, QStringLiteral("T3 \"=\"\r\t\x1B"), QString(), ReadError::NoValue)
        << QByteArray("2024-05-06T10:00:00.025+02:00,3,,\"T3 \"\"=\"\"\r\t\x1B\",\n")
        << QByteArray(
               "{\"time\":\"2024-05-06T10:00:00.025+02:00\",\"round\":\"2024-05-06T10:00:00.000+02:00\","
               "\"sensor\":3,\"celsius\":null,\"reply\":\"T3 \\\"=\\\"\\u000d\\u0009\\u001b\","
               "\"error\":\"no_value\"}\n")
        << QByteArray(
               "calimbra,sensor=3 reply=\"T3 \\\"=\\\"\\r\t\x1B\",error=\"no_value\" 1714982400025000000\n");
}

// Each form as written, and CSV and JSON read back as the same reading: its name, reply and value.
void RecordTest::writers()
{
    QFETCH(Reading, reading);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, influx);

    QCOMPARE(formatReading(reading, LogFormat::Csv), csv);
    QCOMPARE(formatReading(reading, LogFormat::JsonLines), json);
    QCOMPARE(formatReading(reading, LogFormat::Influx), influx);
    // The broker's message is the JSON line's object.
    QCOMPARE(readingJson(reading) + '\n', json);

    for (const auto& [header, line] :
         {std::pair{logHeader(LogFormat::Csv), csv}, std::pair{QByteArray(), json}}) {
        const Reading read = readBack(header, line);
        QCOMPARE(read.time, reading.time);
        QCOMPARE(read.sensor, reading.sensor);
        QCOMPARE(read.celsius, reading.celsius);
        QCOMPARE(read.text, reading.text);
        QCOMPARE(read.name, reading.name);
    }
    QCOMPARE(readBack({}, json).error, reading.error);
}

void RecordTest::boardsResolutionAfterTheOffset_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<double>("offset");
    QTest::addColumn<QString>("written");
    QTest::addColumn<int>("decimals");

    QTest::newRow("hundredths less tenths") << "T1 = +22.47 °C" << -0.30 << "22.17" << 2;
    QTest::newRow("a tenth less hundredths") << "T1 = +22.5 °C" << -0.25 << "22.25" << 2;
    QTest::newRow("trailing zeros are not digits written") << "T1 = +22.50 °C" << 0.1 << "22.6" << 2;
    QTest::newRow("to zero, never -0") << "T1 = -0.06 °C" << 0.06 << "0" << 2;
    QTest::newRow("whole degrees and eighths") << "T1 = +23 °C" << 0.125 << "23.125" << 3;
    QTest::newRow("no offset: as the board said") << "T1 = +22.47 °C" << 0.0 << "22.47" << 2;
    QTest::newRow("below zero, sixteenths") << "T1 = -10.0625 °C" << -0.1 << "-10.1625" << 4;
    QTest::newRow("across a hundred") << "T1 = +100.1 °C" << -0.2 << "99.9" << 1;
    QTest::newRow("a comma for the mark") << "T1 = +21,35 °C" << 0.01 << "21.36" << 2;
}

// 22.47 - 0.30 is 22.17 in every output, never 22.169999999999998.
void RecordTest::boardsResolutionAfterTheOffset()
{
    QFETCH(QString, reply);
    QFETCH(double, offset);
    QFETCH(QString, written);
    QFETCH(int, decimals);

    Reading reading = readingOf(std::nullopt, reply);
    reading.sensor = 1;
    reading.celsius = temperatureValue(reply, &reading.decimals);
    SensorProfile profile;
    profile.offset = offset;
    profile.faultValues = false;
    BoardProfile({{1, profile}}).apply(reading);
    QCOMPARE(reading.decimals, decimals);
    QCOMPARE(reading.text, reply); // the board's own words stay as they came
    const QByteArray value = written.toLatin1();
    QCOMPARE(celsiusText(*reading.celsius), value);
    QVERIFY(formatReading(reading, LogFormat::Csv).contains(",1," + value + ','));
    QVERIFY(formatReading(reading, LogFormat::JsonLines).contains("\"celsius\":" + value + ','));
    QVERIFY(formatReading(reading, LogFormat::Influx).contains("celsius=" + value + ','));
}

QTEST_GUILESS_MAIN(RecordTest)
#include "tst_record.moc"
