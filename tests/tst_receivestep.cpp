// SPDX-License-Identifier: MIT
#include "support/FakePort.h"

#include "Protocol.h"

#include <QTest>

using namespace calimbra;

// What a step produced, flattened so that one table can say it.
struct Seen
{
    QString kind; // "none", "count" or "temperature"
    QString text;
    int count = -1; // -1: no count came with a sensor-count reply
};

static Seen seen(const ReceiveOutcome& outcome)
{
    if (const auto* reply = std::get_if<SensorCountReply>(&outcome))
        return {QStringLiteral("count"), reply->text, reply->count.value_or(-1)};
    if (const auto* reply = std::get_if<TemperatureReply>(&outcome))
        return {QStringLiteral("temperature"), reply->text, -1};
    return {QStringLiteral("none"), {}, -1};
}

class ReceiveStepTest : public QObject
{
    Q_OBJECT

private slots:
    void judgesPendingBytes_data();
    void judgesPendingBytes();
    void shortReadShowsNoStaleBytes();
    void neverReadsMoreThanTheBufferAtOnce();
};

void ReceiveStepTest::judgesPendingBytes_data()
{
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("left");

    const QString degree = QStringLiteral("\u00B0");
    QTest::newRow("nothing pending") << QByteArray() << "none" << QString() << -1 << 0;
    QTest::newRow("6 bytes stay pending") << QByteArray("SN\xB0 =3") << "none" << QString() << -1 << 6;
    QTest::newRow("7-byte count reply") << QByteArray("SN\xB0 =3 ") << "count"
                                        << "SN" + degree + " =3 " << 3 << 0;
    QTest::newRow("12-byte reply, digit 0") << QByteArray("SN\xB0 =0 senso") << "count"
                                            << "SN" + degree + " =0 senso" << -1 << 0;
    QTest::newRow("digit 1") << QByteArray("xN\xB0xx1x") << "count"
                             << "xN" + degree + "xx1x" << 1 << 0;
    QTest::newRow("digit 9") << QByteArray("xN\xB0xx9xxxxx") << "count"
                             << "xN" + degree + "xx9xxxxx" << 9 << 0;
    QTest::newRow("byte 5 past '9'") << QByteArray("xN\xB0xx:x") << "count"
                                     << "xN" + degree + "xx:x" << -1 << 0;
    QTest::newRow("byte 5 a letter") << QByteArray("xN\xB0xxAx") << "count"
                                     << "xN" + degree + "xxAx" << -1 << 0;
    QTest::newRow("10 bytes, byte 1 not N") << QByteArray("Sn\xB0 =3 abc") << "none" << QString() << -1 << 0;
    QTest::newRow("UTF-8 degree sign is not the marker")
        << QByteArray("SN\xC2\xB0=3 ab") << "none" << QString() << -1 << 0;
    QTest::newRow("13 bytes stay pending")
        << QByteArray("SN\xB0 =3 sensor") << "none" << QString() << -1 << 13;
    QTest::newRow("14-byte temperature") << QByteArray("T3 = +23.56 \xB0"
                                                       "C")
                                         << "temperature"
                                         << "T3 = +23.56 " + degree + "C" << -1 << 0;
    QTest::newRow("14 bytes starting with t") << QByteArray("t3 = +23.56 \xB0"
                                                            "C")
                                              << "none" << QString() << -1 << 0;
    QTest::newRow("15-byte temperature") << QByteArray("T7 = sem sensor") << "temperature"
                                         << "T7 = sem sensor" << -1 << 0;
    QTest::newRow("16 bytes: first 15 shown, rest consumed") << QByteArray("T1 = +21.50 \xB0"
                                                                           "CXY")
                                                             << "temperature"
                                                             << "T1 = +21.50 " + degree + "CX" << -1 << 0;
    QTest::newRow("flood starting with T") << QByteArray("T") + QByteArray(4000, 'z') << "temperature"
                                           << "T" + QString(14, u'z') << -1 << 0;
    QTest::newRow("flood of noise") << QByteArray(5000, '\xFF') << "none" << QString() << -1 << 0;
    QTest::newRow("count-shaped bytes at temperature length")
        << QByteArray("SN\xB0 =3 sensores") << "none" << QString() << -1 << 0;
    QTest::newRow("first piece of a split temperature reply is dropped")
        << QByteArray("T3 = +23.5") << "none" << QString() << -1 << 0;
    QTest::newRow("zero byte cuts the count text, count still read")
        << QByteArray("SN\xB0\0=3 sens", 11) << "count"
        << "SN" + degree << 3 << 0;
    QTest::newRow("zero byte cuts the temperature text") << QByteArray("T3\0= +23.56 \xB0"
                                                                       "C",
                                                                       14)
                                                         << "temperature"
                                                         << "T3" << -1 << 0;
    QTest::newRow("Windows-1252 letters decode")
        << QByteArray("T3 = \x80\x93\xE7\xE3o   \xB0"
                      "C")
        << "temperature" << QStringLiteral("T3 = \u20AC\u201C\u00E7\u00E3o   \u00B0C") << -1 << 0;
}

void ReceiveStepTest::judgesPendingBytes()
{
    QFETCH(QByteArray, pending);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(int, left);

    FakePort port;
    port.pending = pending;
    const Seen outcome = seen(receiveStep(port));

    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.text, text);
    QCOMPARE(outcome.count, count);
    QCOMPARE(port.pending.size(), left);
    QVERIFY(port.written.isEmpty());
}

void ReceiveStepTest::shortReadShowsNoStaleBytes()
{
    // A driver that reports more than it then delivers must not make old buffer contents visible.
    ReceiveBuffer buffer;
    buffer.fill('Z');
    FakePort port;
    port.pending = "T3 = +2";
    port.reportedCount = 14;
    const Seen outcome = seen(receiveStep(port, buffer));
    QCOMPARE(outcome.kind, QStringLiteral("temperature"));
    QCOMPARE(outcome.text, QStringLiteral("T3 = +2"));
}

void ReceiveStepTest::neverReadsMoreThanTheBufferAtOnce()
{
    FakePort port;
    port.pending = QByteArray("T") + QByteArray(100, 'x');
    (void)receiveStep(port);
    QVERIFY(port.pending.isEmpty());
    for (const QString& call : std::as_const(port.calls)) {
        if (call.startsWith(QLatin1String("Read(")))
            QVERIFY2(call.mid(5).chopped(1).toInt() <= int{kReceiveBufferSize}, qPrintable(call));
    }
    QCOMPARE(port.calls.first(), QStringLiteral("Read(15)"));
}

QTEST_GUILESS_MAIN(ReceiveStepTest)
#include "tst_receivestep.moc"
