// SPDX-License-Identifier: MIT
#include "OpenFailure.h"

#include "ComError.h"
#include "PortAdvice.h"
#include "PortName.h"
#include "Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace calimbra {
namespace {

QString portLabel(const QString& portName, const QString& path)
{
    const QString shownName = printablePortName(portName);
    const QString shownPath = printablePortName(path);
    return shownName == shownPath ? shownName : QStringLiteral("%1 (%2)").arg(shownName, shownPath);
}

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
    if (const passwd* owner = ::getpwuid(status.st_uid))
        facts.owner = QString::fromLocal8Bit(owner->pw_name);
    facts.groupMayReadWrite = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    try {
        facts.lockOwner = liveLockOwner(lockFileNames(path), true);
    } catch (const ComError&) {
        // Only describing the failure here; the lock's trouble is told when the port is opened.
    }
#else
    facts.exists = true;
#endif
    return facts;
}

bool isDeviceGroup(const DeviceFacts& facts)
{
    static const QStringList administrators = {QStringLiteral("root"), QStringLiteral("wheel"),
                                               QStringLiteral("sudo"), QStringLiteral("adm")};
    return facts.groupMayReadWrite && !facts.group.isEmpty() && !administrators.contains(facts.group);
}

bool lockNameTooLong(const QString& path)
{
    constexpr qsizetype kLongestFileName = 255;
    return QFile::encodeName(lockFileName(path)).size() > kLongestFileName;
}

QString lockNameTooLongMessage(const QString& portName, const QString& path)
{
    return tr("Serial port %1 cannot be opened by this name: its lock file would need a name longer than the "
              "255 characters a file name may have. Use a shorter path, for instance a symbolic link "
              "(ln -s PATH /tmp/ttyBoard).")
        .arg(portLabel(portName, path));
}

QString openFailureMessage(const QString& portName, const QString& path, QSerialPort::SerialPortError error,
                           const QString& systemText, const DeviceFacts& facts)
{
    const QString port = portLabel(portName, path);
    if (error == QSerialPort::DeviceNotFoundError || !facts.exists) {
        return withAdvice(
            tr("Serial port %1 was not found: there is no such device. Check that the board (or "
               "its USB adapter) is plugged in.")
                .arg(port),
            portAdvice().choosePort);
    }
    if (!facts.accessible) {
        if (isDeviceGroup(facts)) {
            return tr("Permission denied for serial port %1. The device belongs to the group \"%2\"; add "
                      "your "
                      "user to it (sudo usermod -aG %2 $USER), then log out and log in again.")
                .arg(port, facts.group);
        }
        return tr("Permission denied for serial port %1. Only its owner \"%2\" may use the device. Ask your "
                  "administrator to give it to a group such as \"dialout\" with read and write access "
                  "(a udev rule with GROUP=\"dialout\", MODE=\"0660\"), then add your user to that group.")
            .arg(port, facts.owner.isEmpty() ? QStringLiteral("root") : facts.owner);
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
