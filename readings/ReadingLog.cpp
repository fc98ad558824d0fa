// SPDX-License-Identifier: MIT
#include "ReadingLog.h"

#include "Error.h"
#include "Text.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace calimbra {
namespace {

QString isoTime(const QDateTime& time)
{
    return time.toString(Qt::ISODateWithMs);
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
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
    value.replace("\\", "\\\\").replace("\"", "\\\"").replace("\n", "\\n");
    return '"' + value + '"';
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString cannotOpen(const QString& path)
{
    return tr("Could not open the log file %1: %2.").arg(path, systemError());
}

QString cannotWrite(const QString& path)
{
    const QString where = path.isEmpty() ? tr("standard output") : path;
    return tr("Could not write to %1: %2.").arg(where, systemError());
}

} // namespace

QByteArray logHeader(LogFormat format)
{
    return format == LogFormat::Csv ? QByteArrayLiteral("time,sensor,celsius,reply\n") : QByteArray();
}

QByteArray formatReading(const Reading& reading, LogFormat format)
{
    switch (format) {
    case LogFormat::Csv:
        return isoTime(reading.time).toUtf8() + ',' + QByteArray::number(reading.sensor) + ',' +
               (reading.celsius ? number(*reading.celsius) : QByteArray()) + ',' + csvField(reading.text) +
               '\n';
    case LogFormat::JsonLines: {
        QJsonObject line{
            {QStringLiteral("time"), isoTime(reading.time)},
            {QStringLiteral("round"), isoTime(reading.roundStart)},
            {QStringLiteral("sensor"), reading.sensor},
            {QStringLiteral("celsius"), reading.celsius ? QJsonValue(*reading.celsius) : QJsonValue()},
            {QStringLiteral("reply"), reading.text}};
        return QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    }
    case LogFormat::Influx: {
        QByteArray fields = reading.celsius ? "celsius=" + number(*reading.celsius) + ',' : QByteArray();
        fields += "reply=" + influxString(reading.text);
        const qint64 ns = reading.time.toMSecsSinceEpoch() * 1'000'000;
        return "calimbra,sensor=" + QByteArray::number(reading.sensor) + ' ' + fields + ' ' +
               QByteArray::number(ns) + '\n';
    }
    }
    return {};
}

LogFile::LogFile(const QString& path, LogFormat format) : path_(path), format_(format)
{
    if (path.isEmpty()) {
        fd_ = STDOUT_FILENO;
        const QByteArray header = logHeader(format);
        if (!header.isEmpty())
            writeWhole(header);
        return;
    }
    fd_ = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw Error(cannotOpen(path));
    ownsFd_ = true;
    // Locked while judging "empty", so that two loggers starting together write one header.
    ::flock(fd_, LOCK_EX);
    struct stat status = {};
    const bool empty = ::fstat(fd_, &status) == 0 && status.st_size == 0;
    try {
        if (empty && !logHeader(format).isEmpty())
            writeWhole(logHeader(format));
    } catch (...) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        throw;
    }
    ::flock(fd_, LOCK_UN);
}

LogFile::~LogFile()
{
    if (ownsFd_)
        ::close(fd_);
}

void LogFile::append(const Reading& reading)
{
    writeWhole(formatReading(reading, format_));
}

void LogFile::writeWhole(const QByteArray& line)
{
    // One write: with O_APPEND the kernel puts the whole line at the end, between other writers'
    // lines. A pipe or terminal may take it in parts; the rest follows at once.
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t written =
            ::write(fd_, line.constData() + done, static_cast<size_t>(line.size() - done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw Error(cannotWrite(path_));
        }
        done += written;
    }
}

} // namespace calimbra
