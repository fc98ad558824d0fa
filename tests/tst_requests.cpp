// SPDX-License-Identifier: MIT
#include "support/FakePort.h"

#include "Cp1252.h"
#include "Protocol.h"

#include <QTest>

using namespace calimbra;

class RequestsTest : public QObject
{
    Q_OBJECT

private slots:
    void sendSequence_data();
    void sendSequence();
    void measurementRequestBytes_data();
    void measurementRequestBytes();
    void openFailureStopsBeforeAnythingIsWritten();
    void staleReplyIsDroppedByTheNextRequest();
    void cp1252RoundTripsEveryByte();
};

void RequestsTest::sendSequence_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("openAfter");

    const QStringList begin = {QStringLiteral("Open"), QStringLiteral("ClearBuffer(1,1)")};
    QTest::newRow("LED command closes again")
        << int(RequestKind::LedCommand) << ledCommand() << begin + QStringList{"Write(&a)", "Close"} << false;
    QTest::newRow("LED command with no LED chosen writes nothing but still closes")
        << int(RequestKind::LedCommand) << QByteArray() << begin + QStringList{"Close"} << false;
    QTest::newRow("information request stays open")
        << int(RequestKind::Information) << informationRequest() << begin + QStringList{"Write(&i)"} << true;
    QTest::newRow("measurement request stays open")
        << int(RequestKind::Measurement) << measurementRequest(u"3") << begin + QStringList{"Write(&l=3)"}
        << true;
}

void RequestsTest::sendSequence()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, request);
    QFETCH(QStringList, calls);
    QFETCH(bool, openAfter);

    FakePort port;
    sendRequest(port, static_cast<RequestKind>(kind), request);
    QCOMPARE(port.calls, calls);
    QCOMPARE(port.written, request);
    QCOMPARE(port.open, openAfter);
}

void RequestsTest::measurementRequestBytes_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("digit 5") << "5" << QByteArray("&l=5");
    QTest::newRow("empty selector") << "" << QByteArray("&l=");
    QTest::newRow("typed text goes as it is") << "12 x" << QByteArray("&l=12 x");
    QTest::newRow("Latin letters in the code page")
        << QStringLiteral("\u00E7\u00E3") << QByteArray("&l=\xE7\xE3");
    QTest::newRow("euro sign") << QStringLiteral("\u20AC") << QByteArray("&l=\x80");
    QTest::newRow("outside the code page") << QStringLiteral("\u65E5\u672C") << QByteArray("&l=??");
    QTest::newRow("one emoji is one character") << QStringLiteral("\U0001F321") << QByteArray("&l=?");
    QTest::newRow("long text keeps its length")
        << QString(5000, u'9') << QByteArray("&l=") + QByteArray(5000, '9');
}

void RequestsTest::measurementRequestBytes()
{
    QFETCH(QString, selector);
    QFETCH(QByteArray, bytes);

    QCOMPARE(measurementRequest(selector), bytes);
    QCOMPARE(measurementRequestText(selector), QStringLiteral("&l=") + selector);
    FakePort port;
    sendRequest(port, RequestKind::Measurement, measurementRequest(selector));
    QCOMPARE(port.written, bytes);
}

void RequestsTest::openFailureStopsBeforeAnythingIsWritten()
{
    FakePort port;
    port.openFailure = QStringLiteral("no such port");
    QVERIFY_THROWS_EXCEPTION(ComError, sendRequest(port, RequestKind::LedCommand, ledCommand()));
    QCOMPARE(port.calls, QStringList{QStringLiteral("Open")});
    QVERIFY(port.written.isEmpty());
}

void RequestsTest::staleReplyIsDroppedByTheNextRequest()
{
    FakePort port;
    port.pending = "T1 = +20.00 \xB0"
                   "C";
    sendRequest(port, RequestKind::Information, informationRequest());
    QVERIFY(std::holds_alternative<std::monostate>(receiveStep(port)));
}

void RequestsTest::cp1252RoundTripsEveryByte()
{
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte)
        all.append(static_cast<char>(byte));
    const QString text = fromCp1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0xB0), QChar(0x00B0));
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(toCp1252(text), all);
}

QTEST_GUILESS_MAIN(RequestsTest)
#include "tst_requests.moc"
