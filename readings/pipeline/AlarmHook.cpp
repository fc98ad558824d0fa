// SPDX-License-Identifier: MIT
#include "AlarmHook.h"

#include "Error.h"

#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace calimbra {
namespace {

const char* const kKilledProperty = "calimbraKilled";
const char* const kLabelProperty = "calimbraLabel";

} // namespace

AlarmHook::AlarmHook(const QString& command, const QString& board, QObject* parent)
    : QObject(parent), board_(board)
{
    const QStringList words = QProcess::splitCommand(command);
    if (words.isEmpty())
        throw Error(tr("The alarm command \"%1\" names no program to run.").arg(command));
    program_ = words.first();
    arguments_ = words.mid(1);
    // Found now, not at the first alarm, hours later and unattended.
    const QString found = program_.contains(u'/') ? program_ : QStandardPaths::findExecutable(program_);
    const QFileInfo info(found);
    if (found.isEmpty() || !info.isFile() || !info.isExecutable())
        throw Error(tr("The alarm command's program %1 is not there, or may not be run by this user: give "
                       "the path of an executable file with --on-alarm or on_alarm in the board's file.")
                        .arg(program_));
}

AlarmHook::~AlarmHook()
{
    for (const Running& running : std::as_const(running_)) {
        QProcess* process = running.process;
        disconnect(process, nullptr, this, nullptr);
        if (process->processId() > 0)
            ::kill(-static_cast<pid_t>(process->processId()), SIGKILL);
        process->kill();
        // Killed, it ends at once; reaping it here spares QProcess's warning about a running child.
        process->waitForFinished();
    }
}

QString AlarmHook::label(const AlarmEvent& event) const
{
    return tr("sensor %1, %2 %3")
        .arg(event.sensor)
        .arg(alarmKindName(event.kind), event.raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
}

void AlarmHook::run(const AlarmEvent& event)
{
    if (static_cast<int>(waiting_.size()) >= kMaxWaiting) {
        // Commands that hang for their whole time limit, or a storm of alarms: said when it begins,
        // and what it cost once there is room again.
        if (dropped_++ == 0)
            emit said(tr("The alarm command %1 (%2) was not run: %3 commands are waiting their turn "
                         "already. Alarm commands are dropped until there is room again.")
                          .arg(program_, label(event))
                          .arg(waiting_.size()));
        lastDropped_ = label(event);
        return;
    }
    waiting_.push_back(event);
    startWaiting();
}

void AlarmHook::startWaiting()
{
    while (running_.size() < kMaxRunning) {
        // The first in the queue whose sensor has no command running: those of a busy sensor keep
        // their places, and the others pass them.
        const auto next = std::find_if(waiting_.begin(), waiting_.end(), [this](const AlarmEvent& event) {
            return std::none_of(running_.cbegin(), running_.cend(),
                                [&event](const Running& running) { return running.sensor == event.sensor; });
        });
        if (next == waiting_.end())
            return;
        const AlarmEvent event = *next;
        waiting_.erase(next);
        if (dropped_ > 0) {
            // Room again: the end of the drops, said with what they cost.
            if (dropped_ > 1)
                emit said(tr("The alarm command %1 was not run for %2 alarms while its queue was full (the "
                             "last: %3); it runs again for every alarm.")
                              .arg(program_)
                              .arg(dropped_)
                              .arg(lastDropped_));
            dropped_ = 0;
        }
        start(event);
    }
}

void AlarmHook::start(const AlarmEvent& event)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CALIMBRA_BOARD"), board_);
    environment.insert(QStringLiteral("CALIMBRA_SENSOR"), QString::number(event.sensor));
    environment.insert(QStringLiteral("CALIMBRA_NAME"), event.name);
    environment.insert(QStringLiteral("CALIMBRA_ALARM"), alarmKindName(event.kind));
    environment.insert(QStringLiteral("CALIMBRA_STATE"),
                       event.raised ? QStringLiteral("raised") : QStringLiteral("cleared"));
    environment.insert(QStringLiteral("CALIMBRA_CELSIUS"),
                       event.celsius ? QString::number(*event.celsius, 'g', QLocale::FloatingPointShortest)
                                     : QString());
    environment.insert(QStringLiteral("CALIMBRA_TIME"), event.time.toString(Qt::ISODateWithMs));

    auto* process = new QProcess(this);
    process->setProperty(kLabelProperty, label(event));
    process->setProgram(program_);
    process->setArguments(arguments_);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([] {
        // A group of its own, so that a kill reaches whatever it started; its output to our
        // standard error, never into readings written to standard output.
        ::setpgid(0, 0);
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
    });

    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, process, [process] {
        process->setProperty(kKilledProperty, true);
        if (process->processId() > 0)
            ::kill(-static_cast<pid_t>(process->processId()), SIGKILL);
        process->kill();
    });
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
        const QString what = process->property(kLabelProperty).toString();
        QString message;
        if (process->property(kKilledProperty).toBool())
            message = tr("The alarm command %1 (%2) ran longer than %3 s and was killed.")
                          .arg(program_, what)
                          .arg(static_cast<double>(timeLimit_.count()) / 1000);
        else if (status == QProcess::CrashExit)
            message = tr("The alarm command %1 (%2) was ended by a signal.").arg(program_, what);
        else if (code != 0)
            message =
                tr("The alarm command %1 (%2) failed with exit status %3.").arg(program_, what).arg(code);
        ended(process, message);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ended(process,
                  tr("The alarm command %1 (%2) could not start: %3.")
                      .arg(program_, process->property(kLabelProperty).toString(), process->errorString()));
    });

    running_ << Running{process, event.sensor};
    process->start();
    if (std::any_of(running_.cbegin(), running_.cend(),
                    [process](const Running& running) { return running.process == process; }))
        limit->start(timeLimit_);
}

void AlarmHook::ended(QProcess* process, const QString& message)
{
    if (running_.removeIf([process](const Running& running) { return running.process == process; }) == 0)
        return;
    process->deleteLater();
    if (!message.isEmpty())
        emit said(message);
    startWaiting();
    if (running_.isEmpty() && waiting_.empty())
        emit idle();
}

} // namespace calimbra
