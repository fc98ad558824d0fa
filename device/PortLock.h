// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace calimbra {

// The program holding a serial port, as its lock file names it.
struct LockOwner
{
    qint64 pid = 0;
    QString program;
};

// "LCK..<name>" for a device path: the part after /dev/, with every '/' made '_', as serial
// programs on Linux (minicom, lockdev, Qt) name it.
[[nodiscard]] QString lockFileName(const QString& path);

// The lock names a device goes by: its path as given and the path every symlink resolves to, since
// two programs reaching one device through two names would otherwise never see each other's lock.
[[nodiscard]] QStringList lockFileNames(const QString& path);

// A lock is never taken over from a running program, whatever its age or format (lockdev's
// ten-character PID, "pid program user", Qt's three lines, old uucp's binary PID). Locks left by
// ended programs are removed; a ComError says so when that is not allowed. This process's own locks
// count only when asked for: the port itself tells whether it is free to us.
[[nodiscard]] std::optional<LockOwner> liveLockOwner(const QStringList& names, bool countOwn = false);

// A lock of our own under one more name, written in lockdev's format so that other programs read it.
class OwnPortLock
{
public:
    OwnPortLock() = default;
    ~OwnPortLock() { release(); }
    OwnPortLock(const OwnPortLock&) = delete;
    OwnPortLock& operator=(const OwnPortLock&) = delete;

    // False when another program took the name first; a lock folder we may not write is no failure.
    [[nodiscard]] bool acquire(const QString& name);
    void release();

private:
    QString path_;
};

} // namespace calimbra
