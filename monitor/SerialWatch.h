// SPDX-License-Identifier: MIT
#pragma once

#include "BoardConversation.h"
#include "SamplingSession.h"
#include "TComPort.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <chrono>

namespace calimbra {

class Pipeline;
class ReadingView;

// The monitor reading the board on its serial port: rounds at an interval into the pipeline, the
// view told of each round's end, faults said in the monitor's words, retried by themselves.
class SerialWatch : public QObject
{
    Q_OBJECT

public:
    SerialWatch(Pipeline& pipeline, ReadingView& view, QObject* parent = nullptr);

    [[nodiscard]] TComPort& port() { return port_; }
    [[nodiscard]] SamplingSession& session() { return session_; }
    [[nodiscard]] bool isRunning() const { return session_.isRunning(); }

    // `expected`: the sensors an outage is recorded for before the board has counted its own.
    void start(const QString& port, std::chrono::seconds interval, const QList<int>& sensors,
               const QList<int>& expected);
    void stop();

    // Its part of the status line: what is read how often, the last and next round.
    [[nodiscard]] QStringList statusParts() const;
    [[nodiscard]] const QDateTime& lastRound() const { return lastRound_; }

signals:
    void said(const QString& message, const QDateTime& when);
    void resumed(const QDateTime& when);
    void changed();
    // Its rounds are done (never, unless a count was set).
    void finished();

private:
    TComPort port_;
    BoardConversation conversation_{port_};
    SamplingSession session_{conversation_};
    std::chrono::seconds interval_{};
    QDateTime lastRound_;
    QDateTime nextRound_;
    bool retrying_ = false;
};

} // namespace calimbra
