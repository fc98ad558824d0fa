// SPDX-License-Identifier: MIT
#include "Output.h"

#include "ReadingLog.h"
#include "Text.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace calimbra::cli {
namespace {

bool gStandardOutputClosed = false;

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

void writeAll(int fd, const QByteArray& bytes)
{
    if (fd == STDOUT_FILENO && gStandardOutputClosed)
        throw Error(tr("Could not write to standard output: it is closed."));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        const int error = written < 0 ? errno : EIO;
        if (error == EPIPE)
            throw OutputClosed(tr("The reader of standard output went away."));
        throw Error(tr("Could not write to %1: %2.")
                        .arg(tr("standard output"), QString::fromLocal8Bit(std::strerror(error))));
    }
}

} // namespace

void prepareStandardStreams()
{
    ::signal(SIGPIPE, SIG_IGN);
    // A file grown to the size limit (ulimit -f) is a write error like a full disk, not a death.
    ::signal(SIGXFSZ, SIG_IGN);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (isOpen(fd))
            continue;
        if (fd == STDOUT_FILENO)
            gStandardOutputClosed = true;
        // Held by /dev/null; writes to a closed standard output still fail, by the flag above.
        const int held = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
}

bool standardOutputIsClosed()
{
    return gStandardOutputClosed;
}

void printLine(const QString& line)
{
    writeAll(STDOUT_FILENO, line.toUtf8() + '\n');
}

void printError(const QString& message)
{
    try {
        writeAll(STDERR_FILENO, QStringLiteral("calimbra-cli: %1\n").arg(message).toLocal8Bit());
    } catch (const Error&) {
        // Nowhere left to say it.
    }
}

} // namespace calimbra::cli
