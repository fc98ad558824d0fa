// SPDX-License-Identifier: MIT
#include "support/BoardProcess.h"

#include "Protocol.h"
#include "TComPort.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace calimbra;

namespace {

// Sends one request as the panel does and returns how the panel judges the answer.
ReceiveOutcome ask(TComPort& port, RequestKind kind, const QByteArray& request)
{
    QSignalSpy notifications(&port, &TComPort::RxChar);
    sendRequest(port, kind, request);
    if (!notifications.wait(2000))
        return {};
    return receiveStep(port);
}

} // namespace

class SimulatedBoardTest : public QObject
{
    Q_OBJECT

private slots:
    void answersEachRequest_data();
    void answersEachRequest();
    void ledCommandIsNotAnswered();
    void measurementWithoutDigitIsAnswered();
    void splitPacedRepliesArriveWhole();
    void hangsUpWhenTold_data();
    void hangsUpWhenTold();
    void linkFollowsTheTerminal();
    void leavesWhatReplacedItsLink_data();
    void leavesWhatReplacedItsLink();
    void failedStartLeavesNoLink();
    void helpDocumentsTheOptions();
};

void SimulatedBoardTest::answersEachRequest_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("expectedStart");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("logged");

    QTest::newRow("default sensor count") << QStringList() << int(RequestKind::Information)
                                          << informationRequest() << "SN\u00B0" << 4 << "information \"&i\"";
    QTest::newRow("chosen sensor count") << QStringList{"--sensors", "7"} << int(RequestKind::Information)
                                         << informationRequest() << "SN\u00B0" << 7 << "information \"&i\"";
    QTest::newRow("no sensors") << QStringList{"--sensors", "0"} << int(RequestKind::Information)
                                << informationRequest() << "SN\u00B0" << -1 << "information \"&i\"";
    QTest::newRow("active sensor 3") << QStringList() << int(RequestKind::Measurement)
                                     << measurementRequest(u"3") << "T3 = +" << -1 << "measurement \"&l=3\"";
    QTest::newRow("inactive sensor 9")
        << QStringList() << int(RequestKind::Measurement) << measurementRequest(u"9") << "T9 = sem sensor"
        << -1 << "measurement \"&l=9\"";
}

void SimulatedBoardTest::answersEachRequest()
{
    QFETCH(QStringList, options);
    QFETCH(int, kind);
    QFETCH(QByteArray, request);
    QFETCH(QString, expectedStart);
    QFETCH(int, count);
    QFETCH(QString, logged);

    BoardProcess board(options);
    TComPort port;
    port.setPortName(board.path());
    const ReceiveOutcome outcome = ask(port, static_cast<RequestKind>(kind), request);

    if (static_cast<RequestKind>(kind) == RequestKind::Information) {
        QVERIFY(std::holds_alternative<SensorCountReply>(outcome));
        const auto& reply = std::get<SensorCountReply>(outcome);
        QVERIFY2(reply.text.startsWith(expectedStart), qPrintable(reply.text));
        QCOMPARE(reply.count.value_or(-1), count);
    } else {
        QVERIFY(std::holds_alternative<TemperatureReply>(outcome));
        const QString text = std::get<TemperatureReply>(outcome).text;
        QVERIFY2(text.startsWith(expectedStart), qPrintable(text));
        QVERIFY(text.size() == 14 || text.size() == 15);
    }
    QCOMPARE(board.requests(), QStringList{logged});
}

void SimulatedBoardTest::ledCommandIsNotAnswered()
{
    BoardProcess board;
    TComPort port;
    port.setPortName(board.path());
    sendRequest(port, RequestKind::Information, informationRequest());
    QTRY_COMPARE(board.requests().size(), 1);
    port.ClearBuffer(true, true);
    port.Write(ledCommand());
    QTRY_COMPARE(board.requests().size(), 2);
    QTest::qWait(150);
    QCOMPARE(port.InputCount(), 0);
    QCOMPARE(board.requests().last(), QStringLiteral("led \"&a\""));
}

void SimulatedBoardTest::measurementWithoutDigitIsAnswered()
{
    BoardProcess board;
    TComPort port;
    port.setPortName(board.path());
    const ReceiveOutcome outcome = ask(port, RequestKind::Measurement, measurementRequest(u""));
    QVERIFY(std::holds_alternative<TemperatureReply>(outcome));
    QCOMPARE(std::get<TemperatureReply>(outcome).text, QStringLiteral("T? = sem sensor"));
}

void SimulatedBoardTest::splitPacedRepliesArriveWhole()
{
    BoardProcess board({"--baud", "9600", "--chunk", "3", "--gap", "12"});
    TComPort port;
    port.setPortName(board.path());
    QSignalSpy notifications(&port, &TComPort::RxChar);
    const ReceiveOutcome outcome = ask(port, RequestKind::Measurement, measurementRequest(u"2"));
    QVERIFY(std::holds_alternative<TemperatureReply>(outcome));
    QVERIFY(std::get<TemperatureReply>(outcome).text.startsWith(QLatin1String("T2 = ")));
    QTest::qWait(100);
    QCOMPARE(notifications.count(), 1);
}

void SimulatedBoardTest::hangsUpWhenTold_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("bySignal");
    QTest::newRow("after a time") << QStringList{"--hangup-after", "0.3"} << false;
    QTest::newRow("on SIGUSR1") << QStringList() << true;
}

void SimulatedBoardTest::hangsUpWhenTold()
{
    QFETCH(QStringList, options);
    QFETCH(bool, bySignal);
    BoardProcess board(options);
    TComPort port;
    port.setPortName(board.path());
    port.Open();
    QSignalSpy failures(&port, &TComPort::lineFailed);
    if (bySignal)
        board.signal(SIGUSR1);
    QTRY_COMPARE(failures.count(), 1);
    QVERIFY(!port.isOpen());
    QTRY_COMPARE(board.process().state(), QProcess::NotRunning);
    QCOMPARE(board.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(board.process().exitCode(), 0);
}

void SimulatedBoardTest::linkFollowsTheTerminal()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyCalimbra"));
    {
        BoardProcess board({"--link", link});
        QCOMPARE(QFileInfo(link).symLinkTarget(), board.path());
        TComPort port;
        port.setPortName(link);
        QVERIFY(std::holds_alternative<SensorCountReply>(
            ask(port, RequestKind::Information, informationRequest())));
    }
    QVERIFY(!QFileInfo::exists(link));
}

void SimulatedBoardTest::leavesWhatReplacedItsLink_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::newRow("a file") << true;
    QTest::newRow("a link to another device") << false;
}

void SimulatedBoardTest::leavesWhatReplacedItsLink()
{
    QFETCH(bool, withFile);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyCalimbra"));
    const QString elsewhere = QStringLiteral("/dev/null");
    {
        BoardProcess board({"--link", link});
        QVERIFY(QFile::remove(link));
        if (withFile) {
            QFile replacement(link);
            QVERIFY(replacement.open(QIODevice::WriteOnly));
            QCOMPARE(replacement.write("notes"), 5);
        } else {
            QVERIFY(QFile::link(elsewhere, link));
        }
    }
    const QFileInfo left(link);
    if (withFile) {
        QFile replacement(link);
        QVERIFY(replacement.open(QIODevice::ReadOnly));
        QCOMPARE(replacement.readAll(), QByteArray("notes"));
    } else {
        QCOMPARE(left.symLinkTarget(), elsewhere);
    }
}

void SimulatedBoardTest::failedStartLeavesNoLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyCalimbra"));
    QProcess board;
    board.start(QStringLiteral(CALIMBRA_SIMBOARD), {QStringLiteral("--link"), link, QStringLiteral("--log"),
                                                    dir.filePath(QStringLiteral("no/such/log"))});
    QVERIFY(board.waitForFinished(3000));
    QCOMPARE(board.exitCode(), 1);
    QVERIFY(!QFileInfo(link).isSymLink());
}

void SimulatedBoardTest::helpDocumentsTheOptions()
{
    QProcess help;
    help.start(QStringLiteral(CALIMBRA_SIMBOARD), {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(3000));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromUtf8(help.readAllStandardOutput());
    for (const char* option : {"--sensors", "--link", "--baud", "--chunk", "--gap", "--log", "--hangup-after",
                               "--flood", "SIGUSR1"})
        QVERIFY2(text.contains(QLatin1String(option)), option);

    QProcess wrong;
    wrong.start(QStringLiteral(CALIMBRA_SIMBOARD), {QStringLiteral("--sensors"), QStringLiteral("12")});
    QVERIFY(wrong.waitForFinished(3000));
    QVERIFY(wrong.exitCode() != 0);
}

QTEST_MAIN(SimulatedBoardTest)
#include "tst_simboard.moc"
