// SPDX-License-Identifier: MIT
#pragma once

#include "LogParser.h"

#include <QByteArray>
#include <QFile>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

namespace calimbra {

// A log file read on the event loop a slice at a time, so that the window stays responsive while
// millions of lines go by, and then followed as it grows: only the new bytes are read, when the file
// system tells of a change or, where it cannot (network file systems), when a periodic look finds
// one. A file truncated or replaced (log rotation) is read again from its start.
class LogReader : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype kSlice = 4 * 1024 * 1024;
    static constexpr std::chrono::milliseconds kPollInterval{2000};

    LogReader(const QString& path, LogParser::Handler handler, QObject* parent = nullptr);
    ~LogReader() override;

    // Reading begins from the event loop.
    void start();

    [[nodiscard]] QString path() const { return path_; }
    [[nodiscard]] const LogParser& parser() const { return parser_; }
    [[nodiscard]] bool isCaughtUp() const { return caughtUp_; }
    [[nodiscard]] qint64 bytesRead() const { return offset_; }
    // "3 lines of FILE are not readings and were skipped; the first is line 57." Empty when none.
    [[nodiscard]] QString skippedLinesMessage() const;

signals:
    void progress(qint64 bytesRead, qint64 bytesTotal);
    // Every whole line written so far has been read.
    void caughtUp();
    // Reading has stopped: the file cannot be read or is not a log.
    void failed(const QString& message);
    // The file was truncated or replaced: what was read before no longer stands.
    void restarted();

private:
    void readSlice();
    void look();
    [[nodiscard]] bool reopen();
    void fail(const QString& message);

    QString path_;
    LogParser parser_;
    QFile file_;
    QByteArray buffer_;
    qint64 offset_ = 0;
    quint64 inode_ = 0;
    bool caughtUp_ = false;
    bool stopped_ = false;
    QFileSystemWatcher watcher_;
    QTimer sliceTimer_;
    QTimer pollTimer_;
};

} // namespace calimbra
