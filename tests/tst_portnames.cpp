// SPDX-License-Identifier: MIT
#include "ComError.h"
#include "OpenFailure.h"
#include "PortName.h"

#include <QTest>

using namespace calimbra;

class PortNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void systemLocations_data();
    void systemLocations();
    void rejectedNames_data();
    void rejectedNames();
    void openFailureMessages_data();
    void openFailureMessages();
    void permissionAdvice_data();
    void permissionAdvice();
};

void PortNamesTest::systemLocations_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("location");

    QTest::newRow("COM1 is the first UART") << "COM1"
                                            << "/dev/ttyS0";
    QTest::newRow("lower case") << "com3"
                                << "/dev/ttyS2";
    QTest::newRow("two digits") << "COM10"
                                << "/dev/ttyS9";
    QTest::newRow("COM0 is no DOS name") << "COM0"
                                         << "/dev/COM0";
    QTest::newRow("USB adapter by path") << "/dev/ttyUSB0"
                                         << "/dev/ttyUSB0";
    QTest::newRow("bare device name") << "ttyACM0"
                                      << "/dev/ttyACM0";
    QTest::newRow("stable udev name") << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"
                                      << "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";
    QTest::newRow("pseudo-terminal") << "/dev/pts/7"
                                     << "/dev/pts/7";
}

void PortNamesTest::systemLocations()
{
    QFETCH(QString, name);
    QFETCH(QString, location);
    QCOMPARE(systemLocation(name), location);
}

void PortNamesTest::rejectedNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << ""
                           << "No serial port is selected";
    QTest::newRow("blank") << "   "
                           << "No serial port is selected";
    QTest::newRow("newline inside") << "COM1\nrm"
                                    << "COM1\\x0arm";
    QTest::newRow("escape sequence") << "\x1b[2J"
                                     << "\\x1b[2J";
    QTest::newRow("absurdly long") << QString(10000, u'x') << QString(60, u'x') + QChar(0x2026);
}

void PortNamesTest::rejectedNames()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    try {
        checkPortName(name);
        QFAIL("the name was accepted");
    } catch (const ComError& error) {
        QVERIFY2(error.message().contains(expected), qPrintable(error.message()));
        QVERIFY(error.message().size() < 300);
    }
}

void PortNamesTest::openFailureMessages_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("accessible");
    QTest::addColumn<qint64>("lockPid");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("missing device") << int(QSerialPort::DeviceNotFoundError) << false << true << qint64(0)
                                    << QStringList{"COM1 (/dev/ttyS0)", "no such device", "plugged in"};
    QTest::newRow("not in the owning group")
        << int(QSerialPort::PermissionError) << true << false << qint64(0)
        << QStringList{"Permission denied", "\"dialout\"", "usermod -aG dialout", "log in again"};
    QTest::newRow("locked by another program")
        << int(QSerialPort::PermissionError) << true << true << qint64(4242)
        << QStringList{"in use by another program", "minicom", "4242"};
    QTest::newRow("held exclusively without a lock file")
        << int(QSerialPort::PermissionError) << true << true << qint64(0)
        << QStringList{"in use by another program", "exclusive"};
    QTest::newRow("not a serial port") << int(QSerialPort::UnsupportedOperationError) << true << true
                                       << qint64(0) << QStringList{"not a serial port"};
    QTest::newRow("anything else names the cause")
        << int(QSerialPort::ResourceError) << true << true << qint64(0)
        << QStringList{"Could not open", "Input/output error"};
}

void PortNamesTest::openFailureMessages()
{
    QFETCH(int, error);
    QFETCH(bool, exists);
    QFETCH(bool, accessible);
    QFETCH(qint64, lockPid);
    QFETCH(QStringList, expected);

    DeviceFacts facts;
    facts.exists = exists;
    facts.accessible = accessible;
    facts.group = QStringLiteral("dialout");
    if (lockPid != 0)
        facts.lockOwner = LockOwner{lockPid, QStringLiteral("minicom")};
    const QString message = openFailureMessage(QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0"),
                                               static_cast<QSerialPort::SerialPortError>(error),
                                               QStringLiteral("Input/output error"), facts);
    for (const QString& part : expected)
        QVERIFY2(message.contains(part), qPrintable(message));
}

void PortNamesTest::permissionAdvice_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("groupMayReadWrite");
    QTest::addColumn<QString>("advice");

    QTest::newRow("dialout 0660") << "dialout" << true << "sudo usermod -aG dialout $USER";
    QTest::newRow("uucp 0660") << "uucp" << true << "sudo usermod -aG uucp $USER";
    QTest::newRow("root 0600") << "root" << false << "Only its owner \"root\"";
    QTest::newRow("root 0660") << "root" << true << "udev rule";
    QTest::newRow("wheel 0660") << "wheel" << true << "udev rule";
    QTest::newRow("dialout 0640") << "dialout" << false << "udev rule";
}

void PortNamesTest::permissionAdvice()
{
    QFETCH(QString, group);
    QFETCH(bool, groupMayReadWrite);
    QFETCH(QString, advice);

    DeviceFacts facts;
    facts.exists = true;
    facts.accessible = false;
    facts.owner = QStringLiteral("root");
    facts.group = group;
    facts.groupMayReadWrite = groupMayReadWrite;
    const QString message = openFailureMessage(QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0"),
                                               QSerialPort::PermissionError, QString(), facts);
    QVERIFY2(message.contains(advice), qPrintable(message));
    // Joining an administrators' group, or one that may not use the device, is never advised.
    QCOMPARE(message.contains(QLatin1String("usermod")), advice.contains(QLatin1String("usermod")));
}

QTEST_GUILESS_MAIN(PortNamesTest)
#include "tst_portnames.moc"
