// SPDX-License-Identifier: MIT
#include "LogService.h"

#include "BoardName.h"
#include "BoardProtocol.h"
#include "Celsius.h"
#include "ComError.h"
#include "FileOutput.h"
#include "FileSink.h"
#include "MqttOutput.h"
#include "Outbox.h"
#include "Output.h"
#include "Outputs.h"
#include "PortLock.h"
#include "PortName.h"
#include "Status.h"
#include "TComPort.h"
#include "Text.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <csignal>

using namespace std::chrono;

namespace calimbra::cli {
namespace {

QString timeText(const QDateTime& time)
{
    return time.toString(Qt::ISODate);
}

// How long the outputs may take, at most, to deliver what they hold and say goodbye once stopped:
// each bounds its own wait (the broker's outbox, MqttSink::Options::drainWithin), this is the net.
constexpr milliseconds kStopGrace{15000};

} // namespace

LogService::LogService(const Options& options, TComPort& port, BoardConversation& conversation,
                       QObject* parent)
    : QObject(parent), options_(options), port_(port),
      session_(conversation), signals_{SIGINT, SIGTERM, SIGHUP}
{
    session_.setInterval(options_.interval());
    session_.setSensors(options_.sensors());
    session_.setExpectedSensors(options_.profiles.keys());
    session_.setRoundLimit(options_.count());
    pipeline_.setProfiles(options_.profiles);
    pipeline_.attach(session_);
    connect(&pipeline_, &Pipeline::troubleStarted, this, &LogService::onTrouble);
    connect(&pipeline_, &Pipeline::resumed, this, &LogService::onResumed);
    connect(&pipeline_, &Pipeline::alarmChanged, this, &LogService::onAlarm);
    connect(&pipeline_, &Pipeline::said, this, [this](const QString& message) {
        say(tr("%1: %2").arg(timeText(QDateTime::currentDateTime()), message));
    });
    connect(&pipeline_, &Pipeline::stopped, this, &LogService::finish);
    connect(&session_, &SamplingSession::notice, this, [this](const QString& message) { say(message); });
    connect(&session_, &SamplingSession::finished, this, [this] { stop(Done); });
    connect(&signals_, &UnixSignalWatcher::received, this, &LogService::onSignal);

    countBound_.setSingleShot(true);
    connect(&countBound_, &QTimer::timeout, this, &LogService::onCountBoundPassed);
    stopGrace_.setSingleShot(true);
    connect(&stopGrace_, &QTimer::timeout, this, &LogService::finish);
}

// The sinks go before the pipeline that knows them.
LogService::~LogService()
{
    sinks_.clear();
}

void LogService::start()
{
    board_ = options_.board().isEmpty() ? boardNameFromPort(options_.port()) : options_.board();
    if (!isValidBoardName(board_))
        throw UsageError(tr("The board's name \"%1\" may hold only letters, digits, _ and - (at most 64); "
                            "choose another with --board.")
                             .arg(printable(board_)));
    // Two services on one board: the second is refused, not left to retry behind the first.
    if (const auto owner = liveLockOwner(lockFileNames(systemLocation(options_.port()))))
        throw ComError(tr("Serial port %1 is in use by another program (%2, process %3); a second logger on "
                          "one board is refused.")
                           .arg(printable(options_.port()), owner->program)
                           .arg(owner->pid));
    if (!options_.onAlarm().isEmpty()) {
        try {
            hook_ = std::make_unique<AlarmHook>(options_.onAlarm(), board_);
        } catch (const Error& error) {
            throw UsageError(error.message());
        }
        connect(hook_.get(), &AlarmHook::said, this, [this](const QString& message) { say(message); });
    }
    // Beside the outbox, wherever it is.
    stateFolder_ = options_.settings.value(mqtt_output::kOutbox, defaultOutboxFolder(board_));
    try {
        pipeline_.restoreAlarms(loadAlarmState(stateFolder_));
    } catch (const Error& error) {
        say(tr("The alarms active when the service last stopped are not known: %1").arg(error.message()));
    }
    makeOutputs();
    for (const auto& sink : sinks_)
        sink->start();
    if (options_.count() > 0) {
        // A run with an end must end, even with the board away: cron must never stack them up.
        const milliseconds bound = options_.interval() * options_.count() + SamplingSession::kLongestRetry +
                                   options_.timeout() * (board::kMaxSensors + 1);
        countBound_.start(bound);
    }
    session_.start();
    service_.ready(readingStatus());
}

void LogService::makeOutputs()
{
    OutputContext context;
    context.board = board_;
    context.stateFolder = stateFolder_;
    context.interval = options_.interval();
    context.version = QCoreApplication::applicationVersion();
    context.profiles = options_.profiles;
    for (const OutputKind* kind : outputKinds()) {
        std::unique_ptr<Sink> sink;
        try {
            sink = kind->make(options_.settings, context);
        } catch (const SettingError& error) {
            throw UsageError(error.message());
        }
        if (sink)
            addSink(std::move(sink));
    }
    // Named no output at all: the readings go to standard output.
    if (sinks_.empty()) {
        if (standardOutputIsClosed())
            throw Error(tr("Could not write to standard output: it is closed. Name a file with --output."));
        addSink(std::make_unique<FileSink>(QString(),
                                           options_.settings.value(file_output::kFormat, LogFormat::Csv)));
    }
}

void LogService::addSink(std::unique_ptr<Sink> sink)
{
    connect(sink.get(), &Sink::closed, this, [this](const QString& message) {
        if (!message.isEmpty())
            say(message);
        stop(OutputFailed);
    });
    pipeline_.addSink(sink.get());
    sinks_.push_back(std::move(sink));
}

void LogService::onAlarm(const AlarmEvent& event)
{
    const QString sensor = event.name.isEmpty()
                               ? QString::number(event.sensor)
                               : QStringLiteral("%1 (%2)").arg(event.sensor).arg(printable(event.name));
    const QString value =
        event.celsius ? QStringLiteral(", %1 \u00B0C").arg(celsiusString(*event.celsius)) : QString();
    say(event.raised ? tr("%1: alarm %2 raised for sensor %3%4.")
                           .arg(timeText(event.time), alarmKindName(event.kind), sensor, value)
                     : tr("%1: alarm %2 cleared for sensor %3%4.")
                           .arg(timeText(event.time), alarmKindName(event.kind), sensor, value));
    if (hook_)
        hook_->run(event);
    try {
        saveAlarmState(stateFolder_, pipeline_.alarms().activeAlarms());
        stateFailing_ = false;
    } catch (const Error& error) {
        if (!std::exchange(stateFailing_, true))
            say(tr("Active alarms cannot be kept for the next start: %1").arg(error.message()));
    }
}

void LogService::onTrouble(const QString& message, const QDateTime& when)
{
    say(tr("%1: %2 Trying again until it answers.").arg(timeText(when), message));
    service_.status(message);
}

void LogService::onResumed(const QDateTime& when, const QDateTime& since)
{
    say(tr("%1: readings resumed (missing since %2).").arg(timeText(when), timeText(since)));
    service_.status(readingStatus());
}

QString LogService::readingStatus() const
{
    return tr("Reading %1 every %2 s").arg(port_.portName()).arg(options_.interval().count() / 1000.0);
}

void LogService::onSignal(int number)
{
    if (number == SIGHUP) {
        pipeline_.reopen();
        return;
    }
    // Lines are written whole from the event loop, so stopping here never cuts one.
    stop(Done);
}

void LogService::onCountBoundPassed()
{
    if (stopping_)
        return;
    say(tr("Gave up: the %1 rounds asked for were not done within %2 s.")
            .arg(options_.count())
            .arg(duration_cast<seconds>(countBound_.intervalAsDuration()).count()));
    stop(session_.lastFailure() == ConversationFailure::NoReply ? NoReply : PortFailed);
}

void LogService::stop(int status)
{
    if (stopping_)
        return;
    stopping_ = true;
    status_ = status;
    countBound_.stop();
    session_.stop();
    port_.Close();
    service_.stopping();
    stopGrace_.start(kStopGrace);
    pipeline_.stop();
}

void LogService::finish()
{
    if (std::exchange(finished_, true))
        return;
    stopGrace_.stop();
    // From the event loop: the pipeline may have stopped from within stop().
    QMetaObject::invokeMethod(
        this, [this] { emit finished(status_); }, Qt::QueuedConnection);
}

void LogService::say(const QString& message) const
{
    printError(message);
}

} // namespace calimbra::cli
