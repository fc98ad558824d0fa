// SPDX-License-Identifier: MIT
#pragma once

#include "Reading.h"

#include <QByteArray>
#include <QString>

namespace calimbra {

enum class LogFormat {
    Csv,       // RFC 4180 quoting: time, sensor, celsius, reply
    JsonLines, // one JSON object a line
    Influx,    // InfluxDB line protocol, for Telegraf's exec input and time-series stores
};

// The first line of a new log; empty for formats without one.
[[nodiscard]] QByteArray logHeader(LogFormat format);
// One whole line, newline included.
[[nodiscard]] QByteArray formatReading(const Reading& reading, LogFormat format);

// Appends lines to a file or to standard output, each in one write, so that a crash, a pulled plug
// or a second logger appending to the same file never leaves half a line. Failures throw Error.
class LogFile
{
public:
    // An empty path writes to standard output. A header goes first only into a new or empty file.
    LogFile(const QString& path, LogFormat format);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    void append(const Reading& reading);
    [[nodiscard]] QString path() const { return path_; }

private:
    void writeWhole(const QByteArray& line);

    QString path_;
    LogFormat format_;
    int fd_ = -1;
    bool ownsFd_ = false;
};

} // namespace calimbra
