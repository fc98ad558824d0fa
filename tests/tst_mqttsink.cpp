// SPDX-License-Identifier: MIT
#include "BrokerSource.h"
#include "Error.h"
#include "MqttLink.h"
#include "MqttSink.h"
#include "Outbox.h"
#include "Topics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

using namespace calimbra;

namespace {

const QDateTime kStart = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::OffsetFromUTC, 3600);
constexpr qint64 kRoomy = 1'000'000;

// A broker connection the test drives: it connects, loses the connection and acknowledges when told,
// and writes down every call as a short token. Like the real client, message ids start again at 1
// on every connection, and a lost connection acknowledges nothing more.
class FakeMqttLink : public MqttLink
{
public:
    explicit FakeMqttLink(QString board) : board_(std::move(board)) {}

    void start() override { started = true; }
    void stop() override
    {
        up_ = false;
        log << QStringLiteral("goodbye");
    }
    [[nodiscard]] bool isConnected() const override { return up_; }
    [[nodiscard]] std::optional<int> publish(const QString& topic, const QByteArray& payload, int qos,
                                             bool retain) override
    {
        if (!up_ || refusing)
            return std::nullopt;
        if (qos != 1 || !retain)
            log << QStringLiteral("not retained at QoS 1: ") + topic;
        // The limits are a table of their own (limitsGoAsData): the others' rows leave them out, as
        // if the broker had them at once.
        const bool limits = topic.endsWith(QStringLiteral("/limits"));
        if (logLimits || !limits)
            log << token(topic, payload);
        // What a broker would keep for a newcomer.
        if (payload.isEmpty())
            retained.erase(topic);
        else
            retained[topic] = payload;
        if (!limits)
            unacknowledged_ << nextId_;
        return nextId_++;
    }
    void subscribe(const QString& topic, int qos) override
    {
        log << QStringLiteral("subscribe %1 %2").arg(topic).arg(qos);
    }

    void bringUp()
    {
        up_ = true;
        nextId_ = 1;
        emit connected();
    }
    void lose(const QString& reason)
    {
        up_ = false;
        unacknowledged_.clear();
        emit disconnected(reason);
    }
    // The broker acknowledges the oldest `count` messages outstanding (all: -1).
    void acknowledge(qsizetype count = -1)
    {
        const QList<int> ids = unacknowledged_.mid(0, count);
        unacknowledged_.remove(0, ids.size());
        for (int id : ids)
            emit published(id);
    }
    void acknowledgeNewest() { emit published(unacknowledged_.takeLast()); }
    [[nodiscard]] qsizetype outstanding() const { return unacknowledged_.size(); }

    QStringList log;
    std::map<QString, QByteArray> retained;
    bool started = false;
    bool refusing = false;
    bool logLimits = false;

private:
    // "status online", "s1 20.5 @3" (a reading: sensor, value, seconds after the start), "config
    // s1 Boiler" (discovery, with the entity's name), "remove s1_high", "alarm s1 high ON", "clear
    // s1 high" (an alarm's state taken off).
    QString token(const QString& topic, const QByteArray& payload) const
    {
        const QString ours = QStringLiteral("calimbra/%1/").arg(board_);
        if (topic == ours + QStringLiteral("status"))
            return QStringLiteral("status ") + QString::fromUtf8(payload);
        if (topic.startsWith(ours + QStringLiteral("sensor/"))) {
            const QStringList parts = topic.mid(ours.size()).split(u'/');
            if (parts.size() == 3 && parts[2] == u"limits")
                return QStringLiteral("limits s%1 %2").arg(parts[1], QString::fromUtf8(payload));
            if (parts.size() == 4 && payload.isEmpty())
                return QStringLiteral("clear s%1 %2").arg(parts[1], parts[3]);
            if (parts.size() == 4)
                return QStringLiteral("alarm s%1 %2 %3").arg(parts[1], parts[3], QString::fromUtf8(payload));
            const QJsonObject json = QJsonDocument::fromJson(payload).object();
            const QString value = json[QStringLiteral("celsius")].isDouble()
                                      ? QString::number(json[QStringLiteral("celsius")].toDouble())
                                      : QStringLiteral("-");
            const auto time =
                QDateTime::fromString(json[QStringLiteral("time")].toString(), Qt::ISODateWithMs);
            return QStringLiteral("s%1 %2 @%3").arg(parts[1], value).arg(kStart.secsTo(time));
        }
        const QString object = topic.section(u'/', 2, 2).remove(QStringLiteral("calimbra_%1_").arg(board_));
        if (payload.isEmpty())
            return QStringLiteral("remove ") + object;
        const QJsonObject config = QJsonDocument::fromJson(payload).object();
        return QStringLiteral("config %1 %2").arg(object, config[QStringLiteral("name")].toString());
    }

    QString board_;
    bool up_ = false;
    int nextId_ = 1;
    QList<int> unacknowledged_;
};

// What the tests may do that a service may not: run out of room on purpose.
class TestOutbox : public Outbox
{
public:
    using Outbox::Outbox;
    using Outbox::setPageLimit;
};

MqttSink::Options optionsFor(bool discovery)
{
    MqttSink::Options options;
    options.board = QStringLiteral("b");
    options.brokerText = QStringLiteral("broker:1883");
    options.discovery = discovery;
    options.version = QStringLiteral("1.0.0");
    return options;
}

struct Rig
{
    explicit Rig(bool discovery = false) : Rig(optionsFor(discovery)) {}
    // The outbox in `folder`, or in a folder of its own.
    explicit Rig(const MqttSink::Options& options, const QString& folder = {})
    {
        auto outboxHere = std::make_unique<TestOutbox>(folder.isEmpty() ? dir.path() : folder, kRoomy);
        auto linkHere = std::make_unique<FakeMqttLink>(options.board);
        outbox = outboxHere.get();
        link = linkHere.get();
        sink = std::make_unique<MqttSink>(options, std::move(outboxHere), std::move(linkHere));
        QObject::connect(sink.get(), &Sink::failing, [this](const QString& message) {
            said << QStringLiteral("failing");
            messages << message;
        });
        QObject::connect(sink.get(), &Sink::recovered, [this] { said << QStringLiteral("recovered"); });
        sink->start();
    }

    void take(int sensor, std::optional<double> celsius, const QString& name = {}, int decimals = 2)
    {
        ++taken;
        Reading reading;
        reading.time = kStart.addSecs(taken);
        reading.roundStart = reading.time;
        reading.sensor = sensor;
        reading.name = name;
        reading.celsius = celsius;
        reading.decimals = decimals;
        reading.text = celsius ? QStringLiteral("T%1 = %2 C").arg(sensor).arg(*celsius) : QString();
        if (!celsius)
            reading.error = ReadError::Timeout;
        sink->take(reading);
    }

    // Lets the sink's zero timers and queued calls run, as the event loop would between events.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    TestOutbox* outbox = nullptr;
    FakeMqttLink* link = nullptr;
    std::unique_ptr<MqttSink> sink;
    QStringList said;
    QStringList messages;
    int taken = 0;
};

// Home Assistant's abbreviations of discovery keys (its MQTT integration's documentation, "Supported
// abbreviations in MQTT discovery messages"): those an entity, a device or an origin may use.
const QHash<QString, QString> kAbbreviations = {
    {"avty", "availability"},
    {"avty_mode", "availability_mode"},
    {"avty_t", "availability_topic"},
    {"avty_tpl", "availability_template"},
    {"def_ent_id", "default_entity_id"},
    {"dev", "device"},
    {"dev_cla", "device_class"},
    {"en", "enabled_by_default"},
    {"enc", "encoding"},
    {"ent_cat", "entity_category"},
    {"ent_pic", "entity_picture"},
    {"exp_aft", "expire_after"},
    {"frc_upd", "force_update"},
    {"ic", "icon"},
    {"json_attr_t", "json_attributes_topic"},
    {"json_attr_tpl", "json_attributes_template"},
    {"lrst_val_tpl", "last_reset_value_template"},
    {"o", "origin"},
    {"obj_id", "object_id"},
    {"off_dly", "off_delay"},
    {"p", "platform"},
    {"pl_avail", "payload_available"},
    {"pl_not_avail", "payload_not_available"},
    {"pl_off", "payload_off"},
    {"pl_on", "payload_on"},
    {"stat_cla", "state_class"},
    {"stat_t", "state_topic"},
    {"sug_dsp_prc", "suggested_display_precision"},
    {"uniq_id", "unique_id"},
    {"unit_of_meas", "unit_of_measurement"},
    {"val_tpl", "value_template"},
};
const QHash<QString, QString> kDeviceAbbreviations = {
    {"cns", "connections"},  {"cu", "configuration_url"}, {"hw", "hw_version"},   {"ids", "identifiers"},
    {"mdl", "model"},        {"mdl_id", "model_id"},      {"mf", "manufacturer"}, {"sa", "suggested_area"},
    {"sn", "serial_number"}, {"sw", "sw_version"},
};
const QHash<QString, QString> kOriginAbbreviations = {{"sw", "sw_version"}, {"url", "support_url"}};

// The keys Home Assistant's MQTT sensor and binary sensor take (their documentation), object_id
// left out: it is deprecated for default_entity_id.
const QSet<QString> kCommonKeys = {
    "availability",
    "availability_mode",
    "availability_template",
    "availability_topic",
    "default_entity_id",
    "device",
    "device_class",
    "enabled_by_default",
    "encoding",
    "entity_category",
    "entity_picture",
    "expire_after",
    "force_update",
    "icon",
    "json_attributes_template",
    "json_attributes_topic",
    "name",
    "origin",
    "payload_available",
    "payload_not_available",
    "platform",
    "qos",
    "state_topic",
    "unique_id",
    "value_template",
};
const QSet<QString> kSensorKeys =
    kCommonKeys + QSet<QString>{"last_reset_value_template", "options", "state_class",
                                "suggested_display_precision", "unit_of_measurement"};
const QSet<QString> kBinarySensorKeys = kCommonKeys + QSet<QString>{"off_delay", "payload_off", "payload_on"};

QJsonObject expandedKeys(const QJsonObject& object, const QHash<QString, QString>& abbreviations)
{
    QJsonObject out;
    for (auto entry = object.begin(); entry != object.end(); ++entry)
        out.insert(abbreviations.value(entry.key(), entry.key()), entry.value());
    return out;
}

// A discovery message as Home Assistant reads it: abbreviations written out, and the base topic
// "~" put in place at either end of a topic.
QJsonObject expanded(const QByteArray& payload)
{
    QJsonObject config = expandedKeys(QJsonDocument::fromJson(payload).object(), kAbbreviations);
    if (config.contains(QStringLiteral("device")))
        config[QStringLiteral("device")] =
            expandedKeys(config[QStringLiteral("device")].toObject(), kDeviceAbbreviations);
    if (config.contains(QStringLiteral("origin")))
        config[QStringLiteral("origin")] =
            expandedKeys(config[QStringLiteral("origin")].toObject(), kOriginAbbreviations);
    if (config.contains(QStringLiteral("~"))) {
        const QString base = config.take(QStringLiteral("~")).toString();
        for (const QString& key : config.keys()) {
            const QString value = config[key].toString();
            if (!key.endsWith(QLatin1String("_topic")))
                continue;
            if (value.startsWith(u'~'))
                config[key] = base + value.mid(1);
            else if (value.endsWith(u'~'))
                config[key] = value.chopped(1) + base;
        }
    }
    return config;
}

// Renders Jinja templates as Home Assistant does for an MQTT message: `value` the message,
// `value_json` its JSON, in Jinja's sandbox. Each job is a template and a message.
std::optional<QStringList> rendered(const QList<std::pair<QString, QByteArray>>& jobs, QString* why)
{
    static const char kScript[] = R"(import json, sys
from jinja2.sandbox import ImmutableSandboxedEnvironment
env = ImmutableSandboxedEnvironment()
out = []
for template, message in json.load(sys.stdin):
    out.append(str(env.from_string(template).render(value=message, value_json=json.loads(message))))
json.dump(out, sys.stdout)
)";
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        *why = QStringLiteral("python3 is not installed (scripts/install-deps.sh)");
        return std::nullopt;
    }
    QJsonArray input;
    for (const auto& [tpl, message] : jobs)
        input.append(QJsonArray{tpl, QString::fromUtf8(message)});
    QProcess process;
    process.start(python, {QStringLiteral("-c"), QString::fromLatin1(kScript)});
    process.write(QJsonDocument(input).toJson());
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        *why = QStringLiteral("Jinja failed (python3-jinja2, scripts/install-deps.sh): ") +
               QString::fromUtf8(process.readAllStandardError());
        return std::nullopt;
    }
    QStringList out;
    for (const QJsonValue& text : QJsonDocument::fromJson(process.readAllStandardOutput()).array())
        out << text.toString();
    return out;
}

} // namespace

class MqttSinkTest : public QObject
{
    Q_OBJECT

private slots:
    void deliveries_data();
    void deliveries();
    void aStopWaitsNoLongerThanItsBound_data();
    void aStopWaitsNoLongerThanItsBound();
    void discoveryReadsAsHomeAssistantReadsIt();
    void aDiscoveryPrefixNoTopicCanHoldIsRefusedAtTheStart_data();
    void aDiscoveryPrefixNoTopicCanHoldIsRefusedAtTheStart();
    void limitsGoAsData();
    void topicsReadBackAsBuilt_data();
    void topicsReadBackAsBuilt();
    void theLongestMessagesAreWithinWhatTheMonitorTakes();
    void atMostAWindowInFlight();
    void anOutboxThatCannotKeepStillPublishesEachReadingOnce();
    void anOutboxFoundDamagedIsSaidAndPublishingGoesOn();
};

void MqttSinkTest::deliveries_data()
{
    QTest::addColumn<bool>("discovery");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("published");
    QTest::addColumn<qint64>("waiting");
    QTest::addColumn<QStringList>("said");

    const QStringList none;
    QTest::newRow("connected: each reading published as taken, removed once acknowledged")
        << false << QStringList{"up", "take 1 20.5", "take 2 21", "ack"}
        << QStringList{"status online", "s1 20.5 @1", "s2 21 @2"} << qint64(0) << none;
    QTest::newRow("not acknowledged: kept")
        << false << QStringList{"up", "take 1 20.5", "take 2 21", "ack 2"}
        << QStringList{"status online", "s1 20.5 @1", "s2 21 @2"} << qint64(1) << none;
    QTest::newRow("broker away from the start: readings wait, then go oldest first with their times")
        << false << QStringList{"refused", "take 1 20", "take 1 -", "take 2 22", "up", "ack"}
        << QStringList{"status online", "s1 20 @1", "s1 - @2", "s2 22 @3"} << qint64(0)
        << QStringList{"failing", "recovered"};
    QTest::newRow("lost: the unacknowledged go again, ahead of new ones; the acknowledged do not")
        << false
        << QStringList{"up", "take 1 1", "take 1 2", "take 1 3", "ack 2", "lose", "take 1 4", "up", "ack"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2", "s1 3 @3",
                       "status online", "s1 2 @2", "s1 3 @3", "s1 4 @4"}
        << qint64(0) << QStringList{"failing", "recovered"};
    QTest::newRow("acknowledged in the same breath as the loss: not sent again")
        << false << QStringList{"up", "take 1 1", "take 1 2", "ack 2 and lose", "up", "ack"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2", "status online", "s1 2 @2"} << qint64(0)
        << QStringList{"failing", "recovered"};
    QTest::newRow("acknowledged out of order: only the others go again")
        << false << QStringList{"up", "take 1 1", "take 1 2", "take 1 3", "ack newest", "lose", "up", "ack"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2", "s1 3 @3",
                       "status online", "s1 1 @1", "s1 2 @2"}
        << qint64(0) << QStringList{"failing", "recovered"};
    QTest::newRow("message ids start again on a new connection: an old id is not a new message's")
        << false << QStringList{"up", "take 1 1", "lose", "up", "ack 1", "lose", "up"}
        << QStringList{"status online", "s1 1 @1", "status online", "s1 1 @1", "status online", "s1 1 @1"}
        << qint64(1) << QStringList{"failing", "recovered", "failing", "recovered"};
    QTest::newRow("the client refusing a publish: the reading waits, and goes with the next")
        << false << QStringList{"up", "refuse", "take 1 1", "accept", "take 1 2", "ack"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2"} << qint64(0) << none;
    QTest::newRow("a failure and a recovery are each said once")
        << false << QStringList{"refused", "refused", "take 1 1", "up", "lose", "lose", "up"}
        << QStringList{"status online", "s1 1 @1", "status online", "s1 1 @1"} << qint64(1)
        << QStringList{"failing", "recovered", "failing", "recovered"};

    // What announcing sensor N without limits publishes, named `name`.
    const auto plain = [](int n, const QString& name) {
        const QString s = QStringLiteral("s%1").arg(n);
        return QStringList{QStringLiteral("config %1 %2").arg(s, name),
                           QStringLiteral("remove %1_high").arg(s),
                           QStringLiteral("clear %1 high").arg(s),
                           QStringLiteral("remove %1_low").arg(s),
                           QStringLiteral("clear %1 low").arg(s),
                           QStringLiteral("config %1_lost %2 not answering").arg(s, name),
                           QStringLiteral("alarm %1 lost OFF").arg(s)};
    };
    const QString subscribed = QStringLiteral("subscribe homeassistant/status 1");
    QTest::newRow("discovery: subscribed to Home Assistant's status; a sensor announced when first read")
        << true << QStringList{"up", "take 1 20", "take 1 21"}
        << QStringList{subscribed, "status online", "s1 20 @1"} + plain(1, "Sensor 1") +
               QStringList{"s1 21 @2"}
        << qint64(2) << none;
    QTest::newRow("discovery: named sensors with limits announced on connecting, each alarm with its state")
        << true << QStringList{"profile 3 Boiler high low", "profile 4 Loft high", "alarm 4 high on", "up"}
        << QStringList{subscribed,
                       "status online",
                       "config s3 Boiler",
                       "config s3_high Boiler too hot",
                       "alarm s3 high OFF",
                       "config s3_low Boiler too cold",
                       "alarm s3 low OFF",
                       "config s3_lost Boiler not answering",
                       "alarm s3 lost OFF",
                       "config s4 Loft",
                       "config s4_high Loft too hot",
                       "alarm s4 high ON",
                       "remove s4_low",
                       "clear s4 low",
                       "config s4_lost Loft not answering",
                       "alarm s4 lost OFF"}
        << qint64(0) << none;
    QTest::newRow("discovery: a changed profile announced again at once; the same one, not")
        << true
        << QStringList{"up", "profile 1 Boiler high", "profile 1 Boiler high", "profile 1 Boiler high low"}
        << QStringList{subscribed,
                       "status online",
                       "config s1 Boiler",
                       "config s1_high Boiler too hot",
                       "alarm s1 high OFF",
                       "remove s1_low",
                       "clear s1 low",
                       "config s1_lost Boiler not answering",
                       "alarm s1 lost OFF",
                       "config s1 Boiler",
                       "config s1_high Boiler too hot",
                       "alarm s1 high OFF",
                       "config s1_low Boiler too cold",
                       "alarm s1 low OFF",
                       "config s1_lost Boiler not answering",
                       "alarm s1 lost OFF"}
        << qint64(0) << none;
    QTest::newRow("discovery: a value of another resolution announced again; none, or the same, not")
        << true << QStringList{"up", "take 1 20", "take 1 -", "take 1 20.5 d1", "take 1 20.7 d1"}
        << QStringList{subscribed, "status online", "s1 20 @1"} + plain(1, "Sensor 1") +
               QStringList{"s1 - @2", "s1 20.5 @3"} + plain(1, "Sensor 1") + QStringList{"s1 20.7 @4"}
        << qint64(4) << none;
    QTest::newRow("discovery: Home Assistant back online hears everything again; offline, nothing")
        << true << QStringList{"up", "take 2 20", "ha offline", "ha online"}
        << QStringList{subscribed, "status online", "s2 20 @1"} + plain(2, "Sensor 2") + plain(2, "Sensor 2")
        << qint64(1) << none;
    QTest::newRow("discovery: a renamed sensor announced again under the same id and topic")
        << true << QStringList{"up", "take 1 20", "take 1 21 Boiler", "take 1 22 Boiler"}
        << QStringList{subscribed, "status online", "s1 20 @1"} + plain(1, "Sensor 1") +
               QStringList{"s1 21 @2"} + plain(1, "Boiler") + QStringList{"s1 22 @3"}
        << qint64(3) << none;

    QTest::newRow("alarms: published as they change, and again on every connection")
        << false << QStringList{"up", "alarm 1 high on", "lose", "alarm 2 lost on", "up", "alarm 1 high off"}
        << QStringList{"status online",    "alarm s1 high ON", "status online",
                       "alarm s1 high ON", "alarm s2 lost ON", "alarm s1 high OFF"}
        << qint64(0) << QStringList{"failing", "recovered"};

    QTest::newRow("a stop: the broker's acknowledgements awaited, then offline said, then goodbye")
        << false << QStringList{"up", "take 1 1", "take 1 2", "ack 2 and stop", "take 1 3", "ack"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2", "status offline", "goodbye"} << qint64(0)
        << none;
    QTest::newRow("a stop before the broker accepted the connection: the readings go first")
        << false << QStringList{"take 1 1", "take 2 2", "stop", "up", "ack"}
        << QStringList{"status online", "s1 1 @1", "s2 2 @2", "status offline", "goodbye"} << qint64(0)
        << none;
    QTest::newRow("a stop: every reading waiting awaited, not only those acknowledged first")
        << false << QStringList{"take 1 1", "take 1 2", "take 1 3", "stop", "up", "ack 2", "ack 1", "ack 1"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2", "s1 3 @3", "status offline", "goodbye"}
        << qint64(0) << none;
    QTest::newRow("a stop while the broker refuses: no wait, the readings kept and said")
        << false << QStringList{"refused", "take 1 1", "stop"} << QStringList{"goodbye"} << qint64(1)
        << QStringList{"failing", "failing"};
    QTest::newRow("a connection lost while stopping: no more wait, the rest kept and said")
        << false << QStringList{"up", "take 1 1", "take 1 2", "ack 2 and stop", "lose"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2", "goodbye"} << qint64(1)
        << QStringList{"failing", "failing"};
}

void MqttSinkTest::deliveries()
{
    QFETCH(bool, discovery);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, published);
    QFETCH(qint64, waiting);
    QFETCH(QStringList, said);

    Rig rig(discovery);
    QVERIFY(rig.link->started);
    QSignalSpy stopped(rig.sink.get(), &Sink::stopped);
    for (const QString& step : steps) {
        const QStringList words = step.split(u' ');
        const QString& verb = words[0];
        if (verb == u"up") {
            rig.link->bringUp();
        } else if (verb == u"refused" || verb == u"lose") {
            rig.link->lose(QStringLiteral("The broker went away."));
        } else if (verb == u"take") {
            const std::optional<double> value =
                words[2] == u"-" ? std::nullopt : std::optional<double>(words[2].toDouble());
            QStringList rest = words.mid(3);
            int decimals = 2;
            if (!rest.isEmpty() && rest.first().size() == 2 && rest.first().startsWith(u'd'))
                decimals = rest.takeFirst().mid(1).toInt();
            rig.take(words[1].toInt(), value, rest.join(u' ').trimmed(), decimals);
        } else if (step == u"ack") {
            rig.link->acknowledge();
        } else if (step == u"ack newest") {
            rig.link->acknowledgeNewest();
        } else if (verb == u"ack") {
            rig.link->acknowledge(words[1].toInt());
            if (words.size() > 3 && words[3] == u"lose")
                rig.link->lose(QStringLiteral("The broker went away."));
            else if (words.size() > 3 && words[3] == u"stop")
                rig.sink->stop();
        } else if (verb == u"refuse" || verb == u"accept") {
            rig.link->refusing = verb == u"refuse";
        } else if (verb == u"ha") {
            emit rig.link->messageReceived(QStringLiteral("homeassistant/status"), words[1].toUtf8(), false);
        } else if (verb == u"profile") {
            SensorProfile profile;
            profile.name = words[2];
            if (words.contains(QStringLiteral("high")))
                profile.high = 30;
            if (words.contains(QStringLiteral("low")))
                profile.low = 5;
            rig.sink->setSensorProfile(words[1].toInt(), profile);
        } else if (verb == u"alarm") {
            AlarmEvent event;
            event.time = kStart;
            event.sensor = words[1].toInt();
            event.kind = words[2] == u"high"  ? AlarmKind::High
                         : words[2] == u"low" ? AlarmKind::Low
                                              : AlarmKind::Lost;
            event.raised = words[3] == u"on";
            rig.sink->alarmChanged(event);
        } else if (verb == u"stop") {
            rig.sink->stop();
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step: ") + step));
        }
        Rig::settle();
    }
    QCOMPARE(rig.link->log, published);
    QCOMPARE(rig.sink->waiting(), waiting);
    QCOMPARE(rig.said, said);
    if (steps.contains(QStringLiteral("stop")) || steps.filter(QStringLiteral("and stop")).size() > 0)
        QCOMPARE(stopped.size(), 1);
}

void MqttSinkTest::aStopWaitsNoLongerThanItsBound_data()
{
    QTest::addColumn<bool>("connected");
    QTest::newRow("a connection that never comes") << false;
    QTest::newRow("acknowledgements that never come") << true;
}

void MqttSinkTest::aStopWaitsNoLongerThanItsBound()
{
    QFETCH(bool, connected);
    MqttSink::Options options = optionsFor(false);
    options.drainWithin = std::chrono::milliseconds(200);
    Rig rig(options);
    if (connected)
        rig.link->bringUp();
    rig.take(1, 20);
    rig.take(2, 21);
    QSignalSpy stopped(rig.sink.get(), &Sink::stopped);
    rig.sink->stop();
    // Not before the event loop had its chance to connect and deliver.
    QVERIFY(!rig.link->log.contains(QStringLiteral("goodbye")));
    QTRY_COMPARE_WITH_TIMEOUT(stopped.size(), 1, 10000);
    const QStringList ending = connected ? QStringList{"status offline", "goodbye"} : QStringList{"goodbye"};
    QCOMPARE(rig.link->log.mid(rig.link->log.size() - ending.size()), ending);
    QCOMPARE(rig.sink->waiting(), 2);
    // How many stay, and where, for the user who wonders where the readings went.
    QVERIFY(!rig.messages.isEmpty());
    const QString left = rig.messages.last();
    QVERIFY2(left.contains(QStringLiteral(": 2.")) && left.contains(rig.outbox->path()), qPrintable(left));
}

void MqttSinkTest::discoveryReadsAsHomeAssistantReadsIt()
{
    Rig rig(true);
    SensorProfile boiler;
    boiler.name = QStringLiteral("Boiler");
    boiler.low = 5;
    boiler.high = 60.5;
    boiler.hysteresis = 1;
    boiler.delay = std::chrono::seconds(30);
    rig.sink->setSensorProfile(1, boiler);
    rig.link->bringUp();
    rig.take(1, 62.0625, QStringLiteral("Boiler"), 4);
    rig.take(2, std::nullopt);
    AlarmEvent hot;
    hot.sensor = 1;
    hot.kind = AlarmKind::High;
    hot.raised = true;
    rig.sink->alarmChanged(hot);
    Rig::settle();

    // What a Home Assistant starting now is handed by the broker.
    const std::map<QString, QByteArray>& kept = rig.link->retained;
    std::map<QString, QJsonObject> configs;
    for (const auto& [topic, payload] : kept) {
        if (topic.startsWith(QLatin1String("homeassistant/")))
            configs[topic] = expanded(payload);
    }
    const auto config = [&](const QString& domain, const QString& id) {
        return configs[QStringLiteral("homeassistant/%1/%2/config").arg(domain, id)];
    };
    const auto keptAt = [&](const QJsonObject& entity, const char* key) {
        const auto found = kept.find(entity[QLatin1String(key)].toString());
        return found == kept.end() ? QByteArray() : found->second;
    };

    struct Sensor
    {
        QString id;
        QString name;
        QString value;      // as the value template renders it
        QJsonObject extras; // attributes beyond the reading's
        QString error;      // the reading's, in the attributes; empty: null
    };
    const QList<Sensor> sensors = {
        {"calimbra_b_s1",
         "Boiler",
         "62.0625",
         QJsonObject{{"low_limit", 5}, {"high_limit", 60.5}, {"hysteresis", 1}, {"delay", 30}},
         {}},
        {"calimbra_b_s2", "Sensor 2", "None", {}, "timeout"},
    };
    QList<std::pair<QString, QByteArray>> jobs;
    for (const Sensor& sensor : sensors) {
        const QJsonObject entity = config("sensor", sensor.id);
        QVERIFY2(!entity.isEmpty(), qPrintable(sensor.id));
        for (const QString& key : entity.keys())
            QVERIFY2(kSensorKeys.contains(key), qPrintable(sensor.id + u' ' + key));
        QCOMPARE(entity["name"].toString(), sensor.name);
        QCOMPARE(entity["unique_id"].toString(), sensor.id);
        QCOMPARE(entity["default_entity_id"].toString(), "sensor." + sensor.id);
        QCOMPARE(entity["device_class"].toString(), QStringLiteral("temperature"));
        QCOMPARE(entity["state_class"].toString(), QStringLiteral("measurement"));
        QCOMPARE(entity["unit_of_measurement"].toString(), QStringLiteral("\u00B0C"));
        // Sensor 1 reads to four digits; sensor 2 has not given a value yet: a DS18B20's two.
        QCOMPARE(entity["suggested_display_precision"].toInt(), sensor.id.endsWith(u'1') ? 4 : 2);
        QVERIFY(entity["expire_after"].toInt() > 0);
        QCOMPARE(keptAt(entity, "availability_topic"), entity["payload_available"].toString().toUtf8());
        QCOMPARE(entity["device"].toObject()["identifiers"].toArray(), QJsonArray{"calimbra_b"});
        QCOMPARE(entity["device"].toObject()["sw_version"].toString(), QStringLiteral("1.0.0"));
        QCOMPARE(entity["origin"].toObject()["name"].toString(), QStringLiteral("calimbra-cli"));
        const QByteArray reading = keptAt(entity, "state_topic");
        QVERIFY2(!reading.isEmpty(), qPrintable(sensor.id));
        QCOMPARE(entity["json_attributes_topic"], entity["state_topic"]);
        jobs << std::pair(entity["value_template"].toString(), reading)
             << std::pair(entity["json_attributes_template"].toString(), reading);
    }
    QString why;
    const std::optional<QStringList> out = rendered(jobs, &why);
    QVERIFY2(out && out->size() == jobs.size(), qPrintable(why));
    for (qsizetype n = 0; n < sensors.size(); ++n) {
        const Sensor& sensor = sensors.at(n);
        QCOMPARE(out->at(2 * n), sensor.value);
        const QJsonObject reading = QJsonDocument::fromJson(jobs.at(2 * n).second).object();
        QJsonObject attributes{{"reply", reading["reply"]},
                               {"time", reading["time"]},
                               {"error", sensor.error.isEmpty() ? QJsonValue() : QJsonValue(sensor.error)}};
        for (auto extra = sensor.extras.begin(); extra != sensor.extras.end(); ++extra)
            attributes.insert(extra.key(), extra.value());
        QCOMPARE(QJsonDocument::fromJson(out->at(2 * n + 1).toUtf8()).object(), attributes);
    }

    // Every alarm announced has a state from the start; a limit not set has no entity.
    const QList<std::pair<QString, QByteArray>> alarms = {{"calimbra_b_s1_high", "ON"},
                                                          {"calimbra_b_s1_low", "OFF"},
                                                          {"calimbra_b_s1_lost", "OFF"},
                                                          {"calimbra_b_s2_lost", "OFF"}};
    for (const auto& [id, state] : alarms) {
        const QJsonObject entity = config("binary_sensor", id);
        QVERIFY2(!entity.isEmpty(), qPrintable(id));
        for (const QString& key : entity.keys())
            QVERIFY2(kBinarySensorKeys.contains(key), qPrintable(id + u' ' + key));
        QCOMPARE(entity["unique_id"].toString(), id);
        QCOMPARE(entity["default_entity_id"].toString(), "binary_sensor." + id);
        QCOMPARE(keptAt(entity, "availability_topic"), entity["payload_available"].toString().toUtf8());
        const QByteArray current = keptAt(entity, "state_topic");
        QCOMPARE(current, state);
        QCOMPARE(entity[state == "ON" ? "payload_on" : "payload_off"].toString().toUtf8(), current);
        QCOMPARE(entity["device"].toObject()["identifiers"].toArray(), QJsonArray{"calimbra_b"});
    }
    QCOMPARE(configs.size(), sensors.size() + alarms.size());
}

void MqttSinkTest::aDiscoveryPrefixNoTopicCanHoldIsRefusedAtTheStart_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("taken");

    QTest::newRow("Home Assistant's") << "homeassistant" << true;
    QTest::newRow("two levels") << "ha/discovery" << true;
    QTest::newRow("beyond ASCII") << "maison/d\u00E9couverte" << true;
    QTest::newRow("the longest") << QString(Topics::kLongestDiscoveryPrefix, u'h') << true;
    QTest::newRow("a wildcard level") << "+" << false;
    QTest::newRow("a wildcard at the end") << "ha/#" << false;
    QTest::newRow("a wildcard inside a level") << "ha+x" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("a slash first") << "/ha" << false;
    QTest::newRow("a slash last") << "ha/" << false;
    QTest::newRow("the broker's own topics") << "$SYS" << false;
    QTest::newRow("a NUL") << QString::fromUtf16(u"ha\0x", 4) << false;
    QTest::newRow("a line end") << "ha\nx" << false;
    QTest::newRow("too long") << QString(Topics::kLongestDiscoveryPrefix + 1, u'h') << false;
}

void MqttSinkTest::aDiscoveryPrefixNoTopicCanHoldIsRefusedAtTheStart()
{
    QFETCH(QString, prefix);
    QFETCH(bool, taken);

    QCOMPARE(!discoveryPrefixProblem(prefix).has_value(), taken);
    MqttSink::Options options = optionsFor(true);
    options.discoveryPrefix = prefix;
    try {
        Rig rig(options);
        QVERIFY2(taken, "refused only once it announces, from the event loop");
        QCOMPARE(rig.link->log.first(), QStringLiteral("subscribe %1/status 1").arg(prefix));
    } catch (const Error& error) {
        QVERIFY2(!taken, qPrintable(error.message()));
        // What a prefix takes, so that the user can write one that works.
        QVERIFY2(error.message().contains(QStringLiteral("homeassistant")), qPrintable(error.message()));
        QCOMPARE(error.message(), *discoveryPrefixProblem(prefix));
    }
}

void MqttSinkTest::limitsGoAsData()
{
    // Retained beside the readings, for whoever draws them: on connecting, for a sensor first read,
    // and again when its profile changes; read back as they were written.
    Rig rig;
    rig.link->logLimits = true;
    SensorProfile boiler;
    boiler.name = QStringLiteral("Boiler");
    boiler.low = 5;
    boiler.high = 80.5;
    boiler.delay = std::chrono::seconds{60};
    rig.sink->setSensorProfile(1, boiler);
    rig.link->bringUp();
    rig.take(2, 21.0);
    boiler.high.reset();
    rig.sink->setSensorProfile(1, boiler);
    Rig::settle();
    QCOMPARE(
        rig.link->log.filter(QStringLiteral("limits ")),
        (QStringList{"limits s1 {\"low\":5,\"high\":80.5,\"hysteresis\":0.5,\"for\":60,\"lost_after\":3}",
                     "limits s2 {\"hysteresis\":0.5,\"for\":0,\"lost_after\":3}",
                     "limits s1 {\"low\":5,\"hysteresis\":0.5,\"for\":60,\"lost_after\":3}"}));
    SensorProfile read;
    QVERIFY(readLimitsJson(rig.link->retained.at(QStringLiteral("calimbra/b/sensor/1/limits")), read));
    QCOMPARE(read.low, boiler.low);
    QCOMPARE(read.high, boiler.high);
    QCOMPARE(read.delay, boiler.delay);
    QCOMPARE(read.lostAfter, boiler.lostAfter);
    QVERIFY(!readLimitsJson("not json", read));
}

void MqttSinkTest::topicsReadBackAsBuilt_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("board");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("alarm");

    using K = Topics::Kind;
    const QString ha = QStringLiteral("homeassistant");
    QTest::newRow("status") << ha << "calimbra/boiler-room/status" << int(K::Status) << "boiler-room" << 0
                            << "";
    QTest::newRow("reading") << ha << "calimbra/b/sensor/9" << int(K::Reading) << "b" << 9 << "";
    QTest::newRow("alarm") << ha << "calimbra/b/sensor/3/alarm/lost" << int(K::Alarm) << "b" << 3 << "lost";
    QTest::newRow("limits") << ha << "calimbra/b/sensor/4/limits" << int(K::Limits) << "b" << 4 << "";
    QTest::newRow("limits of sensor 0")
        << ha << "calimbra/b/sensor/0/limits" << int(K::Malformed) << "b" << 0 << "";
    QTest::newRow("sensor's discovery")
        << ha << "homeassistant/sensor/calimbra_b_s2/config" << int(K::SensorConfig) << "b" << 2 << "";
    QTest::newRow("alarm's discovery") << ha << "homeassistant/binary_sensor/calimbra_b_s2_high/config"
                                       << int(K::AlarmConfig) << "b" << 2 << "high";
    QTest::newRow("a board whose name looks like a sensor's")
        << ha << "homeassistant/binary_sensor/calimbra_x_s1_low_s2_low/config" << int(K::AlarmConfig)
        << "x_s1_low" << 2 << "low";
    QTest::newRow("Home Assistant's status")
        << ha << "homeassistant/status" << int(K::HomeAssistantStatus) << "" << 0 << "";
    QTest::newRow("a prefix of two levels")
        << "ha/disc"
        << "ha/disc/sensor/calimbra_b_s1/config" << int(K::SensorConfig) << "b" << 1 << "";
    QTest::newRow("a prefix under calimbra/")
        << "calimbra/ha"
        << "calimbra/ha/sensor/calimbra_b_s1/config" << int(K::SensorConfig) << "b" << 1 << "";
    QTest::newRow("another prefix's discovery")
        << "ha"
        << "homeassistant/sensor/calimbra_b_s1/config" << int(K::Other) << "" << 0 << "";
    QTest::newRow("another program's sensor")
        << ha << "homeassistant/sensor/kitchen_t/config" << int(K::Other) << "" << 0 << "";
    QTest::newRow("sensor 0") << ha << "calimbra/b/sensor/0" << int(K::Malformed) << "b" << 0 << "";
    QTest::newRow("sensor 10") << ha << "calimbra/b/sensor/10" << int(K::Malformed) << "b" << 0 << "";
    QTest::newRow("sensor 01") << ha << "calimbra/b/sensor/01" << int(K::Malformed) << "b" << 0 << "";
    QTest::newRow("an alarm of no kind")
        << ha << "calimbra/b/sensor/1/alarm/hot" << int(K::Malformed) << "b" << 1 << "";
    QTest::newRow("deeper") << ha << "calimbra/b/sensor/1/extra" << int(K::Other) << "" << 0 << "";
    QTest::newRow("another root") << ha << "other/b/status" << int(K::Other) << "" << 0 << "";
}

void MqttSinkTest::topicsReadBackAsBuilt()
{
    QFETCH(QString, prefix);
    QFETCH(QString, topic);
    QFETCH(int, kind);
    QFETCH(QString, board);
    QFETCH(int, sensor);
    QFETCH(QString, alarm);

    const Topics topics(prefix);
    Topics::Parsed expected;
    expected.kind = static_cast<Topics::Kind>(kind);
    expected.board = board;
    expected.sensor = sensor;
    expected.alarm = alarmKindFromName(alarm).value_or(AlarmKind::High);
    const Topics::Parsed parsed = topics.parse(topic);
    QCOMPARE(int(parsed.kind), kind);
    QCOMPARE(parsed, expected);

    // What parses is what is built for the same board, sensor and alarm.
    const auto kindOf = alarmKindFromName(alarm).value_or(AlarmKind::High);
    switch (expected.kind) {
    case Topics::Kind::Status:
        QCOMPARE(Topics::status(board), topic);
        break;
    case Topics::Kind::Reading:
        QCOMPARE(Topics::reading(board, sensor), topic);
        QCOMPARE(topics.parse(Topics::readingsFilter(board).replace(u'+', QString::number(sensor))),
                 expected);
        break;
    case Topics::Kind::Alarm:
        QCOMPARE(Topics::alarm(board, sensor, kindOf), topic);
        break;
    case Topics::Kind::Limits:
        QCOMPARE(Topics::limits(board, sensor), topic);
        QCOMPARE(Topics::limitsFilter(board).replace(u'+', QString::number(sensor)), topic);
        break;
    case Topics::Kind::SensorConfig:
        QCOMPARE(topics.sensorConfig(board, sensor), topic);
        QCOMPARE(topics.sensorConfigFilter().replace(u'+', Topics::sensorId(board, sensor)), topic);
        break;
    case Topics::Kind::AlarmConfig:
        QCOMPARE(topics.alarmConfig(board, sensor, kindOf), topic);
        break;
    case Topics::Kind::HomeAssistantStatus:
        QCOMPARE(topics.homeAssistantStatus(), topic);
        break;
    case Topics::Kind::Malformed:
    case Topics::Kind::Other:
        break;
    }
}

void MqttSinkTest::theLongestMessagesAreWithinWhatTheMonitorTakes()
{
    // The longest board name, prefix and sensor name, the name all characters JSON writes longest.
    MqttSink::Options options = optionsFor(true);
    options.board = QString(64, u'b');
    options.discoveryPrefix = QString(Topics::kLongestDiscoveryPrefix, u'h');
    options.version = QStringLiteral("1.0.0-rc.1+g0123456789ab");
    Rig rig(options);
    SensorProfile profile;
    profile.name = QString(SensorProfile::kLongestName, QChar(0x01));
    profile.low = -0.1234567890123456;
    profile.high = 123.45678901234567;
    profile.hysteresis = 0.1234567890123456;
    profile.delay = std::chrono::milliseconds(86'400'001);
    rig.sink->setSensorProfile(9, profile);
    rig.link->bringUp();
    rig.take(9, -0.1234567890123456, profile.name);
    QVERIFY(rig.link->retained.size() >= 9);
    for (const auto& [topic, payload] : rig.link->retained) {
        QVERIFY2(topic.size() <= BrokerSource::kLongestTopic, qPrintable(topic));
        QVERIFY2(payload.size() <= BrokerSource::kLargestMessage, qPrintable(topic));
    }
}

void MqttSinkTest::atMostAWindowInFlight()
{
    // A day's backlog is not handed to the client at once: it would sit in the library's memory and
    // all go again after a loss. The rest follows as acknowledgements come.
    Rig rig;
    constexpr int kBacklog = 600;
    for (int n = 0; n < kBacklog; ++n)
        rig.take(1 + n % 9, n);
    rig.link->bringUp();
    Rig::settle();
    const qsizetype window = rig.link->outstanding();
    QVERIFY2(window > 0 && window < kBacklog, qPrintable(QString::number(window)));
    while (rig.link->outstanding() > 0) {
        QCOMPARE_LE(rig.link->outstanding(), window);
        rig.link->acknowledge();
        Rig::settle();
    }
    QCOMPARE(rig.sink->waiting(), 0);
    const QStringList readings = rig.link->log.filter(QRegularExpression(QStringLiteral("^s\\d")));
    QCOMPARE(readings.size(), kBacklog);
    for (int n = 0; n < kBacklog; ++n)
        QCOMPARE(readings[n], QStringLiteral("s%1 %2 @%3").arg(1 + n % 9).arg(n).arg(n + 1));
}

void MqttSinkTest::anOutboxThatCannotKeepStillPublishesEachReadingOnce()
{
    // Whether the disk fills before or after a reading was handed to the client, it goes out once,
    // the failure is said once, and the next reading the outbox can keep says it works again.
    Rig rig;
    rig.link->bringUp();
    rig.outbox->setPageLimit(1);
    while (rig.said.isEmpty() && rig.taken < 10'000)
        rig.take(1, rig.taken);
    QCOMPARE(rig.said, QStringList{"failing"});
    rig.take(2, 50);
    rig.outbox->setPageLimit(kRoomy);
    rig.take(3, 60);
    do {
        rig.link->acknowledge();
        Rig::settle();
    } while (rig.link->outstanding() > 0);
    QCOMPARE(rig.said, (QStringList{"failing", "recovered"}));
    QCOMPARE(rig.sink->waiting(), 0);

    const QStringList readings = rig.link->log.filter(QRegularExpression(QStringLiteral("^s\\d")));
    QCOMPARE(readings.size(), rig.taken);
    QCOMPARE(readings.last(), QStringLiteral("s3 60 @%1").arg(rig.taken));
    QCOMPARE(readings[readings.size() - 2], QStringLiteral("s2 50 @%1").arg(rig.taken - 1));
}

void MqttSinkTest::anOutboxFoundDamagedIsSaidAndPublishingGoesOn()
{
    // A day's backlog, damaged in the middle while the service runs: found as the backlog goes out,
    // from an acknowledgement's slot. Said once, the outbox starts afresh, and new readings go on.
    constexpr int kHeld = 20'000;
    QTemporaryDir fast(QStringLiteral("/dev/shm/tst_mqttsink-XXXXXX"));
    QTemporaryDir slow;
    const QString folder = fast.isValid() ? fast.path() : slow.path();
    {
        Outbox filling(folder, kRoomy);
        Reading reading;
        reading.sensor = 1;
        for (int n = 1; n <= kHeld; ++n) {
            reading.time = kStart.addSecs(n);
            reading.celsius = n;
            filling.add(reading);
        }
    }
    Rig rig(optionsFor(false), folder);
    QSignalSpy failing(rig.sink.get(), &Sink::failing);
    {
        QFile damage(folder + QStringLiteral("/outbox.db"));
        QVERIFY(damage.open(QIODevice::ReadWrite));
        QVERIFY(damage.seek(damage.size() / 2 / 1024 * 1024));
        QCOMPARE(damage.write(QByteArray(8 * 1024, '\xA5')), 8 * 1024);
    }
    rig.link->bringUp();
    Rig::settle();
    for (int round = 0; round < kHeld && rig.link->outstanding() > 0; ++round) {
        rig.link->acknowledge();
        Rig::settle();
    }
    QCOMPARE(rig.said, QStringList{"failing"});
    const QString message = failing.first().first().toString();
    QVERIFY2(message.contains(QStringLiteral("damaged")) && message.contains(QStringLiteral(".damaged-")),
             qPrintable(message));
    QCOMPARE(rig.sink->waiting(), 0);

    rig.take(2, 21.5);
    rig.link->acknowledge();
    Rig::settle();
    QCOMPARE(rig.link->log.last(), QStringLiteral("s2 21.5 @1"));
    QCOMPARE(rig.sink->waiting(), 0);
    QCOMPARE(rig.said, QStringList{"failing"});
}

QTEST_GUILESS_MAIN(MqttSinkTest)
#include "tst_mqttsink.moc"
