// SPDX-License-Identifier: MIT
#include "LogSource.h"

#include "Pipeline.h"

namespace calimbra {
namespace {

// The text of these bytes, made once for as long as they come again.
const QString& cachedText(QByteArrayView bytes, QByteArray& lastBytes, QString& lastText)
{
    if (bytes != lastBytes) {
        lastBytes = bytes.toByteArray();
        lastText = QString::fromUtf8(bytes);
    }
    return lastText;
}

} // namespace

LogSource::LogSource(const QString& path, Pipeline& pipeline, QObject* parent)
    : QObject(parent), pipeline_(pipeline), reader_(path, [this](const LogRecord& record) { take(record); })
{
    connect(&reader_, &LogReader::progress, this, &LogSource::onProgress);
    connect(&reader_, &LogReader::caughtUp, this, [this] {
        loadingPercent_.reset();
        emit caughtUp();
    });
    connect(&reader_, &LogReader::failed, this, [this](const QString& message) {
        loadingPercent_.reset();
        emit failed(message);
    });
    connect(&reader_, &LogReader::restarted, this, [this] {
        loadingPercent_ = 0;
        nameBytes_ = {};
        names_ = {};
        replyBytes_ = {};
        replies_ = {};
        emit restarted();
    });
}

void LogSource::take(const LogRecord& record)
{
    const auto slot = static_cast<std::size_t>(record.sensor - 1);
    Reading reading;
    // The instants as they were; the offsets they were written with are left behind, since a time
    // with an offset of its own costs an allocation, millions of times over, and nothing a log is
    // read back into writes them again.
    reading.time = QDateTime::fromMSecsSinceEpoch(record.time.ms, Qt::UTC);
    // Delays of alarms run on the log's own clock.
    reading.monotonicMs = record.time.ms;
    if (record.roundStart)
        reading.roundStart = QDateTime::fromMSecsSinceEpoch(record.roundStart->ms, Qt::UTC);
    reading.sensor = record.sensor;
    if (!record.name.isEmpty())
        reading.name = cachedText(record.name, nameBytes_.at(slot), names_.at(slot));
    if (!record.reply.isEmpty())
        reading.text = cachedText(record.reply, replyBytes_.at(slot), replies_.at(slot));
    reading.celsius = record.celsius;
    reading.decimals = record.decimals;
    reading.error = record.error;
    pipeline_.take(std::move(reading));
}

void LogSource::onProgress(qint64 done, qint64 total)
{
    if (loadingPercent_)
        loadingPercent_ = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    emit progressed(done, total);
}

} // namespace calimbra
