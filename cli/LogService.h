// SPDX-License-Identifier: MIT
#pragma once

#include "AlarmHook.h"
#include "Options.h"
#include "Pipeline.h"
#include "SamplingSession.h"
#include "ServiceManager.h"
#include "Sink.h"
#include "UnixSignals.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class TComPort;

namespace calimbra::cli {

// The log command: one sampling session feeding, through the pipeline, every output named (a file or
// standard output, an MQTT broker, Prometheus metrics) side by side. An output that fails says so once
// and once when it works again, and never stops the sampling or the others. Runs until stopped
// (SIGINT, SIGTERM: status 0), until --count rounds are done, or until their bound has passed (status
// 2 or 3). SIGHUP reopens the output file, as log rotation expects.
class LogService : public QObject
{
    Q_OBJECT

public:
    LogService(const Options& options, TComPort& port, BoardConversation& conversation,
               QObject* parent = nullptr);
    ~LogService() override;

    // Opens the outputs and starts sampling. Throws UsageError or Error (an output that cannot be
    // opened: status 4).
    void start();

signals:
    void finished(int status);

private:
    void makeOutputs();
    void addSink(std::unique_ptr<Sink> sink);
    void onAlarm(const AlarmEvent& event);
    void onTrouble(const QString& message, const QDateTime& when);
    void onResumed(const QDateTime& when, const QDateTime& since);
    void onSignal(int number);
    void onCountBoundPassed();
    void stop(int status);
    void finish();
    void say(const QString& message) const;
    [[nodiscard]] QString readingStatus() const;

    Options options_;
    QString board_;
    TComPort& port_;
    SamplingSession session_;
    Pipeline pipeline_;
    std::unique_ptr<AlarmHook> hook_;
    QString stateFolder_; // where active alarms are kept across restarts
    bool stateFailing_ = false;
    std::vector<std::unique_ptr<Sink>> sinks_;
    UnixSignalWatcher signals_;
    ServiceManager service_;
    QTimer countBound_;
    QTimer stopGrace_;
    int status_ = 0;
    bool stopping_ = false;
    bool finished_ = false;
};

} // namespace calimbra::cli
