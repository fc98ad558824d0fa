// SPDX-License-Identifier: MIT
#pragma once

#include "BoardProtocol.h"
#include "LogReader.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <optional>

namespace calimbra {

class Pipeline;

// A log read back into a pipeline, a reading at a time as it was written (its time, value, reply,
// name, and why it has no value), then followed as it grows. The pipeline takes them as a log's
// (Pipeline::Source::Log): already calibrated, named by the log or else the profiles, watched for
// alarms by their own times.
class LogSource : public QObject
{
    Q_OBJECT

public:
    LogSource(const QString& path, Pipeline& pipeline, QObject* parent = nullptr);

    // Reading begins from the event loop.
    void start() { reader_.start(); }

    [[nodiscard]] const LogReader& reader() const { return reader_; }
    // How much of the log is read, while it is first read.
    [[nodiscard]] std::optional<int> loadingPercent() const { return loadingPercent_; }

signals:
    // While it is first read: how far, in bytes.
    void progressed(qint64 bytesRead, qint64 bytesTotal);
    // Every whole line written so far has been read.
    void caughtUp();
    void failed(const QString& message);
    // The log was truncated or replaced: it is read again from its start.
    void restarted();

private:
    void take(const LogRecord& record);
    void onProgress(qint64 done, qint64 total);

    Pipeline& pipeline_;
    LogReader reader_;
    std::optional<int> loadingPercent_ = 0;
    // A log's names and replies arrive as bytes on every line, mostly the same as the sensor's last:
    // each is made a text once, and the same text is handed on again.
    std::array<QByteArray, board::kMaxSensors> nameBytes_;
    std::array<QString, board::kMaxSensors> names_;
    std::array<QByteArray, board::kMaxSensors> replyBytes_;
    std::array<QString, board::kMaxSensors> replies_;
};

} // namespace calimbra
