// SPDX-License-Identifier: MIT
#include "MqttSink.h"

#include "Celsius.h"

#include "BoardName.h"
#include "Error.h"
#include "MqttLink.h"
#include "Outbox.h"
#include "ReadingLog.h"
#include "Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace calimbra {
namespace {

// Readings handed to the client and not yet acknowledged: enough to keep a broker on the far side
// of a slow link busy, few enough that a lost connection resends little.
constexpr qsizetype kInFlight = 256;

constexpr FigureFamily kConnectedFamily{"calimbra_mqtt_connected", "gauge",
                                        "1 while connected to the MQTT broker."};
constexpr FigureFamily kOutboxFamily{"calimbra_outbox_readings", "gauge",
                                     "Readings kept in the outbox until the MQTT broker takes them."};
constexpr FigureFamily kDroppedFamily{"calimbra_outbox_dropped_total", "counter",
                                      "Readings dropped from a full outbox, the oldest first."};

QString number(double value)
{
    return celsiusString(value);
}

// The temperature entity's attributes: the reading's reply, time and error, as they come, and the
// sensor's alarm limits, which no reading carries, written into the template as they are now.
QString attributesTemplate(const SensorProfile& profile)
{
    QStringList entries{QStringLiteral("\"reply\": value_json.reply"),
                        QStringLiteral("\"time\": value_json.time"),
                        QStringLiteral("\"error\": value_json.error | default(None)")};
    if (profile.low)
        entries << QStringLiteral("\"low_limit\": %1").arg(number(*profile.low));
    if (profile.high)
        entries << QStringLiteral("\"high_limit\": %1").arg(number(*profile.high));
    if (profile.low || profile.high) {
        entries << QStringLiteral("\"hysteresis\": %1").arg(number(profile.hysteresis));
        entries
            << QStringLiteral("\"delay\": %1").arg(number(static_cast<double>(profile.delay.count()) / 1000));
    }
    return QStringLiteral("{{ {%1} | tojson }}").arg(entries.join(QStringLiteral(", ")));
}

} // namespace

MqttSink::MqttSink(Options options, std::unique_ptr<Outbox> outbox, std::unique_ptr<MqttLink> client,
                   QObject* parent)
    : Sink(parent), options_(std::move(options)), topics_(options_.discoveryPrefix),
      outbox_(std::move(outbox)), client_(std::move(client))
{
    if (!isValidBoardName(options_.board))
        throw Error(tr("The board's name \"%1\" cannot be part of an MQTT topic: it may hold only letters, "
                       "digits, _ and - (at most 64).")
                        .arg(printable(options_.board)));
    drainTimer_.setSingleShot(true);
    connect(&drainTimer_, &QTimer::timeout, this, &MqttSink::finishStop);
    removeTimer_.setSingleShot(true);
    connect(&removeTimer_, &QTimer::timeout, this, &MqttSink::removeAcknowledged);
    connect(client_.get(), &MqttLink::connected, this, &MqttSink::onConnected);
    connect(client_.get(), &MqttLink::disconnected, this, &MqttSink::onDisconnected);
    connect(client_.get(), &MqttLink::published, this, &MqttSink::onPublished);
    connect(client_.get(), &MqttLink::messageReceived, this,
            [this](const QString& topic, const QByteArray& message, bool) { onMessage(topic, message); });
    if (options_.discovery)
        client_->subscribe(topics_.homeAssistantStatus(), 1);
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

void MqttSink::writeFigures(FigureWriter& writer) const
{
    writer.add(kConnectedFamily, {}, client_->isConnected() ? 1 : 0);
    writer.add(kOutboxFamily, {}, static_cast<double>(outbox_->size()));
    writer.add(kDroppedFamily, {}, static_cast<double>(outbox_->droppedTotal()));
}

void MqttSink::setSensorProfile(int sensor, const SensorProfile& profile)
{
    const bool known = sensors_.count(sensor) > 0;
    SensorInfo& info = sensors_[sensor];
    if (known && info.profile == profile)
        return;
    info.profile = profile;
    announced_.remove(sensor);
    publishLimits(sensor);
    if (options_.discovery && client_->isConnected())
        announce(sensor);
}

void MqttSink::take(const Reading& reading)
{
    if (stopping_)
        return;
    const bool known = sensors_.count(reading.sensor) > 0;
    SensorInfo& info = sensors_[reading.sensor];
    if (!known || info.profile.name != reading.name) {
        info.profile.name = reading.name;
        announced_.remove(reading.sensor);
    }
    if (!known)
        publishLimits(reading.sensor);
    // Home Assistant shows the value to the digits it is measured to.
    if (reading.celsius && info.decimals != reading.decimals) {
        if (info.decimals.value_or(kAssumedDecimals) != reading.decimals)
            announced_.remove(reading.sensor);
        info.decimals = reading.decimals;
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
            sentEarly = client_->publish(Topics::reading(options_.board, reading.sensor),
                                         readingJson(reading), 1, true);
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
            publishDirect(Topics::reading(options_.board, reading.sensor), readingJson(reading), true);
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
    brokerAway_ = false;
    publishDirect(Topics::status(options_.board), QByteArrayLiteral("online"), true);
    if (options_.discovery)
        announceAll();
    for (const auto& entry : sensors_)
        publishLimits(entry.first);
    // Announcing gave the announced sensors' alarms their states; the others' are told here.
    for (const auto& [key, raised] : alarms_) {
        if (!announced_.contains(key.first))
            publishAlarm(key.first, key.second);
    }
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
    brokerAway_ = true;
    emit connectionChanged(false);
    reportFailure(tr("%1 Readings wait in the outbox until the broker is back.").arg(reason));
    if (stopping_ && drainTimer_.isActive() && drained())
        finishStop();
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
                const auto messageId = client_->publish(Topics::reading(options_.board, entry.reading.sensor),
                                                        readingJson(entry.reading), 1, true);
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
    if (stopping_ && drainTimer_.isActive() && drained())
        finishStop();
}

void MqttSink::onMessage(const QString& topic, const QByteArray& message)
{
    // Home Assistant restarted: it forgets what was announced unless it is announced again.
    if (options_.discovery && topic == topics_.homeAssistantStatus() && message.trimmed() == "online")
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
    const QString& board = options_.board;
    const QString id = Topics::sensorId(board, sensor);
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("calimbra_%1").arg(board)}},
        {QStringLiteral("name"), QStringLiteral("Calimbra %1").arg(board)},
        {QStringLiteral("manufacturer"), QStringLiteral("Calimbra")},
        {QStringLiteral("model"), QStringLiteral("1-Wire temperature board")},
        {QStringLiteral("sw_version"), options_.version}};
    const QJsonObject origin{{QStringLiteral("name"), QStringLiteral("calimbra-cli")},
                             {QStringLiteral("sw_version"), options_.version}};
    const QString name =
        info.profile.name.isEmpty() ? QStringLiteral("Sensor %1").arg(sensor) : info.profile.name;
    const QString readings = Topics::reading(board, sensor);
    const QString status = Topics::status(board);
    const QJsonObject config{
        {QStringLiteral("name"), name},
        {QStringLiteral("unique_id"), id},
        {QStringLiteral("default_entity_id"), QStringLiteral("sensor.") + id},
        {QStringLiteral("device_class"), QStringLiteral("temperature")},
        {QStringLiteral("state_class"), QStringLiteral("measurement")},
        {QStringLiteral("unit_of_measurement"), QStringLiteral("\u00B0C")},
        {QStringLiteral("suggested_display_precision"), info.decimals.value_or(kAssumedDecimals)},
        {QStringLiteral("state_topic"), readings},
        // A reading without a value leaves the sensor's state unknown.
        {QStringLiteral("value_template"), QStringLiteral("{{ value_json.celsius | default(None) }}")},
        {QStringLiteral("json_attributes_topic"), readings},
        {QStringLiteral("json_attributes_template"), attributesTemplate(info.profile)},
        {QStringLiteral("availability_topic"), status},
        {QStringLiteral("payload_available"), QStringLiteral("online")},
        {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
        {QStringLiteral("expire_after"), static_cast<qint64>(options_.expireAfter.count())},
        {QStringLiteral("device"), device},
        {QStringLiteral("origin"), origin}};
    publishDirect(topics_.sensorConfig(board, sensor), QJsonDocument(config).toJson(QJsonDocument::Compact),
                  true);

    const struct
    {
        AlarmKind kind;
        bool configured;
        const char* deviceClass;
        const char* label;
    } alarms[] = {{AlarmKind::High, info.profile.high.has_value(), "heat", "too hot"},
                  {AlarmKind::Low, info.profile.low.has_value(), "cold", "too cold"},
                  {AlarmKind::Lost, true, "problem", "not answering"}};
    for (const auto& alarm : alarms) {
        const QString alarmId = Topics::alarmId(board, sensor, alarm.kind);
        const QString topic = topics_.alarmConfig(board, sensor, alarm.kind);
        if (!alarm.configured) {
            // A limit taken out of the profile: its entity goes too, and its state.
            publishDirect(topic, QByteArray(), true);
            publishDirect(Topics::alarm(board, sensor, alarm.kind), QByteArray(), true);
            continue;
        }
        const QJsonObject alarmConfig{
            {QStringLiteral("name"), QStringLiteral("%1 %2").arg(name, QString::fromLatin1(alarm.label))},
            {QStringLiteral("unique_id"), alarmId},
            {QStringLiteral("default_entity_id"), QStringLiteral("binary_sensor.") + alarmId},
            {QStringLiteral("device_class"), QString::fromLatin1(alarm.deviceClass)},
            {QStringLiteral("state_topic"), Topics::alarm(board, sensor, alarm.kind)},
            {QStringLiteral("payload_on"), QStringLiteral("ON")},
            {QStringLiteral("payload_off"), QStringLiteral("OFF")},
            {QStringLiteral("availability_topic"), status},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("device"), device},
            {QStringLiteral("origin"), origin}};
        publishDirect(topic, QJsonDocument(alarmConfig).toJson(QJsonDocument::Compact), true);
        // Never "unknown": an alarm not raised is off from the start.
        publishAlarm(sensor, alarm.kind);
    }
    announced_.insert(sensor);
}

void MqttSink::alarmChanged(const AlarmEvent& event)
{
    alarms_[{event.sensor, event.kind}] = event.raised;
    publishAlarm(event.sensor, event.kind);
}

void MqttSink::publishLimits(int sensor)
{
    const auto found = sensors_.find(sensor);
    if (found != sensors_.end())
        publishDirect(Topics::limits(options_.board, sensor), limitsJson(found->second.profile), true);
}

void MqttSink::publishAlarm(int sensor, AlarmKind kind)
{
    const auto known = alarms_.find({sensor, kind});
    const bool raised = known != alarms_.end() && known->second;
    publishDirect(Topics::alarm(options_.board, sensor, kind), raised ? "ON" : "OFF", true);
}

void MqttSink::publishDirect(const QString& topic, const QByteArray& message, bool retain)
{
    // Announcements and states are sent again at every connection: nothing to keep track of.
    if (client_->isConnected())
        static_cast<void>(client_->publish(topic, message, 1, retain));
}

bool MqttSink::drained() const
{
    if (!acknowledged_.isEmpty() || !inFlight_.isEmpty())
        return false;
    if (!client_->isConnected())
        return brokerAway_ || outbox_->size() == 0;
    // Every reading was handed over and acknowledged; one the outbox could not remove is the
    // broker's too.
    return outbox_->size() == 0 || outbox_->after(sentUpTo_, 1).isEmpty();
}

void MqttSink::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    removeAcknowledged();
    if (drained()) {
        finishStop();
        return;
    }
    // A run of one round stops right after its readings were taken, often before the broker has
    // accepted the connection: they go first.
    drainTimer_.start(options_.drainWithin);
}

void MqttSink::finishStop()
{
    drainTimer_.stop();
    removeAcknowledged();
    const qint64 left = outbox_->size();
    publishDirect(Topics::status(options_.board), QByteArrayLiteral("offline"), true);
    client_->stop();
    if (left > 0)
        emit failing(tr("Readings for %1 left in the outbox %2: %3. They go to the broker at the next run.")
                         .arg(description(), outbox_->path())
                         .arg(left));
    // From the event loop, so that the goodbye leaves before the program does.
    QMetaObject::invokeMethod(
        this, [this] { emit stopped(); }, Qt::QueuedConnection);
}

} // namespace calimbra
