// SPDX-License-Identifier: MIT
#pragma once

#include "ReadingLog.h"
#include "Sink.h"

#include <memory>

namespace calimbra {

// Readings appended to a file, or to standard output, a line each (ReadingLog's writers). A full
// disk keeps the lines that could not be written and writes them first when space is back; a file
// moved away by log rotation is followed to its new one on reopen().
class FileSink : public Sink
{
    Q_OBJECT

public:
    // An empty path is standard output. Throws Error when the file cannot be opened.
    FileSink(const QString& path, LogFormat format, QObject* parent = nullptr);
    ~FileSink() override;

    [[nodiscard]] QString description() const override;
    // Empty for standard output.
    [[nodiscard]] const QString& path() const { return path_; }
    void take(const Reading& reading) override;
    void reopen() override;

private:
    std::unique_ptr<LogFile> file_;
    QString path_;
    LogFormat format_;
};

} // namespace calimbra
