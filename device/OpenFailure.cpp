#include "OpenFailure.h"

#include "PortName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace calimbra {
namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("calimbra", text);
}

QString portLabel(const QString& portName, const QString& path)
{
    const QString shownName = printablePortName(portName);
    const QString shownPath = printablePortName(path);
    return shownName == shownPath ? shownName : QStringLiteral("%1 (%2)").arg(shownName, shownPath);
}

#ifdef Q_OS_UNIX
// Serial programs on Linux leave "LCK..<name>" in one of these folders while they hold a port.
std::optional<LockOwner> findLockOwner(const QString& path)
{
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    const QStringList folders = {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                                 QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                                 QDir::tempPath()};
    for (const QString& folder : folders) {
        QFile lock(folder + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = lock.read(4096).split('\n');
        bool isNumber = false;
        const qint64 pid = lines.value(0).trimmed().toLongLong(&isNumber);
        if (!isNumber || pid <= 0 || !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        QString program = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed())
                                                         : QString::fromLocal8Bit(lines.value(1).trimmed());
        return LockOwner{pid, program};
    }
    return std::nullopt;
}
#endif

} // namespace

DeviceFacts inspectDevice(const QString& path)
{
    DeviceFacts facts;
#ifdef Q_OS_UNIX
    const QByteArray local = QFile::encodeName(path);
    struct stat status = {};
    facts.exists = ::stat(local.constData(), &status) == 0;
    if (!facts.exists)
        return facts;
    facts.accessible = ::access(local.constData(), R_OK | W_OK) == 0;
    if (const group* owner = ::getgrgid(status.st_gid))
        facts.group = QString::fromLocal8Bit(owner->gr_name);
    facts.lockOwner = findLockOwner(path);
#else
    facts.exists = true;
#endif
    return facts;
}

QString openFailureMessage(const QString& portName, const QString& path, QSerialPort::SerialPortError error,
                           const QString& systemText, const DeviceFacts& facts)
{
    const QString port = portLabel(portName, path);
    if (error == QSerialPort::DeviceNotFoundError || !facts.exists) {
        return tr("Serial port %1 was not found: there is no such device. Check that the board (or its USB "
                  "adapter) is plugged in, and choose its port with \"Configurar Serial\".")
            .arg(port);
    }
    if (!facts.accessible) {
        const QString group = facts.group.isEmpty() ? QStringLiteral("dialout") : facts.group;
        return tr("Permission denied for serial port %1. The device belongs to the group \"%2\"; add your "
                  "user to it (sudo usermod -aG %2 $USER), then log out and log in again.")
            .arg(port, group);
    }
    if (error == QSerialPort::PermissionError) {
        if (facts.lockOwner) {
            return tr("Serial port %1 is in use by another program (%2, process %3). Close it and try again.")
                .arg(port, facts.lockOwner->program)
                .arg(facts.lockOwner->pid);
        }
        return tr("Serial port %1 is in use by another program, which holds it for exclusive use. Close "
                  "it and try again.")
            .arg(port);
    }
    if (error == QSerialPort::UnsupportedOperationError)
        return tr("%1 is not a serial port (%2).").arg(port, systemText);
    return tr("Could not open serial port %1: %2.").arg(port, systemText);
}

} // namespace calimbra
