// SPDX-License-Identifier: MIT
#include "PortLock.h"

#include "ComError.h"
#include "Text.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace calimbra {
namespace {

// Where Qt, lockdev and uucp put their locks; /var/lock is /run/lock on current systems.
QStringList lockFolders()
{
    QStringList folders;
    QSet<QString> seen;
    for (const char* folder : {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                               "/tmp", "/var/tmp", "/var/lock/lockdev"}) {
        const QString canonical = QFileInfo(QString::fromLatin1(folder)).canonicalFilePath();
        if (!canonical.isEmpty() && !seen.contains(canonical)) {
            seen.insert(canonical);
            folders << QString::fromLatin1(folder);
        }
    }
    return folders;
}

qint64 lockPid(const QByteArray& content)
{
    // Old uucp wrote the PID as a 4-byte integer; any of its bytes may look like a digit, so it is
    // told from text by any byte that text locks never hold.
    const bool binary = content.size() == 4 && std::any_of(content.begin(), content.end(), [](char c) {
                            return !(c >= '0' && c <= '9') && c != ' ' && c != '\n';
                        });
    if (binary) {
        qint32 pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        return pid;
    }
    const QByteArray text = content.trimmed();
    qsizetype digits = 0;
    while (digits < text.size() && text.at(digits) >= '0' && text.at(digits) <= '9')
        ++digits;
    bool ok = false;
    const qint64 pid = text.left(digits).toLongLong(&ok);
    return ok ? pid : 0;
}

bool isRunning(qint64 pid)
{
#ifdef Q_OS_UNIX
    // EPERM: the process exists but belongs to another user.
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
#else
    Q_UNUSED(pid);
    return false;
#endif
}

QString programName(qint64 pid, const QByteArray& content)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (comm.open(QIODevice::ReadOnly)) {
        const QByteArray name = comm.readAll().trimmed();
        if (!name.isEmpty())
            return QString::fromLocal8Bit(name);
    }
    // Hidden /proc: the lock's own words, in the formats that name the program.
    const QList<QByteArray> words = content.simplified().split(' ');
    return words.size() > 1 ? QString::fromLocal8Bit(words.at(1)) : tr("unknown program");
}

} // namespace

QString lockFileName(const QString& path)
{
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(u'/', u'_');
    return QStringLiteral("LCK..") + name;
}

QStringList lockFileNames(const QString& path)
{
    QStringList names{lockFileName(path)};
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (!resolved.isEmpty() && !names.contains(lockFileName(resolved)))
        names << lockFileName(resolved);
    return names;
}

std::optional<LockOwner> liveLockOwner(const QStringList& names, bool countOwn)
{
#ifdef Q_OS_UNIX
    const qint64 self = ::getpid();
    for (const QString& folder : lockFolders()) {
        for (const QString& name : names) {
            const QString path = folder + u'/' + name;
            QFile lock(path);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            const QByteArray content = lock.read(256);
            lock.close();
            const qint64 pid = lockPid(content);
            if (pid == self && !countOwn)
                continue;
            if (isRunning(pid))
                return LockOwner{pid, programName(pid, content)};
            // A PID that cannot be read is judged stale too, as lockdev and Qt judge it.
            if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
                const QString reason = QString::fromLocal8Bit(std::strerror(errno));
                throw ComError(
                    tr("The lock file %1 was left by a program that has ended (process %2), and it "
                       "could not be removed (%3). Remove it (sudo rm %1), then try again.")
                        .arg(path)
                        .arg(pid)
                        .arg(reason));
            }
        }
    }
#else
    Q_UNUSED(names);
    Q_UNUSED(countOwn);
#endif
    return std::nullopt;
}

bool OwnPortLock::acquire(const QString& name)
{
    release();
#ifdef Q_OS_UNIX
    for (const QString& folder : lockFolders()) {
        const QString path = folder + u'/' + name;
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                return false;
            continue; // not ours to write: the next folder
        }
        const QByteArray content =
            QByteArray::number(static_cast<qint64>(::getpid())).rightJustified(10) + '\n';
        const bool written = ::write(fd, content.constData(), content.size()) == content.size();
        ::close(fd);
        if (!written) {
            ::unlink(QFile::encodeName(path).constData());
            continue;
        }
        path_ = path;
        return true;
    }
#else
    Q_UNUSED(name);
#endif
    return true;
}

void OwnPortLock::release()
{
#ifdef Q_OS_UNIX
    if (!path_.isEmpty())
        ::unlink(QFile::encodeName(path_).constData());
#endif
    path_.clear();
}

} // namespace calimbra
