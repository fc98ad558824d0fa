// SPDX-License-Identifier: MIT
#pragma once

#include "Alarm.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>

class QProcess;

namespace calimbra {

// Runs the owner's command (on_alarm) for each alarm raised or cleared: the program and its
// arguments as QProcess::splitCommand gives them, never through a shell, with the program's own
// environment and CALIMBRA_BOARD, CALIMBRA_SENSOR, CALIMBRA_NAME, CALIMBRA_ALARM (high, low, lost),
// CALIMBRA_STATE (raised, cleared), CALIMBRA_CELSIUS (empty when there is no value; '.' as the
// decimal mark) and CALIMBRA_TIME (ISO 8601 with offset). Its standard output and error both go
// to this program's standard error, so that they never mix with readings written to standard
// output; its standard input is empty.
//
// Commands run side by side without holding up the event loop, up to kMaxRunning at once; every
// raise and every clear gets its command, the rest waiting their turn in the order they came. A
// sensor's commands run one after another, so that its clear never overtakes its raise. One that runs
// longer than the time limit is killed with all it started; one that cannot start, fails or is
// killed is said. Only beyond kMaxWaiting waiting is a command dropped, and that is said.
class AlarmHook : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{30000};
    static constexpr int kMaxRunning = 8;
    static constexpr int kMaxWaiting = 256;

    // Throws Error when the command names no program, or one that is not there to be run.
    AlarmHook(const QString& command, const QString& board, QObject* parent = nullptr);
    // Commands still running are killed.
    ~AlarmHook() override;

    void setTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
    [[nodiscard]] std::chrono::milliseconds timeLimit() const { return timeLimit_; }
    [[nodiscard]] int runningCount() const { return static_cast<int>(running_.size()); }
    [[nodiscard]] int waitingCount() const { return static_cast<int>(waiting_.size()); }

    // Now, or once its turn comes.
    void run(const calimbra::AlarmEvent& event);

signals:
    // Something for the person running the program: a command that failed, was killed or dropped.
    void said(const QString& message);
    // The last command has ended, and none waits.
    void idle();

private:
    struct Running
    {
        QProcess* process;
        int sensor;
    };

    void startWaiting();
    void start(const calimbra::AlarmEvent& event);
    void ended(QProcess* process, const QString& message);
    [[nodiscard]] QString label(const calimbra::AlarmEvent& event) const;

    QString program_;
    QStringList arguments_;
    QString board_;
    std::chrono::milliseconds timeLimit_ = kDefaultTimeLimit;
    QList<Running> running_;
    std::deque<calimbra::AlarmEvent> waiting_;
    // Dropped since the queue was last said to be full, and the last of them.
    int dropped_ = 0;
    QString lastDropped_;
};

} // namespace calimbra
