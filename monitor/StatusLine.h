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
class SerialWatch;

// The monitor's status line, from what each source and output says: what is read and how, the last
// round or reading, the record, and the last error with when it began and ended. Faults are told
// here, never in a box that would stop an unattended run.
class StatusLine
{
    Q_DECLARE_TR_FUNCTIONS(calimbra::StatusLine)

public:
    void setBoardOfflineSince(const QDateTime& since) { offlineSince_ = since; }
    void setRecord(const QString& path) { record_ = path; }
    void noteError(const QString& message, const QDateTime& when = QDateTime::currentDateTime());
    void noteResumed(const QDateTime& when) { resumedAt_ = when; }
    void clearError() { error_.clear(); }
    [[nodiscard]] const QString& lastError() const { return error_; }

    // The text, for the source that runs: the port, a broker, a log, or none.
    [[nodiscard]] QString text(const SerialWatch& serial, const BrokerSource* broker, const LogSource* log,
                               const ReadingStore& store) const;
    // What an empty chart says: what it waits for, or what to do next (`brokerChosen`: the broker is
    // the source chosen, and nothing runs).
    [[nodiscard]] QString hint(const SerialWatch& serial, const BrokerSource* broker, const LogSource* log,
                               bool brokerChosen) const;

private:
    void brokerParts(QStringList& parts, const BrokerSource& broker, const ReadingStore& store) const;

    QDateTime offlineSince_;
    QString record_;
    QString error_;
    QDateTime errorAt_;
    QDateTime resumedAt_; // when things worked again after the last error
};

} // namespace calimbra
