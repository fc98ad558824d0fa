// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <optional>

namespace calimbra {

class BrokerSource;
class LogSource;
class ReadingStore;

// The monitor's status line, from what each source and output says: what is read and how, the last
// round or reading, the record, and the last error with when it began and ended. Faults are told
// here, never in a box that would stop an unattended run.
class StatusLine
{
    Q_DECLARE_TR_FUNCTIONS(calimbra::StatusLine)

public:
    // The port is read at this interval, or not (port empty).
    void setSerial(const QString& port, int intervalSeconds) { port_ = port, interval_ = intervalSeconds; }
    void setLastRound(const QDateTime& when) { lastRound_ = when; }
    void setNextRound(const QDateTime& when) { nextRound_ = when; }
    void setRetrying(bool retrying) { retrying_ = retrying; }
    void setBoardOfflineSince(const QDateTime& since) { offlineSince_ = since; }
    void setRecord(const QString& path) { record_ = path; }
    void noteError(const QString& message, const QDateTime& when = QDateTime::currentDateTime());
    void noteResumed(const QDateTime& when) { resumedAt_ = when; }
    void clearError() { error_.clear(); }
    [[nodiscard]] const QString& lastError() const { return error_; }

    // The text, for the source that runs: the port, a broker, a log, or none.
    [[nodiscard]] QString text(const BrokerSource* broker, const LogSource* log,
                               const ReadingStore& store) const;

private:
    void brokerParts(QStringList& parts, const BrokerSource& broker, const ReadingStore& store) const;

    QString port_;
    int interval_ = 0;
    QDateTime lastRound_;
    QDateTime nextRound_;
    bool retrying_ = false;
    QDateTime offlineSince_;
    QString record_;
    QString error_;
    QDateTime errorAt_;
    QDateTime resumedAt_; // when things worked again after the last error
};

} // namespace calimbra
