// SPDX-License-Identifier: MIT
#include "LogService.h"

#include "BoardConfig.h"
#include "BoardName.h"
#include "BoardProtocol.h"
#include "ComError.h"
#include "FileSink.h"
#include "MetricsServer.h"
#include "MetricsSink.h"
#include "MqttClient.h"
#include "MqttSink.h"
#include "MqttUrl.h"
#include "Outbox.h"
#include "Output.h"
#include "PortLock.h"
#include "PortName.h"
#include "Status.h"
#include "TComPort.h"
#include "Text.h"

#include <QCoreApplication>

#include <csignal>

using namespace std::chrono;

namespace calimbra::cli {
namespace {

QString timeText(const QDateTime& time)
{
    return time.toString(Qt::ISODate);
}

// How long the outputs may take to say goodbye (the broker's "offline") once stopped.
constexpr milliseconds kStopGrace{3000};

} // namespace

LogService::LogService(const Options& options, TComPort& port, BoardConversation& conversation,
                       QObject* parent)
    : QObject(parent), options_(options), port_(port),
      session_(conversation), signals_{SIGINT, SIGTERM, SIGHUP}
{
    session_.setInterval(options_.interval);
    session_.setSensors(options_.sensors);
    session_.setRoundLimit(options_.count);
    connect(&session_, &SamplingSession::readingTaken, this, &LogService::onReading);
    connect(&session_, &SamplingSession::roundFinished, this, &LogService::onRoundFinished);
    connect(&session_, &SamplingSession::troubleStarted, this, &LogService::onTrouble);
    connect(&session_, &SamplingSession::resumed, this, &LogService::onResumed);
    connect(&session_, &SamplingSession::notice, this, [this](const QString& message) { say(message); });
    connect(&session_, &SamplingSession::finished, this, [this] { stop(Done); });
    connect(&signals_, &UnixSignalWatcher::received, this, &LogService::onSignal);
    connect(&alarms_, &AlarmWatch::alarmChanged, this, &LogService::onAlarm);

    countBound_.setSingleShot(true);
    connect(&countBound_, &QTimer::timeout, this, &LogService::onCountBoundPassed);
    stopGrace_.setSingleShot(true);
    connect(&stopGrace_, &QTimer::timeout, this, [this] { emit finished(status_); });
}

// The server reads the metrics sink: it goes first.
LogService::~LogService()
{
    metricsServer_.reset();
}

void LogService::start()
{
    board_ = options_.board.isEmpty() ? boardNameFromPort(options_.port) : options_.board;
    if (!isValidBoardName(board_))
        throw UsageError(tr("The board's name \"%1\" may hold only letters, digits, _ and - (at most 64); "
                            "choose another with --board.")
                             .arg(printable(board_)));
    // Two services on one board: the second is refused, not left to retry behind the first.
    if (const auto owner = liveLockOwner(lockFileNames(systemLocation(options_.port))))
        throw ComError(tr("Serial port %1 is in use by another program (%2, process %3); a second logger on "
                          "one board is refused.")
                           .arg(printable(options_.port), owner->program)
                           .arg(owner->pid));
    const bool networkOutput = !options_.mqtt.isEmpty() || !options_.metrics.isEmpty();
    if (options_.output || !networkOutput) {
        if (!options_.output && standardOutputIsClosed())
            throw Error(tr("Could not write to standard output: it is closed. Name a file with --output."));
        auto file = std::make_unique<FileSink>(options_.output.value_or(QString()), options_.format);
        connect(file.get(), &FileSink::closed, this, [this](const QString&) { stop(OutputFailed); });
        addSink(std::move(file));
    }
    profile_.setSensors(options_.profiles);
    alarms_.setProfiles(options_.profiles);
    stateFolder_ = options_.outbox.isEmpty() ? defaultOutboxFolder(board_) : options_.outbox;
    try {
        alarms_.restore(loadAlarmState(stateFolder_));
    } catch (const Error& error) {
        say(tr("The alarms active when the service last stopped are not known: %1").arg(error.message()));
    }
    if (!options_.onAlarm.isEmpty()) {
        try {
            hook_ = std::make_unique<AlarmHook>(options_.onAlarm, board_);
        } catch (const Error& error) {
            throw UsageError(error.message());
        }
        connect(hook_.get(), &AlarmHook::said, this, [this](const QString& message) { say(message); });
    }
    if (!options_.metrics.isEmpty()) {
        auto metrics = std::make_unique<MetricsSink>(board_, QCoreApplication::applicationVersion());
        metrics_ = metrics.get();
        metricsServer_ = std::make_unique<MetricsServer>(*metrics_);
        metricsServer_->listen(options_.metrics);
        addSink(std::move(metrics));
    }
    if (!options_.mqtt.isEmpty())
        addMqtt();
    if (options_.count > 0) {
        // A run with an end must end, even with the board away: cron must never stack them up.
        const milliseconds bound = options_.interval * options_.count + SamplingSession::kLongestRetry +
                                   options_.timeout * (board::kMaxSensors + 1);
        countBound_.start(bound);
    }
    session_.start();
    service_.ready(tr("Reading %1 every %2 s").arg(port_.portName()).arg(options_.interval.count() / 1000.0));
}

void LogService::addMqtt()
{
    MqttClient::Settings settings;
    QString shown;
    try {
        const MqttUrl url = MqttUrl::parse(options_.mqtt);
        shown = url.display();
        settings = MqttClient::Settings::fromUrl(url);
        if (!options_.mqttPasswordFile.isEmpty())
            settings.password = readPasswordFile(options_.mqttPasswordFile);
    } catch (const Error& error) {
        throw UsageError(error.message());
    }
    settings.caFile = options_.mqttCaFile;
    settings.clientId = QStringLiteral("calimbra-") + board_;
    MqttSink::Options mqtt;
    mqtt.board = board_;
    mqtt.brokerText = shown;
    mqtt.discovery = options_.discovery;
    mqtt.discoveryPrefix = options_.discoveryPrefix;
    mqtt.version = QCoreApplication::applicationVersion();
    // Unavailable in Home Assistant after three rounds missed, and the longest back-off on top.
    mqtt.expireAfter =
        duration_cast<seconds>(options_.interval * 3 + SamplingSession::kLongestRetry) + seconds{1};
    // The broker says "offline" for the service when it dies without a goodbye.
    MqttClient::Will will;
    will.topic = MqttSink::statusTopic(board_);
    will.payload = QByteArrayLiteral("offline");
    settings.will = will;
    std::unique_ptr<Outbox> outbox;
    try {
        outbox = std::make_unique<Outbox>(stateFolder_, options_.outboxLimit);
    } catch (const Error& error) {
        throw Error(
            tr("%1 The outbox keeps the readings bound for the broker; give it a folder of its own that "
               "this user may write with --outbox.")
                .arg(error.message()));
    }
    auto sink = std::make_unique<MqttSink>(mqtt, std::move(outbox), std::make_unique<MqttClient>(settings));
    for (auto profile = options_.profiles.cbegin(); profile != options_.profiles.cend(); ++profile)
        sink->setSensorProfile(profile.key(), *profile);
    if (metrics_) {
        metrics_->setMqttEnabled(true);
        connect(sink.get(), &MqttSink::connectionChanged, metrics_, &MetricsSink::setMqttConnected);
        connect(sink.get(), &MqttSink::outboxChanged, metrics_, [this](qint64 waiting, qint64 dropped) {
            metrics_->setOutboxReadings(waiting);
            if (dropped > 0)
                metrics_->addOutboxDropped(static_cast<quint64>(dropped));
        });
    }
    MqttSink* started = sink.get();
    addSink(std::move(sink));
    started->start();
}

void LogService::addSink(std::unique_ptr<Sink> sink)
{
    Sink* added = sink.get();
    const auto sayNow = [this](const QString& message) {
        say(tr("%1: %2").arg(timeText(QDateTime::currentDateTime()), message));
    };
    connect(added, &Sink::failing, this, sayNow);
    connect(added, &Sink::recovered, this, sayNow);
    connect(added, &Sink::stopped, this, [this] {
        if (stopping_ && --pendingStops_ == 0) {
            stopGrace_.stop();
            emit finished(status_);
        }
    });
    sinks_.push_back(std::move(sink));
}

void LogService::onReading(Reading reading)
{
    profile_.apply(reading);
    alarms_.take(reading);
    for (const auto& sink : sinks_)
        sink->take(reading);
}

void LogService::onAlarm(const AlarmEvent& event)
{
    const QString sensor = event.name.isEmpty()
                               ? QString::number(event.sensor)
                               : QStringLiteral("%1 (%2)").arg(event.sensor).arg(printable(event.name));
    const QString value = event.celsius ? QStringLiteral(", %1 \u00B0C").arg(*event.celsius) : QString();
    say(event.raised ? tr("%1: alarm %2 raised for sensor %3%4.")
                           .arg(timeText(event.time), alarmKindName(event.kind), sensor, value)
                     : tr("%1: alarm %2 cleared for sensor %3%4.")
                           .arg(timeText(event.time), alarmKindName(event.kind), sensor, value));
    if (hook_)
        hook_->run(event);
    for (const auto& sink : sinks_)
        sink->alarmChanged(event);
    try {
        saveAlarmState(stateFolder_, alarms_.activeAlarms());
        stateFailing_ = false;
    } catch (const Error& error) {
        if (!std::exchange(stateFailing_, true))
            say(tr("Active alarms cannot be kept for the next start: %1").arg(error.message()));
    }
}

void LogService::onRoundFinished(const QDateTime& start, int answered)
{
    alarms_.roundFinished(start);
    if (answered > 0) {
        for (const auto& sink : sinks_)
            sink->boardAvailable(true);
    }
}

void LogService::onTrouble(const QString& message, const QDateTime& when)
{
    say(tr("%1: %2 Trying again until it answers.").arg(timeText(when), message));
    service_.status(message);
    for (const auto& sink : sinks_)
        sink->boardAvailable(false);
}

void LogService::onResumed(const QDateTime& when, const QDateTime& since)
{
    // A board back from an outage may have been powered off: its first 85 °C is no reading.
    profile_.forgetPreviousValues();
    say(tr("%1: readings resumed (missing since %2).").arg(timeText(when), timeText(since)));
    service_.status(
        tr("Reading %1 every %2 s").arg(port_.portName()).arg(options_.interval.count() / 1000.0));
}

void LogService::onSignal(int number)
{
    if (number == SIGHUP) {
        for (const auto& sink : sinks_)
            sink->reopen();
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
            .arg(options_.count)
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
    pendingStops_ = static_cast<int>(sinks_.size());
    if (pendingStops_ == 0) {
        QMetaObject::invokeMethod(
            this, [this] { emit finished(status_); }, Qt::QueuedConnection);
        return;
    }
    stopGrace_.start(kStopGrace);
    for (const auto& sink : sinks_)
        sink->stop();
}

void LogService::say(const QString& message) const
{
    printError(message);
}

} // namespace calimbra::cli
