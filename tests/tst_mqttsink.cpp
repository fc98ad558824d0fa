// SPDX-License-Identifier: MIT
#include "MqttLink.h"
#include "MqttSink.h"
#include "Outbox.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
        log << token(topic, payload);
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
    bool started = false;
    bool refusing = false;

private:
    // "status online", "s1 20.5 @3" (a reading: sensor, value, seconds after the start), "config
    // s1 Boiler" (discovery, with the entity's name), "remove s1_high", "alarm s1 high ON".
    QString token(const QString& topic, const QByteArray& payload) const
    {
        const QString ours = QStringLiteral("calimbra/%1/").arg(board_);
        if (topic == ours + QStringLiteral("status"))
            return QStringLiteral("status ") + QString::fromUtf8(payload);
        if (topic.startsWith(ours + QStringLiteral("sensor/"))) {
            const QStringList parts = topic.mid(ours.size()).split(u'/');
            if (parts.size() == 4)
                return QStringLiteral("alarm s%1 %2 %3").arg(parts[1], parts[3], QString::fromUtf8(payload));
            const QJsonObject json = QJsonDocument::fromJson(payload).object();
            const QString value = json.contains(QStringLiteral("celsius"))
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

struct Rig
{
    // The outbox in `folder`, or in a folder of its own.
    explicit Rig(bool discovery = false, const QString& folder = {})
    {
        auto outboxHere = std::make_unique<TestOutbox>(folder.isEmpty() ? dir.path() : folder, kRoomy);
        auto linkHere = std::make_unique<FakeMqttLink>(QStringLiteral("b"));
        outbox = outboxHere.get();
        link = linkHere.get();
        MqttSink::Options options;
        options.board = QStringLiteral("b");
        options.brokerText = QStringLiteral("broker:1883");
        options.discovery = discovery;
        sink = std::make_unique<MqttSink>(options, std::move(outboxHere), std::move(linkHere));
        QObject::connect(sink.get(), &Sink::failing, [this] { said << QStringLiteral("failing"); });
        QObject::connect(sink.get(), &Sink::recovered, [this] { said << QStringLiteral("recovered"); });
        sink->start();
    }

    void take(int sensor, std::optional<double> celsius, const QString& name = {})
    {
        ++taken;
        Reading reading;
        reading.time = kStart.addSecs(taken);
        reading.roundStart = reading.time;
        reading.sensor = sensor;
        reading.name = name;
        reading.celsius = celsius;
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
    int taken = 0;
};

} // namespace

class MqttSinkTest : public QObject
{
    Q_OBJECT

private slots:
    void deliveries_data();
    void deliveries();
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

    QTest::newRow("discovery: subscribed to Home Assistant's status; a sensor announced when first read")
        << true << QStringList{"up", "take 1 20", "take 1 21"}
        << QStringList{"subscribe homeassistant/status 1",
                       "status online",
                       "s1 20 @1",
                       "config s1 Sensor 1",
                       "remove s1_high",
                       "remove s1_low",
                       "config s1_lost Sensor 1 not answering",
                       "s1 21 @2"}
        << qint64(2) << none;
    QTest::newRow("discovery: named sensors with limits announced on connecting, before any reading")
        << true << QStringList{"profile 3 Boiler high low", "profile 4 Loft high", "up"}
        << QStringList{"subscribe homeassistant/status 1",
                       "status online",
                       "config s3 Boiler",
                       "config s3_high Boiler too hot",
                       "config s3_low Boiler too cold",
                       "config s3_lost Boiler not answering",
                       "config s4 Loft",
                       "config s4_high Loft too hot",
                       "remove s4_low",
                       "config s4_lost Loft not answering"}
        << qint64(0) << none;
    QTest::newRow("discovery: Home Assistant back online hears everything again; offline, nothing")
        << true << QStringList{"up", "take 2 20", "ha offline", "ha online"}
        << QStringList{"subscribe homeassistant/status 1",
                       "status online",
                       "s2 20 @1",
                       "config s2 Sensor 2",
                       "remove s2_high",
                       "remove s2_low",
                       "config s2_lost Sensor 2 not answering",
                       "config s2 Sensor 2",
                       "remove s2_high",
                       "remove s2_low",
                       "config s2_lost Sensor 2 not answering"}
        << qint64(1) << none;
    QTest::newRow("discovery: a renamed sensor announced again under the same id and topic")
        << true << QStringList{"up", "take 1 20", "take 1 21 Boiler", "take 1 22 Boiler"}
        << QStringList{"subscribe homeassistant/status 1",
                       "status online",
                       "s1 20 @1",
                       "config s1 Sensor 1",
                       "remove s1_high",
                       "remove s1_low",
                       "config s1_lost Sensor 1 not answering",
                       "s1 21 @2",
                       "config s1 Boiler",
                       "remove s1_high",
                       "remove s1_low",
                       "config s1_lost Boiler not answering",
                       "s1 22 @3"}
        << qint64(3) << none;

    QTest::newRow("alarms: published as they change, and again on every connection")
        << false << QStringList{"up", "alarm 1 high on", "lose", "alarm 2 lost on", "up", "alarm 1 high off"}
        << QStringList{"status online",    "alarm s1 high ON", "status online",
                       "alarm s1 high ON", "alarm s2 lost ON", "alarm s1 high OFF"}
        << qint64(0) << QStringList{"failing", "recovered"};

    QTest::newRow("a clean stop: acknowledged removed, offline said, then goodbye")
        << false << QStringList{"up", "take 1 1", "take 1 2", "ack 2 and stop", "take 1 3"}
        << QStringList{"status online", "s1 1 @1", "s1 2 @2", "status offline", "goodbye"} << qint64(1)
        << none;
    QTest::newRow("a stop while away: nothing to say, the readings kept")
        << false << QStringList{"refused", "take 1 1", "stop"} << QStringList{"goodbye"} << qint64(1)
        << QStringList{"failing"};
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
            rig.take(words[1].toInt(), value, words.mid(3).join(u' '));
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
            rig.sink->setSensorProfile(words[1].toInt(), words[2], words.contains(QStringLiteral("high")),
                                       words.contains(QStringLiteral("low")));
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
    Rig rig(false, folder);
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
