// SPDX-License-Identifier: MIT
#include "FileSink.h"

namespace calimbra {

FileSink::FileSink(const QString& path, LogFormat format, QObject* parent)
    : Sink(parent), file_(std::make_unique<LogFile>(path, format)), path_(path), format_(format)
{}

FileSink::~FileSink() = default;

QString FileSink::description() const
{
    return path_.isEmpty() ? tr("standard output") : tr("the log file %1").arg(path_);
}

void FileSink::take(const Reading& reading)
{
    try {
        file_->append(reading);
        reportWorking();
    } catch (const OutputClosed& error) {
        // Standard output's reader leaving (head) is the end a pipe means; a file's is worth saying.
        emit closed(path_.isEmpty() ? QString() : error.message());
    } catch (const Error& error) {
        reportFailure(tr("%1 Lines are kept (%2 now) and written once it can take them again.")
                          .arg(error.message())
                          .arg(file_->keptLines()));
    }
}

void FileSink::reopen()
{
    try {
        file_->reopen();
        reportWorking();
    } catch (const Error& error) {
        reportFailure(error.message());
    }
}

} // namespace calimbra
