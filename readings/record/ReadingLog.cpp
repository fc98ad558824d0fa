// SPDX-License-Identifier: MIT
#include "ReadingLog.h"

#include "Celsius.h"
#include "Text.h"

#include <QFile>

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
// character is read as itself, so doubling it would change the name. Line ends cannot be escaped
// there at all, and names never end in a backslash (the board's file refuses them).
QByteArray influxTag(const QString& text)
{
    QByteArray value = printable(text).toUtf8();
    value.replace(",", "\\,").replace("=", "\\=").replace(" ", "\\ ");
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
    const int fd =
        ::open(QFile::encodeName(path_).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        throw Error(tr("Could not open the log file %1: %2.").arg(path_, systemError(errno)));
    fd_ = fd;
    ownsFd_ = true;
    try {
        // Locked while judging "empty", so that two loggers starting together write one header.
        const FileLock lock(fd_);
        struct stat status = {};
        if (::fstat(fd_, &status) != 0)
            throw Error(tr("Could not open the log file %1: %2.").arg(path_, systemError(errno)));
        if (status.st_size == 0) {
            if (!logHeader(format_).isEmpty())
                writeWhole(logHeader(format_));
            return;
        }
        if (format_ == LogFormat::Csv) {
            QByteArray first(256, '\0');
            const ssize_t got = ::pread(fd_, first.data(), static_cast<size_t>(first.size()), 0);
            first.truncate(std::max<ssize_t>(got, 0));
            withName_ = first.left(first.indexOf('\n')).trimmed().endsWith(",name");
        }
        char last = '\n';
        if (::pread(fd_, &last, 1, status.st_size - 1) == 1 && last != '\n')
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
    if (ownsFd_)
        lock.emplace(fd_);
    while (!kept_.empty()) {
        writeWhole(kept_.front());
        kept_.pop_front();
    }
}

void LogFile::writeWhole(const QByteArray& line)
{
    // One write: with O_APPEND the kernel puts the whole line at the end, between other writers'
    // lines. A file that takes only part of it (a full disk) is cut back to where the line began,
    // so no half line is left for the next one to be glued to.
    const bool file = ownsFd_;
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
            throw OutputClosed(tr("The reader of standard output went away."));
        throw Error(tr("Could not write to %1: %2.").arg(where(path_), systemError(error)));
    }
}

} // namespace calimbra
