// SPDX-License-Identifier: MIT
#pragma once

#include "LogSource.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

namespace calimbra {

class Pipeline;
class ReadingHistory;
class ReadingView;

// The monitor reading back a log, of any length, into the pipeline and the view: drawn as it is read
// (not after every slice, which would take longer than reading it), then followed as it grows, its
// alarms told to the desktop only once it has caught up with what was written before.
class LogWatch : public QObject
{
    Q_OBJECT

public:
    LogWatch(Pipeline& pipeline, ReadingView& view, ReadingHistory& history, QObject* parent = nullptr);
    ~LogWatch() override;

    // Reads the log from its start; what was shown before is forgotten.
    void open(const QString& path);
    void close() { source_.reset(); }
    [[nodiscard]] const LogSource* source() const { return source_.get(); }

signals:
    // Every whole line written so far has been read.
    void caughtUp();
    void said(const QString& message);
    // Worth drawing again: more of the log was read.
    void progressed();

private:
    Pipeline& pipeline_;
    ReadingView& view_;
    ReadingHistory& history_;
    std::unique_ptr<LogSource> source_;
    QElapsedTimer sinceShown_;
};

} // namespace calimbra
