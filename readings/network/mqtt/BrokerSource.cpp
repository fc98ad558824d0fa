// SPDX-License-Identifier: MIT
#include "BrokerSource.h"

#include "MqttClient.h"
#include "Text.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace calimbra {
namespace {

constexpr int kQos = 1;
const QLatin1String kPrefix("calimbra/");
const QLatin1String kDiscoveryFilter("homeassistant/sensor/+/config");

std::optional<int> sensorNumber(const QString& text)
{
    bool ok = false;
    const int sensor = text.toInt(&ok);
    return ok && sensor >= 1 && sensor <= board::kMaxSensors ? std::optional<int>(sensor) : std::nullopt;
}

} // namespace

std::optional<Reading> readingFromJson(int sensor, const QByteArray& payload, QString* why)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (!document.isObject()) {
        *why = document.isNull() ? tr("not JSON: %1").arg(error.errorString()) : tr("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject json = document.object();
    Reading reading;
    reading.sensor = sensor;
    reading.time = QDateTime::fromString(json.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    if (!reading.time.isValid()) {
        *why = tr("no \"time\" of the form 2024-05-06T10:00:00.000+02:00");
        return std::nullopt;
    }
    reading.monotonicMs = reading.time.toMSecsSinceEpoch();
    if (const QJsonValue celsius = json.value(QLatin1String("celsius")); !celsius.isUndefined()) {
        if (!celsius.isDouble()) {
            *why = tr("\"celsius\" is not a number");
            return std::nullopt;
        }
        reading.celsius = celsius.toDouble();
    }
    reading.text = json.value(QLatin1String("reply")).toString();
    if (const QJsonValue name = json.value(QLatin1String("error")); !name.isUndefined() && !reading.celsius)
        reading.error = readErrorFromName(name.toString().toUtf8());
    return reading;
}

BrokerSource::BrokerSource(QObject* parent) : QObject(parent) {}

BrokerSource::~BrokerSource()
{
    // Not from one of the client's signals: it goes at once, not with an event loop that may be over.
    if (client_)
        client_->stop();
}

void BrokerSource::start(const MqttUrl& url)
{
    stop();
    url_ = url;
    connectClient();
}

void BrokerSource::connectClient()
{
    auto settings = MqttClient::Settings::fromUrl(url_);
    auto client = std::make_unique<MqttClient>(settings);
    client->subscribe(kPrefix + QStringLiteral("+/status"), kQos);
    client->subscribe(kDiscoveryFilter, kQos);
    if (!board_.isEmpty()) {
        client->subscribe(kPrefix + board_ + QStringLiteral("/sensor/+"), kQos);
        client->subscribe(kPrefix + board_ + QStringLiteral("/sensor/+/alarm/+"), kQos);
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
    board_ = board;
    lastArrivedMs_.fill(std::nullopt);
    lastCelsius_.fill(std::nullopt);
    alarms_.fill({});
    if (client_) {
        stop();
        connectClient();
    }
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

void BrokerSource::noteOnce(const QString& topic, const QString& message)
{
    if (noted_.contains(topic))
        return;
    noted_.insert(topic, true);
    emit notice(message);
}

void BrokerSource::onMessage(const QString& topic, const QByteArray& payload, bool retained)
{
    if (topic.startsWith(QLatin1String("homeassistant/"))) {
        onDiscovery(topic, payload);
        return;
    }
    const QStringList levels = topic.split(u'/');
    if (levels.size() == 3 && levels.at(2) == QLatin1String("status")) {
        onStatus(levels.at(1), payload);
        return;
    }
    if (levels.size() < 4 || levels.at(1) != board_ || levels.at(2) != QLatin1String("sensor"))
        return;
    const std::optional<int> sensor = sensorNumber(levels.at(3));
    if (!sensor) {
        noteOnce(topic, tr("The broker has readings on %1, which names no sensor from 1 to 9; they are left "
                           "out.")
                            .arg(topic));
        return;
    }
    if (levels.size() == 4)
        onReading(*sensor, topic, payload, retained);
    else if (levels.size() == 6 && levels.at(4) == QLatin1String("alarm"))
        onAlarm(*sensor, levels.at(5), topic, payload);
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
    if (now.has_value())
        boards_.insert(board, *now);
    else
        boards_.remove(board);
    emit boardsChanged();
    if (board == board_ && now.has_value())
        emit availabilityChanged(*now, QDateTime::currentDateTime());
}

void BrokerSource::onDiscovery(const QString& topic, const QByteArray& payload)
{
    std::pair<QString, int> sensor = discoveries_.value(topic);
    QString name;
    if (!payload.isEmpty()) {
        const QJsonObject config = QJsonDocument::fromJson(payload).object();
        const QStringList state = config.value(QLatin1String("state_topic")).toString().split(u'/');
        // Only the sensors of a Calimbra service, whose state is its readings' topic.
        if (state.size() != 4 || state.at(0) != QLatin1String("calimbra") ||
            state.at(2) != QLatin1String("sensor") || !sensorNumber(state.at(3)))
            return;
        sensor = {state.at(1), *sensorNumber(state.at(3))};
        discoveries_.insert(topic, sensor);
        name = config.value(QLatin1String("name")).toString();
        // The service calls a sensor without a name "Sensor N" for Home Assistant; the monitor
        // shows its number alone.
        if (name == QStringLiteral("Sensor %1").arg(sensor.second))
            name.clear();
    }
    if (sensor.first.isEmpty() || nameOf(sensor.first, sensor.second) == name)
        return;
    names_[sensor.first].insert(sensor.second, name);
    if (sensor.first == board_)
        emit sensorNamed(sensor.second, name);
}

void BrokerSource::onReading(int sensor, const QString& topic, const QByteArray& payload, bool retained)
{
    if (payload.isEmpty())
        return; // a retained reading taken off the broker
    QString why;
    std::optional<Reading> reading = readingFromJson(sensor, payload, &why);
    if (!reading) {
        noteOnce(topic, tr("A message on %1 is not a reading (%2); it is left out.").arg(topic, why));
        return;
    }
    const auto slot = static_cast<std::size_t>(sensor - 1);
    const qint64 ms = reading->time.toMSecsSinceEpoch();
    // After a lost connection the broker hands over again the last reading it kept, already shown.
    if (retained && lastArrivedMs_.at(slot) == ms)
        return;
    lastArrivedMs_.at(slot) = ms;
    if (reading->celsius)
        lastCelsius_.at(slot) = reading->celsius;
    reading->name = nameOf(board_, sensor);
    emit readingReceived(*reading);
}

void BrokerSource::onAlarm(int sensor, const QString& kindName, const QString& topic,
                           const QByteArray& payload)
{
    const std::optional<AlarmKind> kind = alarmKindFromName(kindName);
    const QByteArray state = payload.trimmed();
    if (!kind || (state != "ON" && state != "OFF" && !state.isEmpty())) {
        noteOnce(topic, tr("A message on %1 is not an alarm's ON or OFF; it is left out.").arg(topic));
        return;
    }
    const bool raised = state == "ON";
    auto& active = alarms_.at(static_cast<std::size_t>(sensor - 1));
    if (active.test(static_cast<std::size_t>(*kind)) == raised)
        return;
    active.set(static_cast<std::size_t>(*kind), raised);
    AlarmEvent event;
    event.time = QDateTime::currentDateTime();
    event.sensor = sensor;
    event.name = nameOf(board_, sensor);
    event.kind = *kind;
    event.raised = raised;
    if (*kind != AlarmKind::Lost)
        event.celsius = lastCelsius_.at(static_cast<std::size_t>(sensor - 1));
    emit alarmChanged(event);
}

} // namespace calimbra
