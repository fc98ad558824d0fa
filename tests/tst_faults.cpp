// SPDX-License-Identifier: MIT
#include "support/ProcessStats.h"
#include "support/WindowHarness.h"

#include "Colors.h"
#include "TComLed.h"
#include "TComPort.h"
#include "TLabel.h"
#include "TShape.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <grp.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono;

namespace {

// Serial lock files held by this process (other tests may hold their own meanwhile).
QStringList lockFiles()
{
    const QDir folder(QStringLiteral("/var/lock"));
    QStringList ours;
    for (const QString& name : folder.entryList({QStringLiteral("LCK..*")}, QDir::Files | QDir::System)) {
        QFile lock(folder.filePath(name));
        if (lock.open(QIODevice::ReadOnly) &&
            lock.readLine().trimmed().toLongLong() == QCoreApplication::applicationPid())
            ours << name;
    }
    return ours;
}

const QByteArray kReply("T3 = +23.56 \xB0"
                        "C");

} // namespace

class FaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hangUpClosesReportsOnceAndIdles_data();
    void hangUpClosesReportsOnceAndIdles();
    void fiftyHangUpsLeaveNothingBehind();
    void floodIsConsumedWithinBounds();
    void slowBoardStillGetsEveryByte();
    void thousandRequestCyclesAreByteExact();
    void staleBytesAreNeverTakenAsTheReply_data();
    void staleBytesAreNeverTakenAsTheReply();
    void portHeldByAnotherProgram();
    void portThisUserMayNotOpen();

private:
    std::unique_ptr<WindowHarness> h;
};

void FaultsTest::init()
{
    h = std::make_unique<WindowHarness>();
}

void FaultsTest::cleanup()
{
    h.reset();
}

void FaultsTest::hangUpClosesReportsOnceAndIdles_data()
{
    QTest::addColumn<QByteArray>("halfReply");
    QTest::newRow("port open, line idle") << QByteArray();
    QTest::newRow("half a reply in") << kReply.left(7);
}

void FaultsTest::hangUpClosesReportsOnceAndIdles()
{
    QFETCH(QByteArray, halfReply);
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBoard"));
    QVERIFY(QFile::link(h->board().slavePath(), link));
    h->window().usePort(link);

    h->click("Button2");
    QCOMPARE(h->board().read(), QByteArray("&l=1"));
    h->board().write(halfReply);
    h->board().hangUp();

    QTRY_COMPARE(h->errors().count(), 1);
    QVERIFY(!h->find<TComPort>("ComPort1")->isOpen());
    QVERIFY(!h->find<TComLed>("ComLed1")->isLit());
    QVERIFY(h->find<QLineEdit>("Edit1")->text().isEmpty());

    // No busy loop on the dead line: the window is idle, and the clock still ticks.
    const QString clock = h->find<TLabel>("Label6")->text();
    const double before = cpuSeconds();
    QTest::qWait(2000);
    const double used = cpuSeconds() - before;
    qInfo("CPU in the 2 s after the hang-up: %.3f s", used);
    QVERIFY2(used < 0.25, qPrintable(QString::number(used)));
    QCOMPARE(h->errors().count(), 1);
    QVERIFY(h->find<TLabel>("Label6")->text() != clock);

    // The board comes back under the same name: the next request goes through.
    PtyPair back;
    QVERIFY(QFile::remove(link) && QFile::link(back.slavePath(), link));
    h->click("Button2");
    QCOMPARE(back.read(), QByteArray("&l=1"));
    QSignalSpy arrived(h->find<TComPort>("ComPort1"), &TComPort::RxChar);
    back.write(kReply);
    QVERIFY(arrived.wait(2000));
    QCOMPARE(h->find<QLineEdit>("Edit1")->text(), QStringLiteral("T3 = +23.56 \u00B0C"));
    QCOMPARE(h->errors().count(), 1);
}

void FaultsTest::fiftyHangUpsLeaveNothingBehind()
{
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBoard"));
    h->window().usePort(link);
    const qsizetype fds = openFileDescriptors();
    const QStringList locks = lockFiles();

    for (int cycle = 1; cycle <= 50; ++cycle) {
        PtyPair board;
        QFile::remove(link);
        QVERIFY(QFile::link(board.slavePath(), link));
        h->click("RX_Info");
        QCOMPARE(board.read(), QByteArray("&i"));
        QVERIFY(h->find<TComLed>("ComLed1")->isLit());
        // Held while open, under the link's name and under the device's, as two names reach it.
        QCOMPARE(lockFiles().size(), locks.size() + 2);
        board.hangUp();
        QTRY_COMPARE(h->errors().count(), cycle);
        QVERIFY(!h->find<TComLed>("ComLed1")->isLit());
    }
    qInfo("after 50 hang-ups: %lld file descriptors (%lld before), %lld lock files (%lld before)",
          qlonglong(openFileDescriptors()), qlonglong(fds), qlonglong(lockFiles().size()),
          qlonglong(locks.size()));
    QCOMPARE(openFileDescriptors(), fds);
    QCOMPARE(lockFiles(), locks);
}

void FaultsTest::floodIsConsumedWithinBounds()
{
    h->click("RX_Info");
    QCOMPARE(h->board().read(), QByteArray("&i"));

    qint64 largestReport = 0;
    connect(h->find<TComPort>("ComPort1"), &TComPort::RxChar, this,
            [&](QObject*, int count) { largestReport = std::max<qint64>(largestReport, count); });
    QSignalSpy ticks(h->find<QTimer>("Timer1"), &QTimer::timeout);

    QByteArray flood(1 << 20, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(flood.data()), flood.size() / 4);
    const qint64 rssBefore = memoryKiB("VmRSS:");
    resetPeakMemory();

    const auto started = steady_clock::now();
    std::atomic<bool> done = false;
    std::thread board([&] {
        h->board().write(flood);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
    board.join();
    QTest::qWait(400); // the last report
    const auto seconds = duration<double>(steady_clock::now() - started).count();
    const qint64 peakGrowth = memoryKiB("VmHWM:") - rssBefore;
    qInfo("1 MiB flood: %.1f s, %lld clock ticks, largest report %lld bytes, peak RSS growth %lld KiB",
          seconds, qlonglong(ticks.count()), qlonglong(largestReport), qlonglong(peakGrowth));

    QVERIFY(largestReport <= TComPort::kReadBufferLimit);
    QVERIFY(ticks.count() >= int(seconds) - 1);
    if (kResidentMemoryIsMeaningful)
        QVERIFY2(peakGrowth < 4096, qPrintable(QString::number(peakGrowth)));
    QVERIFY(h->find<TComPort>("ComPort1")->isOpen());
    QCOMPARE(h->errors().count(), 0);

    // After the noise, a request and its reply work as ever.
    h->click("Button2");
    QCOMPARE(h->board().read(), QByteArray("&l=1"));
    QVERIFY(h->reply(kReply));
    QCOMPARE(h->find<QLineEdit>("Edit1")->text(), QStringLiteral("T3 = +23.56 \u00B0C"));
}

void FaultsTest::slowBoardStillGetsEveryByte()
{
    // Far more than the pseudo-terminal holds, read 64 bytes at a time, then closed at once.
    const QString typed(10000, u'5');
    // The window bounds what may be typed far below this; the write path must not rely on that.
    h->find<QLineEdit>("Edit3")->setMaxLength(20000);
    h->find<QComboBox>("ComboBox1")->lineEdit()->setMaxLength(20000);
    h->find<QComboBox>("ComboBox1")->setEditText(typed);
    h->board().startReading(64, milliseconds{2});
    h->click("Button2");
    h->click("Desliga_LED");
    QCOMPARE(h->board().stopReading(), QByteArray("&l=") + QByteArray(10000, '5') + QByteArray("&a"));
    QCOMPARE(h->find<QLineEdit>("Edit3")->text(), QStringLiteral("&l=") + typed);
    QCOMPARE(h->errors().count(), 0);
}

void FaultsTest::thousandRequestCyclesAreByteExact()
{
    const qsizetype fds = openFileDescriptors();
    const QStringList locks = lockFiles();
    const qint64 rss = memoryKiB("VmRSS:");
    h->board().startReading(4096, milliseconds{0});
    for (int cycle = 0; cycle < 1000; ++cycle) {
        h->click("Liga_LED");
        h->click("RX_Info");
        h->click("Button2");
    }
    h->click("Desliga_LED");
    QByteArray expected;
    for (int cycle = 0; cycle < 1000; ++cycle)
        expected += "&a&i&l=1";
    QCOMPARE(h->board().stopReading(), expected + "&a");
    QCOMPARE(h->errors().count(), 0);
    QCOMPARE(openFileDescriptors(), fds);
    QCOMPARE(lockFiles(), locks);
    const qint64 growth = memoryKiB("VmRSS:") - rss;
    qInfo("1000 request cycles: resident memory grew by %lld KiB", qlonglong(growth));
    if (kResidentMemoryIsMeaningful)
        QVERIFY2(growth < 2048, qPrintable(QString::number(growth)));
}

void FaultsTest::staleBytesAreNeverTakenAsTheReply_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QByteArray>("stale");
    QTest::newRow("whole reply queued while the port was closed") << false << QByteArray("T9 = +99.99 xx");
    QTest::newRow("13 bytes left pending on the open port") << true << QByteArray("T9 = +99.99 x");
}

void FaultsTest::staleBytesAreNeverTakenAsTheReply()
{
    QFETCH(bool, portOpen);
    QFETCH(QByteArray, stale);
    if (portOpen) {
        h->click("RX_Info");
        QCOMPARE(h->board().read(), QByteArray("&i"));
        QVERIFY(h->reply(stale)); // 13 bytes are left waiting
    } else {
        h->board().write(stale);
        QTest::qWait(100);
    }
    h->click("Button2");
    QCOMPARE(h->board().read(), QByteArray("&l=1"));
    QTest::qWait(100);
    QVERIFY(h->find<QLineEdit>("Edit1")->text().isEmpty());
    QVERIFY(h->reply(kReply));
    QCOMPARE(h->find<QLineEdit>("Edit1")->text(), QStringLiteral("T3 = +23.56 \u00B0C"));
}

void FaultsTest::portHeldByAnotherProgram()
{
    // A second opener, as minicom would be.
    TComPort holder;
    holder.setPortName(h->board().slavePath());
    holder.Open();
    h->find<QLineEdit>("Edit3")->setText(QStringLiteral("&l=7"));

    h->click("Button2");
    QCOMPARE(h->errors().count(), 1);
    const QString message = h->errors().first().first().toString();
    QVERIFY2(message.contains(QLatin1String("in use by another program")), qPrintable(message));
    QCOMPARE(h->find<QLineEdit>("Edit3")->text(), QStringLiteral("&l=7"));
    QVERIFY(!h->find<TComLed>("ComLed1")->isLit());

    holder.Close();
    h->click("Button2");
    QCOMPARE(h->board().read(), QByteArray("&l=1"));
    QCOMPARE(h->errors().count(), 1);
}

void FaultsTest::portThisUserMayNotOpen()
{
    // A device node as udev makes it: owned by root and the dialout group, rw for both only.
    const QByteArray node = QFile::encodeName(h->board().slavePath());
    QStringList command;
    QString expectedGroup;
    QTemporaryDir reachable; // the build tree may lie where the other user cannot reach it
    if (::geteuid() == 0) {
        const group* dialout = ::getgrnam("dialout");
        if (!dialout || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("needs the dialout group and setpriv to act as an ordinary user");
        QCOMPARE(::chown(node.constData(), 0, dialout->gr_gid), 0);
        QCOMPARE(::chmod(node.constData(), 0660), 0);
        const QString probe = reachable.filePath(QStringLiteral("open-port-probe"));
        QVERIFY(QFile::copy(QStringLiteral(CALIMBRA_OPEN_PORT_PROBE), probe));
        QCOMPARE(::chmod(QFile::encodeName(reachable.path()).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(probe).constData(), 0755), 0);
        command = {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                   QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"), probe};
        expectedGroup = QStringLiteral("\"dialout\"");
    } else {
        // Not root: the owner shuts itself out; no group may use the node, so none is advised.
        QCOMPARE(::chmod(node.constData(), 0), 0);
        command = {QStringLiteral(CALIMBRA_OPEN_PORT_PROBE)};
        expectedGroup = QStringLiteral("Only its owner");
    }
    QProcess probe;
    probe.start(command.first(), command.mid(1) << h->board().slavePath());
    QVERIFY(probe.waitForFinished(10000));
    const QString message = QString::fromLocal8Bit(probe.readAllStandardOutput());
    QCOMPARE(probe.exitCode(), 1);
    const bool root = ::geteuid() == 0;
    for (const QString& part : {QStringLiteral("Permission denied"), expectedGroup,
                                QString::fromLatin1(root ? "usermod -aG" : "udev rule"),
                                QString::fromLatin1(root ? "log in again" : "administrator")})
        QVERIFY2(message.contains(part), qPrintable(message));
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
