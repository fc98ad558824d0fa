// SPDX-License-Identifier: MIT
#include "ReadingLog.h"

#include "Celsius.h"
#include "Text.h"

#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calimbra {
namespace {

QString isoTime(const QDateTime& time)
{
    return time.toString(Qt::ISODateWithMs);
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
QByteArray jsonString(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

QByteArray csvField(const QString& text)
{
    QByteArray field = text.toUtf8();
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
        return field;
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

QByteArray influxString(const QString& text)
{
    QByteArray value = text.toUtf8();
    value.replace("\\", "\\\\").replace("\"", "\\\"").replace("\n", "\\n").replace("\r", "\\r");
    return '"' + value + '"';
}

// Tag values escape commas, equals signs and spaces, and nothing else: a backslash before any other
// character is read as itself, so doubling it would change the name. Line ends and other control
// characters cannot be written there at all (a name never holds one: the board's file refuses them),
// nor a backslash at the very end (refused too).
QByteArray influxTag(const QString& text)
{
    QByteArray value;
    for (const char c : text.toUtf8()) {
        if (c == ',' || c == '=' || c == ' ')
            value += '\\';
        value += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    }
    return value;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString where(const QString& path)
{
    return path.isEmpty() ? tr("standard output") : path;
}

// A line a pipe took only the start of: the rest is still to be written.
class PartlyWritten : public Error
{
public:
    PartlyWritten(const QString& message, qsizetype written) : Error(message), written_(written) {}
    [[nodiscard]] qsizetype written() const { return written_; }

private:
    qsizetype written_;
};

class FileLock
{
public:
    explicit FileLock(int fd) : fd_(fd) { ::flock(fd_, LOCK_EX); }
    ~FileLock() { ::flock(fd_, LOCK_UN); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int fd_;
};

} // namespace

QByteArray logHeader(LogFormat format)
{
    return format == LogFormat::Csv ? QByteArrayLiteral("time,sensor,celsius,reply,name\n") : QByteArray();
}

QByteArray formatReading(const Reading& reading, LogFormat format, bool withName)
{
    switch (format) {
    case LogFormat::Csv: {
        QByteArray line = isoTime(reading.time).toUtf8() + ',' + QByteArray::number(reading.sensor) + ',' +
                          (reading.celsius ? celsiusText(*reading.celsius) : QByteArray()) + ',' +
                          csvField(reading.text);
        if (withName)
            line += ',' + csvField(reading.name);
        return line + '\n';
    }
    case LogFormat::JsonLines:
        return readingJson(reading) + '\n';
    case LogFormat::Influx: {
        QByteArray tags = "calimbra,sensor=" + QByteArray::number(reading.sensor);
        if (!reading.name.isEmpty())
            tags += ",name=" + influxTag(reading.name);
        QByteArray fields = reading.celsius ? "celsius=" + celsiusText(*reading.celsius) + ',' : QByteArray();
        fields += "reply=" + influxString(reading.text);
        if (reading.error)
            fields += ",error=" + influxString(readErrorName(*reading.error));
        const qint64 ns = reading.time.toMSecsSinceEpoch() * 1'000'000;
        return tags + ' ' + fields + ' ' + QByteArray::number(ns) + '\n';
    }
    }
    return {};
}

QByteArray readingJson(const Reading& reading)
{
    // Written by hand rather than through QJsonDocument: the value in the one form every output
    // writes it (celsiusText), and the keys in the order a person reads them.
    QByteArray json = "{\"time\":" + jsonString(isoTime(reading.time)) +
                      ",\"round\":" + jsonString(isoTime(reading.roundStart)) +
                      ",\"sensor\":" + QByteArray::number(reading.sensor) + ",\"celsius\":" +
                      (reading.celsius ? celsiusText(*reading.celsius) : QByteArrayLiteral("null")) +
                      ",\"reply\":" + jsonString(reading.text);
    if (!reading.name.isEmpty())
        json += ",\"name\":" + jsonString(reading.name);
    if (reading.error)
        json += ",\"error\":" + jsonString(readErrorName(*reading.error));
    return json + '}';
}

LogFile::LogFile(const QString& path, LogFormat format) : path_(path), format_(format)
{
    open();
}

LogFile::~LogFile()
{
    if (ownsFd_)
        ::close(fd_);
}

void LogFile::open()
{
    if (path_.isEmpty()) {
        fd_ = STDOUT_FILENO;
        const QByteArray header = logHeader(format_);
        if (!header.isEmpty())
            writeWhole(header);
        return;
    }
    // Write-only: a logger that also read its FIFO would be a reader of its own, and once the real
    // one left, would fill the pipe and then wait on it for good. Not blocking, so that a FIFO
    // nobody reads is refused now, and a full one leaves the lines kept, never the program stuck.
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0 && errno == ENXIO)
        throw Error(tr("Could not open the log file %1: it is a named pipe (FIFO) that nobody reads. Start "
                       "its reader first.")
                        .arg(path_));
    if (fd < 0)
        throw Error(tr("Could not open the log file %1: %2.").arg(path_, systemError(errno)));
    fd_ = fd;
    ownsFd_ = true;
    try {
        struct stat status = {};
        if (::fstat(fd_, &status) != 0)
            throw Error(tr("Could not open the log file %1: %2.").arg(path_, systemError(errno)));
        regular_ = S_ISREG(status.st_mode);
        // Only a FIFO may keep a reader from holding up the program; a terminal or a device is
        // written to as ever.
        if (!S_ISFIFO(status.st_mode) && ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0)
            throw Error(tr("Could not open the log file %1: %2.").arg(path_, systemError(errno)));
        if (!regular_) {
            // A pipe or a device has no first line to look at: its reader gets the header.
            if (!logHeader(format_).isEmpty())
                writeWhole(logHeader(format_));
            return;
        }
        // Locked while judging "empty", so that two loggers starting together write one header.
        const FileLock lock(fd_);
        if (::fstat(fd_, &status) != 0)
            throw Error(tr("Could not open the log file %1: %2.").arg(path_, systemError(errno)));
        if (status.st_size == 0) {
            if (!logHeader(format_).isEmpty())
                writeWhole(logHeader(format_));
            return;
        }
        // Its first line and its last byte, through a descriptor of their own: the one written to
        // only writes. A file this user may not read is appended to as it is.
        const int reading = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (reading < 0)
            return;
        const auto closeReading = qScopeGuard([reading] { ::close(reading); });
        if (format_ == LogFormat::Csv) {
            QByteArray first(256, '\0');
            const ssize_t got = ::pread(reading, first.data(), static_cast<size_t>(first.size()), 0);
            first.truncate(std::max<ssize_t>(got, 0));
            withName_ = first.left(first.indexOf('\n')).trimmed().endsWith(",name");
        }
        char last = '\n';
        if (::pread(reading, &last, 1, status.st_size - 1) == 1 && last != '\n')
            writeWhole(QByteArrayLiteral("\n"));
    } catch (...) {
        ::close(fd_);
        ownsFd_ = false;
        fd_ = -1;
        throw;
    }
}

void LogFile::reopen()
{
    if (path_.isEmpty())
        return;
    if (ownsFd_)
        ::close(fd_);
    ownsFd_ = false;
    fd_ = -1;
    open();
}

void LogFile::append(const Reading& reading)
{
    kept_.push_back(formatReading(reading, format_, withName_));
    if (static_cast<qsizetype>(kept_.size()) > kKeptLines) {
        kept_.pop_front();
        ++dropped_;
    }
    writeKept();
}

void LogFile::writeKept()
{
    if (fd_ < 0)
        open(); // a reopen that failed before: the file may be back
    // Held across the look at the file's size and the write, so that a line cut back is only ours.
    std::optional<FileLock> lock;
    if (regular_)
        lock.emplace(fd_);
    while (!kept_.empty()) {
        try {
            writeWhole(kept_.front());
        } catch (const PartlyWritten& partly) {
            // A pipe took the start of a long line and cannot take back: its end goes first next time.
            kept_.front().remove(0, partly.written());
            throw;
        }
        kept_.pop_front();
    }
}

void LogFile::writeWhole(const QByteArray& line)
{
    // One write: with O_APPEND the kernel puts the whole line at the end, between other writers'
    // lines. A file that takes only part of it (a full disk) is cut back to where the line began,
    // so no half line is left for the next one to be glued to. A pipe takes a line of up to
    // PIPE_BUF bytes whole or not at all.
    const bool file = regular_;
    struct stat before = {};
    if (file && ::fstat(fd_, &before) != 0)
        throw Error(tr("Could not write to %1: %2.").arg(where(path_), systemError(errno)));
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t written =
            ::write(fd_, line.constData() + done, static_cast<size_t>(line.size() - done));
        if (written >= 0) {
            done += written;
            if (!file || written > 0)
                continue;
        }
        const int error = written < 0 ? errno : ENOSPC;
        if (error == EINTR)
            continue;
        if (file && done > 0 && ::ftruncate(fd_, before.st_size) != 0)
            throw Error(tr("Could not write to %1: %2; the last line in it is incomplete.")
                            .arg(where(path_), systemError(error)));
        if (error == EPIPE)
            throw OutputClosed(tr("The reader of %1 went away.").arg(where(path_)));
        const QString message =
            error == EAGAIN || error == EWOULDBLOCK
                ? tr("Could not write to %1: its reader takes nothing more for now.").arg(where(path_))
                : tr("Could not write to %1: %2.").arg(where(path_), systemError(error));
        if (!file && done > 0)
            throw PartlyWritten(message, done);
        throw Error(message);
    }
}

} // namespace calimbra
