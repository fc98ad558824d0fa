// SPDX-License-Identifier: MIT
#include "BoardProcess.h"

#include <QFile>
#include <QtGlobal>

#include <csignal>
#include <sched.h>
#include <sys/resource.h>

BoardProcess::BoardProcess(const QStringList& options)
{
    process_.setProgram(QStringLiteral(CALIMBRA_SIMBOARD));
    process_.setArguments(
        QStringList{QStringLiteral("--log"), dir_.filePath(QStringLiteral("requests.log"))} + options);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The board stands for hardware, whose pacing a busy machine does not slow. As an ordinary
    // process it can wait its turn longer than the port's quiet gap between two pieces of a reply,
    // and the port rightly reports the first pieces alone; where it may, it goes before them all.
    process_.setChildProcessModifier([] {
        const sched_param lowestRealTime{::sched_get_priority_min(SCHED_FIFO)};
        if (::sched_setscheduler(0, SCHED_FIFO, &lowestRealTime) != 0)
            ::setpriority(PRIO_PROCESS, 0, -10);
    });
    process_.start();
    if (!process_.waitForStarted() || !process_.waitForReadyRead(5000))
        qFatal("the simulated board did not start: %s", qPrintable(process_.errorString()));
    while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
    }
    path_ = QString::fromLocal8Bit(process_.readLine().trimmed());
}

BoardProcess::~BoardProcess()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(1000);
    }
}

QStringList BoardProcess::requests() const
{
    QFile log(dir_.filePath(QStringLiteral("requests.log")));
    QStringList requests;
    if (!log.open(QIODevice::ReadOnly))
        return requests;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const QString entry = QString::fromLatin1(line.mid(line.indexOf(' ') + 1));
        if (!line.isEmpty() && !entry.startsWith(QLatin1String("sent ")) &&
            !entry.startsWith(QLatin1String("flood ")))
            requests << entry;
    }
    return requests;
}

void BoardProcess::signal(int number) const
{
    ::kill(static_cast<pid_t>(process_.processId()), number);
}
