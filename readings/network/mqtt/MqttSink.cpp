// SPDX-License-Identifier: MIT
#include "MqttSink.h"

#include "Error.h"
#include "MqttLink.h"
#include "Outbox.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace calimbra {
namespace {

// Readings handed to the client and not yet acknowledged: enough to keep a broker on the far side
// of a slow link busy, few enough that a lost connection resends little.
constexpr qsizetype kInFlight = 256;

QString isoTime(const QDateTime& time)
{
    return time.toString(Qt::ISODateWithMs);
}

} // namespace

MqttSink::MqttSink(Options options, std::unique_ptr<Outbox> outbox, std::unique_ptr<MqttLink> client,
                   QObject* parent)
    : Sink(parent), options_(std::move(options)), outbox_(std::move(outbox)), client_(std::move(client))
{
    removeTimer_.setSingleShot(true);
    connect(&removeTimer_, &QTimer::timeout, this, &MqttSink::removeAcknowledged);
    connect(client_.get(), &MqttLink::connected, this, &MqttSink::onConnected);
    connect(client_.get(), &MqttLink::disconnected, this, &MqttSink::onDisconnected);
    connect(client_.get(), &MqttLink::published, this, &MqttSink::onPublished);
    connect(client_.get(), &MqttLink::messageReceived, this,
            [this](const QString& topic, const QByteArray& message, bool) { onMessage(topic, message); });
    if (options_.discovery)
        client_->subscribe(options_.discoveryPrefix + QStringLiteral("/status"), 1);
}

MqttSink::~MqttSink() = default;

void MqttSink::start()
{
    client_->start();
    noteOutbox();
}

QString MqttSink::description() const
{
    return tr("the MQTT broker %1").arg(options_.brokerText);
}

bool MqttSink::isConnected() const
{
    return client_->isConnected();
}

qint64 MqttSink::waiting() const
{
    return outbox_->size();
}

QString MqttSink::statusTopic(const QString& board)
{
    return QStringLiteral("calimbra/%1/status").arg(board);
}

QString MqttSink::sensorTopic(int sensor) const
{
    return QStringLiteral("calimbra/%1/sensor/%2").arg(options_.board).arg(sensor);
}

QString MqttSink::alarmTopic(int sensor, AlarmKind kind) const
{
    return sensorTopic(sensor) + QStringLiteral("/alarm/") + alarmKindName(kind);
}

QByteArray MqttSink::payload(const Reading& reading)
{
    QJsonObject json{{QStringLiteral("time"), isoTime(reading.time)}};
    if (reading.celsius)
        json.insert(QStringLiteral("celsius"), *reading.celsius);
    json.insert(QStringLiteral("reply"), reading.text);
    if (reading.error)
        json.insert(QStringLiteral("error"), readErrorName(*reading.error));
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

void MqttSink::setSensorProfile(int sensor, const QString& name, bool highLimit, bool lowLimit)
{
    SensorInfo& info = sensors_[sensor];
    info.name = name;
    info.high = highLimit;
    info.low = lowLimit;
}

void MqttSink::take(const Reading& reading)
{
    if (stopping_)
        return;
    const bool known = sensors_.count(reading.sensor) > 0;
    SensorInfo& info = sensors_[reading.sensor];
    if (!known || info.name != reading.name) {
        info.name = reading.name;
        announced_.remove(reading.sensor);
    }
    // With nothing older waiting to go, the reading is sent while its commit is being made durable:
    // the broker's acknowledgement is handled from the event loop, after the commit, so nothing is
    // removed before it was stored, and a power cut loses no more than with the commit first.
    const bool nothingOlderUnsent = outbox_->size() == inFlight_.size() + acknowledged_.size();
    const qint64 sentBefore = sentUpTo_;
    std::optional<int> sentEarly;
    try {
        outbox_->add(reading, [&](qint64 id) {
            if (!nothingOlderUnsent || !client_->isConnected() || inFlight_.size() >= kInFlight)
                return;
            sentEarly = client_->publish(sensorTopic(reading.sensor), payload(reading), 1, true);
            if (sentEarly) {
                inFlight_.insert(*sentEarly, id);
                sentUpTo_ = id;
            }
        });
        // Said apart from the broker's state: the broker may be away while the disk has room again.
        outboxWorks();
    } catch (const Error& error) {
        // Not kept: sent, if it can be, without the promise of the outbox.
        if (sentEarly) {
            inFlight_.remove(*sentEarly);
            sentUpTo_ = sentBefore;
        }
        outboxFailed(error);
        if (!sentEarly)
            publishDirect(sensorTopic(reading.sensor), payload(reading), true);
    }
    noteOutbox();
    if (!client_->isConnected())
        return;
    if (options_.discovery && !announced_.contains(reading.sensor))
        announce(reading.sensor);
    publishWaiting();
}

void MqttSink::outboxFailed(const Error& error)
{
    if (!std::exchange(outboxFailing_, true))
        emit failing(
            tr("The outbox of %1 cannot keep readings: %2 Readings are sent only while the broker is "
               "connected, and lost while it is not.")
                .arg(description(), error.message()));
}

void MqttSink::outboxWorks()
{
    if (std::exchange(outboxFailing_, false))
        emit recovered(tr("The outbox of %1 keeps readings again.").arg(description()));
}

bool MqttSink::sayOutboxNotices()
{
    // A damaged outbox moved aside and started afresh: said once, as it happened.
    const QStringList notices = outbox_->takeNotices();
    for (const QString& notice : notices)
        emit failing(tr("%1: %2").arg(description(), notice));
    return !notices.isEmpty();
}

void MqttSink::noteOutbox()
{
    sayOutboxNotices();
    const qint64 dropped = outbox_->droppedTotal() - droppedSaid_;
    if (dropped > 0 && droppedSaid_ == 0)
        emit failing(tr("The outbox of %1 is full (%2 readings): the oldest are dropped to keep the newest.")
                         .arg(description())
                         .arg(outbox_->limit()));
    droppedSaid_ += dropped;
    emit outboxChanged(outbox_->size(), dropped);
}

void MqttSink::onConnected()
{
    sentUpTo_ = 0;
    inFlight_.clear();
    publishDirect(statusTopic(), QByteArrayLiteral("online"), true);
    if (options_.discovery)
        announceAll();
    for (const auto& [key, raised] : alarms_)
        publishDirect(alarmTopic(key.first, key.second), raised ? "ON" : "OFF", true);
    publishWaiting();
    reportWorking();
    emit connectionChanged(true);
}

void MqttSink::onDisconnected(const QString& reason)
{
    // What was acknowledged is removed; the rest goes again, oldest first, on the next connection.
    removeAcknowledged();
    inFlight_.clear();
    sentUpTo_ = 0;
    emit connectionChanged(false);
    reportFailure(tr("%1 Readings wait in the outbox until the broker is back.").arg(reason));
}

void MqttSink::publishWaiting()
{
    // From slots and timers: nothing the outbox throws may leave here for the event loop.
    try {
        bool refused = false;
        while (!refused && client_->isConnected() && inFlight_.size() < kInFlight) {
            const QList<Outbox::Entry> entries = outbox_->after(sentUpTo_, kInFlight - inFlight_.size());
            if (entries.isEmpty())
                break;
            for (const Outbox::Entry& entry : entries) {
                const auto messageId =
                    client_->publish(sensorTopic(entry.reading.sensor), payload(entry.reading), 1, true);
                refused = !messageId;
                if (refused)
                    break;
                inFlight_.insert(*messageId, entry.id);
                sentUpTo_ = entry.id;
            }
        }
    } catch (const Error& error) {
        // What waits goes with the next reading or acknowledgement, when the outbox reads again.
        outboxFailed(error);
    }
    if (sayOutboxNotices())
        noteOutbox();
}

void MqttSink::onPublished(int messageId)
{
    const auto found = inFlight_.constFind(messageId);
    if (found == inFlight_.constEnd())
        return;
    acknowledged_ << *found;
    inFlight_.erase(found);
    // Acknowledgements come in bursts: one transaction removes a burst.
    if (!removeTimer_.isActive())
        removeTimer_.start(0);
}

void MqttSink::removeAcknowledged()
{
    if (acknowledged_.isEmpty())
        return;
    try {
        outbox_->remove(std::exchange(acknowledged_, {}));
    } catch (const Error& error) {
        // Sent again later: a reading twice is better than none.
        outboxFailed(error);
    }
    noteOutbox();
    publishWaiting();
}

void MqttSink::onMessage(const QString& topic, const QByteArray& message)
{
    // Home Assistant restarted: it forgets what was announced unless it is announced again.
    if (options_.discovery && topic == options_.discoveryPrefix + QStringLiteral("/status") &&
        message.trimmed() == "online")
        announceAll();
}

void MqttSink::announceAll()
{
    announced_.clear();
    for (const auto& entry : sensors_)
        announce(entry.first);
}

void MqttSink::announce(int sensor)
{
    const SensorInfo& info = sensors_[sensor];
    const QString id = QStringLiteral("calimbra_%1_s%2").arg(options_.board).arg(sensor);
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("calimbra_%1").arg(options_.board)}},
        {QStringLiteral("name"), QStringLiteral("Calimbra %1").arg(options_.board)},
        {QStringLiteral("manufacturer"), QStringLiteral("Calimbra")},
        {QStringLiteral("model"), QStringLiteral("1-Wire temperature board")},
        {QStringLiteral("sw_version"), options_.version}};
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("calimbra-cli")},
                             {QStringLiteral("sw_version"), options_.version}};
    const QString name = info.name.isEmpty() ? QStringLiteral("Sensor %1").arg(sensor) : info.name;
    QJsonObject config{
        {QStringLiteral("name"), name},
        {QStringLiteral("unique_id"), id},
        {QStringLiteral("object_id"), id},
        {QStringLiteral("device_class"), QStringLiteral("temperature")},
        {QStringLiteral("state_class"), QStringLiteral("measurement")},
        {QStringLiteral("unit_of_measurement"), QStringLiteral("\u00B0C")},
        {QStringLiteral("state_topic"), sensorTopic(sensor)},
        // A reading without a value leaves the sensor's state unknown.
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.celsius | default(None) }}")},
        {QStringLiteral("json_attributes_topic"), sensorTopic(sensor)},
        {QStringLiteral("availability_topic"), statusTopic()},
        {QStringLiteral("payload_available"), QStringLiteral("online")},
        {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
        {QStringLiteral("expire_after"), static_cast<qint64>(options_.expireAfter.count())},
        {QStringLiteral("device"), device},
        {QStringLiteral("origin"), origin}};
    const QString prefix = options_.discoveryPrefix;
    publishDirect(QStringLiteral("%1/sensor/%2/config").arg(prefix, id),
                  QJsonDocument(config).toJson(QJsonDocument::Compact), true);

    const struct
    {
        AlarmKind kind;
        bool configured;
        const char* deviceClass;
        const char* label;
    } alarms[] = {{AlarmKind::High, info.high, "heat", "too hot"},
                  {AlarmKind::Low, info.low, "cold", "too cold"},
                  {AlarmKind::Lost, true, "problem", "not answering"}};
    for (const auto& alarm : alarms) {
        const QString alarmId = id + u'_' + alarmKindName(alarm.kind);
        const QString topic = QStringLiteral("%1/binary_sensor/%2/config").arg(prefix, alarmId);
        if (!alarm.configured) {
            // A limit taken out of the profile: its entity goes too.
            publishDirect(topic, QByteArray(), true);
            continue;
        }
        const QJsonObject alarmConfig{
            {QStringLiteral("name"), QStringLiteral("%1 %2").arg(name, QString::fromLatin1(alarm.label))},
            {QStringLiteral("unique_id"), alarmId},
            {QStringLiteral("object_id"), alarmId},
            {QStringLiteral("device_class"), QString::fromLatin1(alarm.deviceClass)},
            {QStringLiteral("state_topic"), alarmTopic(sensor, alarm.kind)},
            {QStringLiteral("payload_on"), QStringLiteral("ON")},
            {QStringLiteral("payload_off"), QStringLiteral("OFF")},
            {QStringLiteral("availability_topic"), statusTopic()},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("device"), device},
            {QStringLiteral("origin"), origin}};
        publishDirect(topic, QJsonDocument(alarmConfig).toJson(QJsonDocument::Compact), true);
    }
    announced_.insert(sensor);
}

void MqttSink::alarmChanged(const AlarmEvent& event)
{
    alarms_[{event.sensor, event.kind}] = event.raised;
    publishDirect(alarmTopic(event.sensor, event.kind), event.raised ? "ON" : "OFF", true);
}

void MqttSink::publishDirect(const QString& topic, const QByteArray& message, bool retain)
{
    // Announcements and states are sent again at every connection: nothing to keep track of.
    if (client_->isConnected())
        static_cast<void>(client_->publish(topic, message, 1, retain));
}

void MqttSink::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    removeAcknowledged();
    if (!client_->isConnected()) {
        client_->stop();
        QMetaObject::invokeMethod(
            this, [this] { emit stopped(); }, Qt::QueuedConnection);
        return;
    }
    publishDirect(statusTopic(), QByteArrayLiteral("offline"), true);
    client_->stop();
    // From the event loop, so that the goodbye leaves before the program does.
    QMetaObject::invokeMethod(
        this, [this] { emit stopped(); }, Qt::QueuedConnection);
}

} // namespace calimbra
