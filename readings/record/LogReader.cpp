// SPDX-License-Identifier: MIT
#include "LogReader.h"

#include <QDir>

#include <sys/stat.h>

namespace calimbra {

LogReader::LogReader(const QString& path, LogParser::Handler handler, QObject* parent)
    : QObject(parent), path_(path), parser_(std::move(handler))
{
    sliceTimer_.setSingleShot(true);
    sliceTimer_.setInterval(0);
    connect(&sliceTimer_, &QTimer::timeout, this, &LogReader::readSlice);
    pollTimer_.setInterval(kPollInterval);
    connect(&pollTimer_, &QTimer::timeout, this, &LogReader::look);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &LogReader::look);
}

LogReader::~LogReader() = default;

void LogReader::start()
{
    stopped_ = false;
    if (!reopen())
        return;
    sliceTimer_.start();
    pollTimer_.start();
}

bool LogReader::reopen()
{
    file_.close();
    file_.setFileName(path_);
    offset_ = 0;
    caughtUp_ = false;
    parser_.reset();
    if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(tr("Could not open the log %1: %2.").arg(QDir::toNativeSeparators(path_), file_.errorString()));
        return false;
    }
    struct stat status = {};
    if (::fstat(file_.handle(), &status) != 0 || !S_ISREG(status.st_mode)) {
        fail(tr("%1 is not a file that a log can be read from.").arg(QDir::toNativeSeparators(path_)));
        return false;
    }
    inode_ = status.st_ino;
    if (!watcher_.files().contains(path_))
        watcher_.addPath(path_);
    return true;
}

void LogReader::readSlice()
{
    if (stopped_)
        return;
    buffer_.resize(kSlice);
    const qint64 read = file_.read(buffer_.data(), kSlice);
    if (read < 0) {
        fail(tr("Could not read the log %1: %2.").arg(QDir::toNativeSeparators(path_), file_.errorString()));
        return;
    }
    offset_ += read;
    parser_.feed(QByteArrayView(buffer_.constData(), read));
    if (parser_.verdict() == LogParser::Verdict::NotALog) {
        fail(tr("%1 is not a Calimbra log: its line “%2” is neither the CSV header time,sensor,celsius,reply "
                "nor a reading in CSV or JSON Lines. Open a file written by calimbra-cli log or by the "
                "monitor's record.")
                 .arg(QDir::toNativeSeparators(path_), parser_.rejectedLine()));
        return;
    }
    emit progress(offset_, std::max(offset_, file_.size()));
    if (read == kSlice) {
        sliceTimer_.start();
        return;
    }
    caughtUp_ = true;
    emit caughtUp();
}

void LogReader::look()
{
    if (stopped_)
        return;
    // A file replaced by a rename is no longer watched under its name.
    if (!watcher_.files().contains(path_) && QFile::exists(path_))
        watcher_.addPath(path_);
    struct stat status = {};
    if (::stat(QFile::encodeName(path_).constData(), &status) != 0)
        return; // gone for now: what was read stays, and it is looked for again
    if (status.st_ino != inode_ || status.st_size < offset_) {
        if (reopen()) {
            emit restarted();
            sliceTimer_.start();
        }
        return;
    }
    if (status.st_size > offset_ && !sliceTimer_.isActive()) {
        caughtUp_ = false;
        sliceTimer_.start();
    }
}

void LogReader::fail(const QString& message)
{
    stopped_ = true;
    sliceTimer_.stop();
    pollTimer_.stop();
    if (!watcher_.files().isEmpty())
        watcher_.removePaths(watcher_.files());
    file_.close();
    emit failed(message);
}

QString LogReader::skippedLinesMessage() const
{
    const qint64 bad = parser_.badLines();
    if (bad == 0)
        return {};
    return tr("Lines of %1 that are not readings were skipped, %2 in all; the first is line %3.")
        .arg(QDir::toNativeSeparators(path_))
        .arg(bad)
        .arg(parser_.firstBadLine());
}

} // namespace calimbra
