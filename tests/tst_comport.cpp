// SPDX-License-Identifier: MIT
#include "support/ProcessStats.h"
#include "support/PtyPair.h"

#include "ComError.h"
#include "ComSetupDialog.h"
#include "Protocol.h"
#include "TComPort.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <termios.h>
#include <thread>

using namespace std::chrono;
using namespace calimbra;

namespace {

QString openFailure(TComPort& port)
{
    try {
        port.Open();
    } catch (const ComError& error) {
        return error.message();
    }
    return {};
}

// Answers the next modal dialog from inside its own event loop.
void answerDialog(const std::function<void(QDialog*)>& answer)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            answer(dialog);
        }
    });
    poll->start(10);
}

const QByteArray kTemperatureReply("T3 = +23.56 \xB0"
                                   "C");

} // namespace

class ComPortTest : public QObject
{
    Q_OBJECT

private slots:
    void opensPseudoTerminalWithTheBoardsSettings();
    void openAndCloseAreIdempotent();
    void writeThenCloseDeliversEveryByte_data();
    void writeThenCloseDeliversEveryByte();
    void clearingDoesNotLoseRequestsTheBoardHasNotRead();
    void splitReplyIsReportedOnce_data();
    void splitReplyIsReportedOnce();
    void endlessStreamIsStillReported();
    void clearBufferDropsStaleBytes();
    void hangUpClosesAndReportsOnce();
    void reopensOnceTheDeviceIsBack();
    void openFailuresNameTheCause_data();
    void openFailuresNameTheCause();
    void portHeldByAnotherOpener();
    void otherProgramsLocksAreRespected_data();
    void otherProgramsLocksAreRespected();
    void newSettingsReachTheLine();
    void setupDialogAppliesOnlyOnOk();
};

void ComPortTest::opensPseudoTerminalWithTheBoardsSettings()
{
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    QSignalSpy opened(&port, &TComPort::openChanged);
    QVERIFY(opened.isValid());

    // A pseudo-terminal refuses the modem-line ioctls; that must not fail the open.
    port.Open();
    QVERIFY(port.isOpen());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.first().first().toBool(), true);

    termios line{};
    QCOMPARE(::tcgetattr(pty.masterFd(), &line), 0);
    QCOMPARE(::cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(0));
    QCOMPARE(line.c_lflag & (ICANON | ECHO), tcflag_t(0));
}

void ComPortTest::openAndCloseAreIdempotent()
{
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    QSignalSpy changes(&port, &TComPort::openChanged);

    port.Close();
    port.Open();
    port.Open();
    QVERIFY(port.isOpen());
    port.Close();
    port.Close();
    QVERIFY(!port.isOpen());
    QCOMPARE(changes.count(), 2);
}

void ComPortTest::writeThenCloseDeliversEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("LED command") << QByteArray("&a");
    QTest::newRow("measurement request") << QByteArray("&l=3");
    QTest::newRow("3000 bytes") << QByteArray(3000, 'x');
}

void ComPortTest::writeThenCloseDeliversEveryByte()
{
    QFETCH(QByteArray, bytes);
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());

    port.Open();
    QCOMPARE(port.Write(bytes), bytes.size());
    port.Close();
    QCOMPARE(pty.read(), bytes);
}

void ComPortTest::clearingDoesNotLoseRequestsTheBoardHasNotRead()
{
    // A board busy sending a reply reads its next request late; clearing for that request must
    // not take back what was already sent.
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    sendRequest(port, RequestKind::Information, informationRequest());
    sendRequest(port, RequestKind::Measurement, measurementRequest(u"3"));
    sendRequest(port, RequestKind::LedCommand, ledCommand());
    QCOMPARE(pty.read(), QByteArray("&i&l=3&a"));
}

void ComPortTest::splitReplyIsReportedOnce_data()
{
    QTest::addColumn<int>("piece");
    QTest::addColumn<int>("gapMicroseconds");

    QTest::newRow("one byte per character time at 9600 baud") << 1 << 1042;
    QTest::newRow("USB adapter holding bytes for 16 ms") << 4 << 16000;
    QTest::newRow("whole") << 14 << 0;
}

void ComPortTest::splitReplyIsReportedOnce()
{
    QFETCH(int, piece);
    QFETCH(int, gapMicroseconds);
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    port.Open();
    QSignalSpy notifications(&port, &TComPort::RxChar);
    QVERIFY(notifications.isValid());

    std::thread board([&] {
        for (qsizetype at = 0; at < kTemperatureReply.size(); at += piece) {
            pty.write(QByteArrayView(kTemperatureReply)
                          .sliced(at, std::min<qsizetype>(piece, kTemperatureReply.size() - at)));
            std::this_thread::sleep_for(microseconds{gapMicroseconds});
        }
    });
    QTRY_COMPARE(notifications.count(), 1);
    board.join();
    QTest::qWait(100);
    QCOMPARE(notifications.count(), 1);
    QCOMPARE(notifications.first().at(0).value<QObject*>(), &port);
    QCOMPARE(notifications.first().at(1).toInt(), kTemperatureReply.size());

    const auto outcome = receiveStep(port);
    QVERIFY(std::holds_alternative<TemperatureReply>(outcome));
    QCOMPARE(std::get<TemperatureReply>(outcome).text, QStringLiteral("T3 = +23.56 \u00B0C"));
}

void ComPortTest::endlessStreamIsStillReported()
{
    // A line that never pauses must still be consumed, at the latest every few hundred ms.
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    port.Open();
    int notifications = 0;
    connect(&port, &TComPort::RxChar, this, [&] {
        ++notifications;
        (void)receiveStep(port);
    });
    std::atomic<bool> streaming = true;
    std::thread board([&] {
        while (streaming) {
            pty.write("z");
            std::this_thread::sleep_for(milliseconds{2});
        }
    });
    QTest::qWait(1500);
    streaming = false;
    board.join();
    QVERIFY2(notifications >= 2, qPrintable(QString::number(notifications)));
    QVERIFY(port.InputCount() < 4096);
}

void ComPortTest::clearBufferDropsStaleBytes()
{
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    port.Open();
    QSignalSpy notifications(&port, &TComPort::RxChar);
    pty.write(kTemperatureReply);
    QTRY_VERIFY(port.InputCount() > 0 || notifications.count() > 0);
    notifications.clear();

    port.ClearBuffer(true, true);
    QCOMPARE(port.InputCount(), 0);
    QTest::qWait(100);
    QCOMPARE(notifications.count(), 0);
}

void ComPortTest::hangUpClosesAndReportsOnce()
{
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    port.Open();
    QSignalSpy failures(&port, &TComPort::lineFailed);
    QSignalSpy changes(&port, &TComPort::openChanged);

    pty.write("T3 = +2"); // half a reply is in when the cable goes
    QTest::qWait(5);
    pty.hangUp();
    QTRY_VERIFY(!port.isOpen());
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().first().toBool(), false);
    QTRY_COMPARE(failures.count(), 1);
    QVERIFY2(failures.first().first().toString().contains(pty.slavePath()),
             qPrintable(failures.first().first().toString()));

    const double before = cpuSeconds();
    QTest::qWait(2000);
    const double used = cpuSeconds() - before;
    QCOMPARE(failures.count(), 1);
    QVERIFY2(used < 0.2, qPrintable(QStringLiteral("%1 s of CPU in the 2 s after the hang-up").arg(used)));
}

void ComPortTest::reopensOnceTheDeviceIsBack()
{
    // A stable name (as udev gives under /dev/serial/by-id) that points at whichever device is present.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBoard"));
    auto first = std::make_unique<PtyPair>();
    QVERIFY(QFile::link(first->slavePath(), link));
    TComPort port;
    port.setPortName(link);
    port.Open();
    QSignalSpy failures(&port, &TComPort::lineFailed);

    first->hangUp();
    QTRY_COMPARE(failures.count(), 1);
    QVERIFY(!port.isOpen());

    PtyPair second;
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(second.slavePath(), link));
    sendRequest(port, RequestKind::Information, informationRequest());
    QVERIFY(port.isOpen());
    QCOMPARE(second.read(), QByteArray("&i"));
}

void ComPortTest::openFailuresNameTheCause_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no such device") << "/dev/ttyCalimbraMissing"
                                    << "was not found";
    QTest::newRow("COM name of a missing UART") << "COM250"
                                                << "COM250 (/dev/ttyS249) was not found";
    QTest::newRow("empty name") << ""
                                << "No serial port is selected";
    QTest::newRow("not a terminal") << "/dev/null"
                                    << "not a serial port";
    QTest::newRow("control characters") << "/dev/tty\x01"
                                        << "not a valid serial port name";
    QTest::newRow("10000 characters") << QString(10000, u'a') << "not a valid serial port name";
}

void ComPortTest::openFailuresNameTheCause()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    TComPort port;
    port.setPortName(name);
    QSignalSpy changes(&port, &TComPort::openChanged);
    const QString message = openFailure(port);
    QVERIFY2(message.contains(expected), qPrintable(message));
    QVERIFY(!port.isOpen());
    QCOMPARE(changes.count(), 0);
}

void ComPortTest::portHeldByAnotherOpener()
{
    PtyPair pty;
    TComPort holder;
    holder.setPortName(pty.slavePath());
    holder.Open();

    TComPort port;
    port.setPortName(pty.slavePath());
    const QString message = openFailure(port);
    QVERIFY2(message.contains(QLatin1String("in use by another program")), qPrintable(message));
    QVERIFY2(message.contains(QString::number(QCoreApplication::applicationPid())), qPrintable(message));

    holder.Close();
    port.Open();
    QVERIFY(port.isOpen());
}

void ComPortTest::otherProgramsLocksAreRespected_data()
{
    QTest::addColumn<QByteArray>("format"); // %1 is the PID; "binary": old uucp's 4-byte PID
    QTest::addColumn<bool>("alive");
    QTest::addColumn<bool>("underLinkName"); // locked under the name the port is opened by

    QTest::newRow("lockdev, running") << QByteArray("%1\n") << true << false;
    QTest::newRow("pid program user, running") << QByteArray("%1 minicom root\n") << true << false;
    QTest::newRow("Qt 5 lines, running") << QByteArray("%1\nputty\nhost\n") << true << false;
    QTest::newRow("uucp binary, running") << QByteArray("binary") << true << false;
    QTest::newRow("uucp binary under the link's name, running") << QByteArray("binary") << true << true;
    QTest::newRow("lockdev, ended a moment ago") << QByteArray("%1\n") << false << false;
}

void ComPortTest::otherProgramsLocksAreRespected()
{
    QFETCH(QByteArray, format);
    QFETCH(bool, alive);
    QFETCH(bool, underLinkName);
    const QDir locks(QStringLiteral("/var/lock"));
    if (!QFileInfo(locks.path()).isWritable())
        QSKIP("needs a lock folder this user may write");

    // A binary PID whose first byte reads as a digit is the one most easily taken for text.
    QProcess other;
    for (int attempt = 0; attempt < 500; ++attempt) {
        other.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(other.waitForStarted());
        const auto lowByte = static_cast<char>(other.processId() & 0xFF);
        if (format != "binary" || (lowByte >= '1' && lowByte <= '9'))
            break;
        other.kill();
        other.waitForFinished();
    }
    const qint64 pid = other.processId();
    if (!alive) {
        other.kill();
        other.waitForFinished();
    }
    // Locked under the device's own name, reached through a symlink, the way a second program
    // using the stable by-id name would meet it.
    PtyPair pty;
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBoard"));
    QVERIFY(QFile::link(pty.slavePath(), link));
    QString lockedName = underLinkName ? link : pty.slavePath();
    const QString lockPath = locks.filePath(
        QStringLiteral("LCK..") +
        (lockedName.startsWith(QLatin1String("/dev/")) ? lockedName.mid(5) : lockedName).replace(u'/', u'_'));
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    const auto removeLock = qScopeGuard([&lockPath] { QFile::remove(lockPath); });
    if (format == "binary") {
        const auto binaryPid = static_cast<qint32>(pid);
        lock.write(reinterpret_cast<const char*>(&binaryPid), sizeof binaryPid);
    } else {
        lock.write(QString::fromLatin1(format).arg(QString::number(pid).rightJustified(10)).toLatin1());
    }
    lock.close();

    TComPort port;
    port.setPortName(link);
    if (alive) {
        const QString message = openFailure(port);
        QVERIFY2(message.contains(QStringLiteral("in use by another program (sleep, process %1)").arg(pid)),
                 qPrintable(message));
        QVERIFY(QFile::exists(lockPath));
        QFile::remove(lockPath);
    } else {
        port.Open();
        QVERIFY(port.isOpen());
        port.Close();
        QVERIFY(!QFile::exists(lockPath));
    }
}

void ComPortTest::newSettingsReachTheLine()
{
    PtyPair pty;
    TComPort port;
    port.setPortName(pty.slavePath());
    port.Open();
    QSignalSpy changes(&port, &TComPort::openChanged);

    auto settings = port.settings();
    // A pseudo-terminal keeps neither parity nor a character size other than 8, so speed and stop
    // bits are what can be seen to arrive.
    settings.baudRate = 19200;
    settings.stopBits = QSerialPort::TwoStop;
    port.setSettings(settings);

    QVERIFY(port.isOpen());
    QCOMPARE(changes.count(), 2); // closed and opened again
    termios line{};
    QCOMPARE(::tcgetattr(pty.masterFd(), &line), 0);
    QCOMPARE(::cfgetospeed(&line), speed_t(B19200));
    QCOMPARE(line.c_cflag & CSTOPB, tcflag_t(CSTOPB));
}

void ComPortTest::setupDialogAppliesOnlyOnOk()
{
    TComPort port;
    const ComPortSettings before = port.settings();

    answerDialog([](QDialog* dialog) {
        dialog->findChild<QComboBox*>(QStringLiteral("baudRateBox"))->setEditText(QStringLiteral("19200"));
        dialog->reject();
    });
    ShowSetupDialog(port);
    QCOMPARE(port.settings(), before);

    answerDialog([](QDialog* dialog) {
        dialog->findChild<QComboBox*>(QStringLiteral("portBox"))->setEditText(QStringLiteral("/dev/ttyUSB3"));
        dialog->findChild<QComboBox*>(QStringLiteral("baudRateBox"))->setEditText(QStringLiteral("19200"));
        auto* parity = dialog->findChild<QComboBox*>(QStringLiteral("parityBox"));
        parity->setCurrentIndex(parity->findData(QVariant::fromValue(QSerialPort::OddParity)));
        dialog->accept();
    });
    ShowSetupDialog(port);
    QCOMPARE(port.portName(), QStringLiteral("/dev/ttyUSB3"));
    QCOMPARE(port.baudRate(), 19200);
    QCOMPARE(port.parity(), QSerialPort::OddParity);
    QCOMPARE(port.dataBits(), before.dataBits);
    QVERIFY(!port.isOpen());
}

QTEST_MAIN(ComPortTest)
#include "tst_comport.moc"
