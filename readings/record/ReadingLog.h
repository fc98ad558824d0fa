// SPDX-License-Identifier: MIT
#pragma once

#include "Error.h"
#include "LogFormat.h"
#include "Reading.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>

namespace calimbra {

// The first line of a new log; empty for formats without one.
[[nodiscard]] QByteArray logHeader(LogFormat format);
// One whole line, newline included. `withName`: CSV files begun before sensors had names have four
// columns, and lines appended to them keep to four.
[[nodiscard]] QByteArray formatReading(const Reading& reading, LogFormat format, bool withName = true);
// The JSON object of a reading, on one line without its end: a line of a JSON Lines log, and the
// message the service publishes for it, so that a reading read back is the same whichever way it
// came. {"time", "round", "sensor", "celsius" (null without a value), "reply", "name" (when it has
// one), "error" (when it has one)}; LogParser reads it back.
[[nodiscard]] QByteArray readingJson(const Reading& reading);

// The reader of standard output or of a FIFO went away (a pipe closed by `head`, a FIFO left): the
// end of output.
class OutputClosed : public Error
{
public:
    using Error::Error;
};

// Appends lines to a file or to standard output, each whole or not at all, so that a crash, a
// pulled plug, a full disk or a second logger appending to the same file never leaves half a line.
// A line that could not be written is kept (a bounded number of them) and written first next time.
class LogFile
{
public:
    // Lines kept while the file cannot be written; beyond this the oldest are dropped and counted.
    static constexpr qsizetype kKeptLines = 10000;

    // An empty path writes to standard output. A header goes first only into a new or empty file (and
    // to every new reader of standard output, a FIFO or a device); a file whose last line was torn
    // (by a crash of an older writer) is continued on a new line. The file is only ever written to.
    // Throws Error when the file cannot be opened, or is a FIFO that nobody reads.
    LogFile(const QString& path, LogFormat format);
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Writes the lines kept from before, then this one. Throws Error when the file cannot take them
    // (the lines stay kept: a full disk, a FIFO whose reader takes nothing for now), OutputClosed when
    // the reader of standard output or of a FIFO is gone.
    void append(const Reading& reading);
    // Closes and opens the path again: the file was moved away by log rotation. Throws Error.
    void reopen();

    [[nodiscard]] QString path() const { return path_; }
    [[nodiscard]] qsizetype keptLines() const { return static_cast<qsizetype>(kept_.size()); }
    [[nodiscard]] qint64 droppedLines() const { return dropped_; }

private:
    void open();
    void writeKept();
    void writeWhole(const QByteArray& line);

    QString path_;
    LogFormat format_;
    bool withName_ = true;
    int fd_ = -1;
    bool ownsFd_ = false;
    bool regular_ = false; // a regular file, as opposed to standard output, a FIFO or a device
    std::deque<QByteArray> kept_;
    qint64 dropped_ = 0;
};

} // namespace calimbra
