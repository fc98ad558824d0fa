// SPDX-License-Identifier: MIT
#include "BrokerSource.h"

#include "BoardName.h"
#include "Error.h"
#include "MqttClient.h"
#include "Profile.h"
#include "Text.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace calimbra {
namespace {

constexpr int kQos = 1;
constexpr qsizetype kLongestMonitorId = 32;
// Notices kept apart by what they are about; beyond this many, the rest are left out unsaid, so
// that a flood of strange topics neither floods the window nor grows the list.
constexpr qsizetype kMostNotices = 64;
constexpr qsizetype kShownText = 80;

// A topic or a name from the broker, fit for a message: printable, and not too long.
QString shown(const QString& text)
{
    return text.size() > kShownText ? printable(text.left(kShownText)) + QStringLiteral("…")
                                    : printable(text);
}

qsizetype characters(const QString& text)
{
    return static_cast<qsizetype>(
        std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isLowSurrogate(); }));
}

bool isIdCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'-';
}

} // namespace

BrokerSource::BrokerSource(QObject* parent) : QObject(parent), parser_([](const LogRecord&) {}) {}

BrokerSource::~BrokerSource()
{
    // Not from one of the client's signals: it goes at once, not with an event loop that may be over.
    if (client_)
        client_->stop();
}

void BrokerSource::setDiscoveryPrefix(const QString& prefix)
{
    if (prefix == topics_.discoveryPrefix())
        return;
    topics_ = Topics(prefix);
    restart();
}

void BrokerSource::setMonitorId(const QString& monitorId)
{
    if (monitorId == monitorId_)
        return;
    if (monitorId.size() > kLongestMonitorId ||
        !std::all_of(monitorId.begin(), monitorId.end(), isIdCharacter))
        throw Error(
            tr("The monitor's id \"%1\" cannot name an MQTT session: it may hold only letters, digits, _ "
               "and - (at most %2).")
                .arg(shown(monitorId))
                .arg(kLongestMonitorId));
    monitorId_ = monitorId;
    restart();
}

QString BrokerSource::clientId(const QString& monitorId, const QString& board)
{
    return QStringLiteral("calimbra-monitor-%1-%2").arg(monitorId, board);
}

void BrokerSource::start(const MqttUrl& url)
{
    stop();
    url_ = url;
    forgetBoard();
    connectClient();
}

void BrokerSource::restart()
{
    if (client_) {
        stop();
        connectClient();
    }
}

void BrokerSource::connectClient()
{
    auto settings = MqttClient::Settings::fromUrl(url_);
    // A session of its own for each board: its subscriptions are that board's.
    if (!monitorId_.isEmpty() && !board_.isEmpty()) {
        settings.clientId = clientId(monitorId_, board_);
        settings.cleanSession = false;
    }
    auto client = std::make_unique<MqttClient>(settings);
    client->subscribe(Topics::statusFilter(), kQos);
    client->subscribe(topics_.sensorConfigFilter(), kQos);
    if (!board_.isEmpty()) {
        client->subscribe(Topics::readingsFilter(board_), kQos);
        client->subscribe(Topics::alarmsFilter(board_), kQos);
        client->subscribe(Topics::limitsFilter(board_), kQos);
    }
    connect(client.get(), &MqttClient::connected, this, &BrokerSource::connected);
    connect(client.get(), &MqttClient::disconnected, this, &BrokerSource::disconnected);
    connect(client.get(), &MqttClient::retrying, this, &BrokerSource::retrying);
    connect(client.get(), &MqttClient::messageReceived, this, &BrokerSource::onMessage);
    client_ = std::move(client);
    client_->start();
}

void BrokerSource::stop()
{
    if (!client_)
        return;
    client_->stop();
    // Possibly called from one of its own signals, through a receiver of ours.
    client_->disconnect(this);
    client_.release()->deleteLater();
}

bool BrokerSource::isConnected() const
{
    return client_ && client_->isConnected();
}

void BrokerSource::follow(const QString& board)
{
    if (board == board_)
        return;
    if (!board.isEmpty() && !isValidBoardName(board)) {
        emit notice(tr("The board \"%1\" cannot be followed: a board's name holds only letters, digits, _ "
                       "and - (at most 64).")
                        .arg(shown(board)));
        if (board_.isEmpty())
            return;
        board_.clear();
    } else {
        board_ = board;
    }
    forgetBoard();
    restart();
}

void BrokerSource::forgetBoard()
{
    for (std::vector<qint64>& times : seen_)
        times.clear();
    lastCelsius_.fill(std::nullopt);
    alarms_.fill({});
}

QList<BrokerSource::Board> BrokerSource::boards() const
{
    QList<Board> boards;
    for (auto board = boards_.cbegin(); board != boards_.cend(); ++board)
        boards << Board{board.key(), board.value()};
    std::sort(boards.begin(), boards.end(), [](const Board& a, const Board& b) { return a.name < b.name; });
    return boards;
}

std::optional<bool> BrokerSource::online() const
{
    const auto found = boards_.constFind(board_);
    return found != boards_.cend() ? std::optional<bool>(*found) : std::nullopt;
}

QString BrokerSource::nameOf(const QString& board, int sensor) const
{
    return names_.value(board).value(sensor);
}

void BrokerSource::noteOnce(const QString& key, const QString& message)
{
    if (noted_.contains(key) || noted_.size() > kMostNotices)
        return;
    noted_.insert(key);
    if (noted_.size() > kMostNotices) {
        emit notice(tr("More messages on the broker %1 are not what a Calimbra service publishes; they are "
                       "left out without a word.")
                        .arg(brokerText()));
        return;
    }
    emit notice(message);
}

void BrokerSource::onMessage(const QString& topic, const QByteArray& payload, bool retained)
{
    Q_UNUSED(retained); // a reading handed over again is known by its time, kept or not
    if (topic.size() > BrokerSource::kLongestTopic) {
        noteOnce(
            QStringLiteral("long topic"),
            tr("The broker has a message on a topic of %1 characters (%2), longer than any of a Calimbra "
               "service (at most %3); such messages are left out.")
                .arg(topic.size())
                .arg(shown(topic))
                .arg(kLongestTopic));
        return;
    }
    if (payload.size() > kLargestMessage) {
        noteOnce(QStringLiteral("large message"),
                 tr("The broker has a message of %1 bytes on %2, larger than any of a Calimbra service (at "
                    "most %3); such messages are left out.")
                     .arg(payload.size())
                     .arg(shown(topic))
                     .arg(kLargestMessage));
        return;
    }
    const Topics::Parsed parsed = topics_.parse(topic);
    switch (parsed.kind) {
    case Topics::Kind::Status:
    case Topics::Kind::SensorConfig:
        if (!isValidBoardName(parsed.board)) {
            noteOnce(QStringLiteral("board name"),
                     tr("The broker has a message on %1, whose board's name is not one a Calimbra service "
                        "gives (letters, digits, _ and -, at most 64); such boards are left out.")
                         .arg(shown(topic)));
            return;
        }
        if (parsed.kind == Topics::Kind::Status)
            onStatus(parsed.board, payload);
        else
            onDiscovery(parsed.board, parsed.sensor, topic, payload);
        return;
    case Topics::Kind::Reading:
        if (parsed.board == board_)
            onReading(parsed.sensor, topic, payload);
        return;
    case Topics::Kind::Alarm:
        if (parsed.board == board_)
            onAlarm(parsed.sensor, parsed.alarm, topic, payload);
        return;
    case Topics::Kind::Limits:
        if (parsed.board == board_)
            onLimits(parsed.sensor, topic, payload);
        return;
    case Topics::Kind::Malformed:
        if (parsed.board == board_)
            noteOnce(topic,
                     tr("The broker has a message on %1, which names no sensor from 1 to 9 or no alarm "
                        "of a Calimbra service; it is left out.")
                         .arg(shown(topic)));
        return;
    case Topics::Kind::AlarmConfig:
    case Topics::Kind::HomeAssistantStatus:
    case Topics::Kind::Other:
        return;
    }
}

void BrokerSource::onStatus(const QString& board, const QByteArray& payload)
{
    const QByteArray state = payload.trimmed();
    const auto known = boards_.constFind(board);
    const std::optional<bool> before = known != boards_.cend() ? std::optional<bool>(*known) : std::nullopt;
    std::optional<bool> now;
    if (state == "online")
        now = true;
    else if (state == "offline")
        now = false;
    else if (!state.isEmpty())
        return; // not the service's word: the board stays as it was
    // An empty retained status takes the board off the broker.
    if (now == before)
        return;
    if (!before && boards_.size() >= kMostBoards) {
        noteOnce(QStringLiteral("boards"),
                 tr("The broker %1 has more than %2 boards; the others are left out.")
                     .arg(brokerText())
                     .arg(kMostBoards));
        return;
    }
    if (now.has_value())
        boards_.insert(board, *now);
    else
        boards_.remove(board);
    emit boardsChanged();
    if (board == board_ && now.has_value())
        emit availabilityChanged(*now, QDateTime::currentDateTime());
}

void BrokerSource::onDiscovery(const QString& board, int sensor, const QString& topic,
                               const QByteArray& payload)
{
    QString name;
    if (!payload.isEmpty()) {
        const QJsonObject config = QJsonDocument::fromJson(payload).object();
        // Only the sensors of a Calimbra service, whose state is its readings' topic.
        if (config.value(QLatin1String("state_topic")).toString() != Topics::reading(board, sensor))
            return;
        name = config.value(QLatin1String("name")).toString();
        if (characters(name) > SensorProfile::kLongestName) {
            noteOnce(topic,
                     tr("The sensor's name on %1 is %2 characters long, longer than a sensor's profile "
                        "takes (%3); it is left out.")
                         .arg(shown(topic))
                         .arg(characters(name))
                         .arg(SensorProfile::kLongestName));
            return;
        }
        // The service calls a sensor without a name "Sensor N" for Home Assistant; the monitor
        // shows its number alone.
        if (name == QStringLiteral("Sensor %1").arg(sensor))
            name.clear();
    }
    if (nameOf(board, sensor) == name)
        return;
    if (!names_.contains(board) && names_.size() >= kMostBoards) {
        noteOnce(QStringLiteral("boards"),
                 tr("The broker %1 has more than %2 boards; the others are left out.")
                     .arg(brokerText())
                     .arg(kMostBoards));
        return;
    }
    names_[board].insert(sensor, name);
    if (board == board_)
        emit sensorNamed(sensor, name);
}

void BrokerSource::onLimits(int sensor, const QString& topic, const QByteArray& payload)
{
    SensorProfile limits;
    if (payload.isEmpty())
        return; // taken off the broker: what was known stays
    if (!readLimitsJson(payload, limits)) {
        noteOnce(topic, tr("A message on %1 is not a sensor's limits; it is left out.").arg(shown(topic)));
        return;
    }
    emit limitsReceived(sensor, limits);
}

bool BrokerSource::isNew(int sensor, qint64 ms)
{
    std::vector<qint64>& times = seen_.at(static_cast<std::size_t>(sensor - 1));
    // Mostly newer than any before: taken at the end.
    const auto at = std::lower_bound(times.begin(), times.end(), ms);
    if (at != times.end() && *at == ms)
        return false;
    times.insert(at, ms);
    if (static_cast<qsizetype>(times.size()) > kRememberedTimes)
        times.erase(times.begin());
    return true;
}

void BrokerSource::onReading(int sensor, const QString& topic, const QByteArray& payload)
{
    if (payload.isEmpty())
        return; // a retained reading taken off the broker
    std::optional<Reading> reading = parser_.readingFromJson(payload, sensor);
    if (!reading || reading->sensor != sensor) {
        noteOnce(topic,
                 tr("A message on %1 is not a reading as a Calimbra service writes it ({\"time\": ..., "
                    "\"sensor\": %2, \"celsius\": ..., \"reply\": ...}); it is left out.")
                     .arg(shown(topic))
                     .arg(sensor));
        return;
    }
    if (reading->celsius && (*reading->celsius < kLowestCelsius || *reading->celsius > kHighestCelsius)) {
        noteOnce(topic + QStringLiteral(" range"),
                 tr("A reading on %1 of %2 °C is outside what a sensor measures (%3 to %4 °C); such readings "
                    "are left out.")
                     .arg(shown(topic))
                     .arg(*reading->celsius)
                     .arg(kLowestCelsius)
                     .arg(kHighestCelsius));
        return;
    }
    if (characters(reading->name) > SensorProfile::kLongestName) {
        noteOnce(topic + QStringLiteral(" name"),
                 tr("A reading on %1 names its sensor with %2 characters, more than a sensor's profile takes "
                    "(%3); the name is left out.")
                     .arg(shown(topic))
                     .arg(characters(reading->name))
                     .arg(SensorProfile::kLongestName));
        reading->name.clear();
    }
    const qint64 ms = reading->time.toMSecsSinceEpoch();
    // After a lost connection the broker hands over again the last reading it kept, and a service
    // sends again what it was not sure the broker had: both already taken.
    if (!isNew(sensor, ms))
        return;
    reading->monotonicMs = ms;
    if (reading->celsius)
        lastCelsius_.at(static_cast<std::size_t>(sensor - 1)) = reading->celsius;
    if (reading->name.isEmpty())
        reading->name = nameOf(board_, sensor);
    emit readingReceived(*reading);
}

void BrokerSource::onAlarm(int sensor, AlarmKind kind, const QString& topic, const QByteArray& payload)
{
    const QByteArray state = payload.trimmed();
    if (state != "ON" && state != "OFF" && !state.isEmpty()) {
        noteOnce(topic, tr("A message on %1 is not an alarm's ON or OFF; it is left out.").arg(shown(topic)));
        return;
    }
    const bool raised = state == "ON";
    auto& active = alarms_.at(static_cast<std::size_t>(sensor - 1));
    if (active.test(static_cast<std::size_t>(kind)) == raised)
        return;
    active.set(static_cast<std::size_t>(kind), raised);
    AlarmEvent event;
    event.time = QDateTime::currentDateTime();
    event.sensor = sensor;
    event.name = nameOf(board_, sensor);
    event.kind = kind;
    event.raised = raised;
    if (kind != AlarmKind::Lost)
        event.celsius = lastCelsius_.at(static_cast<std::size_t>(sensor - 1));
    emit alarmChanged(event);
}

} // namespace calimbra
