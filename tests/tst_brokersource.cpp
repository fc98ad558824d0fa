// SPDX-License-Identifier: MIT
#include "support/MosquittoBroker.h"

#include "BrokerSource.h"
#include "Error.h"
#include "LogParser.h"
#include "MonitorWindow.h"
#include "MqttClient.h"
#include "ReadingLog.h"
#include "ReadingStore.h"

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace calimbra;

namespace {

constexpr int kWaitMs = 15000;

MqttUrl urlOf(const MosquittoBroker& broker)
{
    return MqttUrl::parse(QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()));
}

// Publishes as the board's logging service would, and keeps what it published.
class Service
{
public:
    explicit Service(const MosquittoBroker& broker) : client_(MqttClient::Settings::fromUrl(urlOf(broker)))
    {
        client_.start();
    }

    bool connected()
    {
        return client_.isConnected() || QSignalSpy(&client_, &MqttClient::connected).wait(kWaitMs);
    }

    // Returns once the broker has it.
    bool publish(const QString& topic, const QByteArray& payload, bool retain = true)
    {
        QSignalSpy published(&client_, &MqttClient::published);
        const auto mid = client_.publish(topic, payload, 1, retain);
        if (!mid)
            return false;
        sent_ << topic + u' ' + QString::fromUtf8(payload);
        return QTest::qWaitFor([&] { return published.contains({*mid}); }, kWaitMs);
    }

    [[nodiscard]] const QStringList& sent() const { return sent_; }

private:
    MqttClient client_;
    QStringList sent_;
};

QByteArray readingJson(const QDateTime& time, std::optional<double> celsius, const QString& reply = {})
{
    QByteArray json = "{\"time\":\"" + time.toString(Qt::ISODateWithMs).toUtf8() + '"';
    if (celsius)
        json += ",\"celsius\":" + QByteArray::number(*celsius);
    return json + ",\"reply\":\"" + reply.toUtf8() + "\"}";
}

// A reading as the tests compare it: "time celsius|none "reply" error|-", and its name when it has one.
QString described(const Reading& reading)
{
    return QStringLiteral("%1 %2 \"%3\" %4%5")
        .arg(reading.time.toString(Qt::ISODateWithMs),
             reading.celsius ? QString::number(*reading.celsius) : QStringLiteral("none"), reading.text,
             reading.error ? readErrorName(*reading.error) : QStringLiteral("-"),
             reading.name.isEmpty() ? QString() : QStringLiteral(" ") + reading.name);
}

QList<Reading> readingsOf(const QSignalSpy& spy)
{
    QList<Reading> readings;
    for (const QList<QVariant>& arguments : spy)
        readings << arguments.first().value<Reading>();
    return readings;
}

} // namespace

class BrokerSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void boardsAndNamesAreListedAndNothingIsPublished();
    void readingsAreTakenAsTheServiceWritesThem_data();
    void readingsAreTakenAsTheServiceWritesThem();
    void aReadingIsTheSameWhicheverWayItCame();
    void whatIsBeyondABoundIsLeftOutAndSaidOnce_data();
    void whatIsBeyondABoundIsLeftOutAndSaidOnce();
    void boardsAreListedUpToABound();
    void namesComeUnderTheServicesDiscoveryPrefix();
    void readingsComeInOrderAndNoneTwiceAfterALostConnection();
    void readingsPublishedWhileTheMonitorIsAwayComeOnceItIsBack();
    void anOfflineBoardIsAGapInTheWindow();

private:
    std::unique_ptr<MosquittoBroker> broker_;
};

void BrokerSourceTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    qRegisterMetaType<Reading>();
    qRegisterMetaType<AlarmEvent>();
    broker_ = std::make_unique<MosquittoBroker>();
}

void BrokerSourceTest::boardsAndNamesAreListedAndNothingIsPublished()
{
    MosquittoBroker broker;
    MosquittoSubscriber everything(broker, QStringLiteral("#"));
    Service service(broker);
    QVERIFY(service.connected());
    const QDateTime time = QDateTime::currentDateTime().addSecs(-10);
    QVERIFY(service.publish("calimbra/lab/status", "online"));
    QVERIFY(service.publish("calimbra/attic/status", "offline"));
    QVERIFY(service.publish("homeassistant/sensor/calimbra_lab_s2/config",
                            R"({"name":"Freezer","state_topic":"calimbra/lab/sensor/2"})"));
    QVERIFY(service.publish("homeassistant/sensor/calimbra_lab_s1/config",
                            R"({"name":"Sensor 1","state_topic":"calimbra/lab/sensor/1"})"));
    QVERIFY(service.publish("calimbra/lab/sensor/2", readingJson(time, -18.5, "T2 = -18.50 °C")));
    QVERIFY(service.publish("calimbra/attic/sensor/1", readingJson(time, 30, "T1 = +30.00 °C")));

    BrokerSource source;
    QSignalSpy readings(&source, &BrokerSource::readingReceived);
    QSignalSpy availability(&source, &BrokerSource::availabilityChanged);
    source.follow(QStringLiteral("lab"));
    source.start(urlOf(broker));
    QTRY_COMPARE_WITH_TIMEOUT(source.boards(), (QList<BrokerSource::Board>{{"attic", false}, {"lab", true}}),
                              kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 1, kWaitMs);
    // Only the followed board's readings, named as its discovery names them.
    const Reading kept = readingsOf(readings).first();
    QCOMPARE(kept.sensor, 2);
    QCOMPARE(kept.name, QStringLiteral("Freezer"));
    QCOMPARE(source.online(), std::optional<bool>(true));

    // A sensor without a name is its number; the service's stand-in name is not taken for one.
    QVERIFY(service.publish("calimbra/lab/sensor/1", readingJson(time.addSecs(1), 20.25), false));
    QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 2, kWaitMs);
    QCOMPARE(readingsOf(readings).last().name, QString());

    QVERIFY(service.publish("calimbra/lab/status", "offline"));
    QTRY_COMPARE_WITH_TIMEOUT(availability.size(), 2, kWaitMs);
    QCOMPARE(availability.first().first().toBool(), true); // as the broker kept it
    QCOMPARE(availability.last().first().toBool(), false);
    QCOMPARE(source.boards(), (QList<BrokerSource::Board>{{"attic", false}, {"lab", false}}));

    // Another board: its own readings, the broker's kept one first.
    source.follow(QStringLiteral("attic"));
    QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 3, kWaitMs);
    QCOMPARE(readingsOf(readings).last().text, QStringLiteral("T1 = +30.00 °C"));

    // The monitor listens only: what crossed the broker is what the service sent.
    QVERIFY(service.publish("calimbra/lab/status", "online"));
    QVERIFY(everything.waitForMessages(service.sent().size()));
    QStringList crossed = everything.messages();
    for (QString& message : crossed)
        message.remove(QRegularExpression(QStringLiteral(" retained$")));
    QCOMPARE(crossed, service.sent());
}

void BrokerSourceTest::readingsAreTakenAsTheServiceWritesThem_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("taken"); // described(), or the notice said instead

    QTest::newRow("a value, the time in its own offset")
        << QByteArray(R"({"time":"2024-05-06T10:00:00.250+02:00","celsius":23.56,"reply":"T3 = +23.56 °C"})")
        << "2024-05-06T10:00:00.250+02:00 23.56 \"T3 = +23.56 °C\" -";
    QTest::newRow("below zero, west of Greenwich")
        << QByteArray(R"({"time":"2024-07-01T23:59:59.999-03:00","celsius":-0.07,"reply":"T3 = -00.07 °C"})")
        << "2024-07-01T23:59:59.999-03:00 -0.07 \"T3 = -00.07 °C\" -";
    QTest::newRow("no reply in time")
        << QByteArray(R"({"time":"2024-05-06T08:00:01.000Z","reply":"","error":"timeout"})")
        << "2024-05-06T08:00:01.000Z none \"\" timeout";
    QTest::newRow("85 °C at power-on: the reply kept, no value")
        << QByteArray(R"({"time":"2024-05-06T08:00:02.000Z","reply":"T3 = +85.00 °C","error":"power_on"})")
        << "2024-05-06T08:00:02.000Z none \"T3 = +85.00 °C\" power_on";
    QTest::newRow("as a JSON Lines log holds it, named")
        << QByteArray(R"({"celsius":-18.5,"name":"Freezer","reply":"T3 = -18.50 °C","round":)"
                      R"("2024-05-06T10:00:00.000+02:00","sensor":3,"time":"2024-05-06T10:00:00.250+02:00"})")
        << "2024-05-06T10:00:00.250+02:00 -18.5 \"T3 = -18.50 °C\" - Freezer";
    QTest::newRow("no value, as a JSON Lines log holds it")
        << QByteArray(
               R"({"celsius":null,"error":"timeout","reply":"","sensor":3,"time":"2024-05-06T08:00:01.000Z"})")
        << "2024-05-06T08:00:01.000Z none \"\" timeout";
    QTest::newRow("a value as text, with a decimal comma, as the log reader takes it")
        << QByteArray(R"({"time":"2024-05-06T08:00:02.000Z","celsius":"23,5","reply":""})")
        << "2024-05-06T08:00:02.000Z 23.5 \"\" -";
    QTest::newRow("not JSON") << QByteArray("23.5") << "is not a reading as a Calimbra service writes it";
    QTest::newRow("no time") << QByteArray(R"({"celsius":23.5,"reply":"T3 = +23.50 °C"})")
                             << "is not a reading as a Calimbra service writes it";
    QTest::newRow("a value that is no number")
        << QByteArray(R"({"time":"2024-05-06T08:00:02.000Z","celsius":"warm","reply":""})")
        << "is not a reading as a Calimbra service writes it";
    QTest::newRow("another sensor's reading on this one's topic")
        << QByteArray(R"({"time":"2024-05-06T08:00:02.000Z","sensor":4,"celsius":20,"reply":""})")
        << "is not a reading as a Calimbra service writes it";
}

void BrokerSourceTest::readingsAreTakenAsTheServiceWritesThem()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, taken);

    // A board of its own for each row, so that no row is handed another's kept reading.
    static int rows = 0;
    const QString board = QStringLiteral("row%1").arg(++rows);
    Service service(*broker_);
    QVERIFY(service.connected());
    QVERIFY(service.publish(QStringLiteral("calimbra/%1/sensor/3").arg(board), payload));

    BrokerSource source;
    QSignalSpy readings(&source, &BrokerSource::readingReceived);
    QSignalSpy notices(&source, &BrokerSource::notice);
    source.follow(board);
    source.start(urlOf(*broker_));
    QTRY_VERIFY_WITH_TIMEOUT(!readings.isEmpty() || !notices.isEmpty(), kWaitMs);
    if (!notices.isEmpty()) {
        const QString notice = notices.first().first().toString();
        QVERIFY2(notice.contains(taken), qPrintable(notice));
        QVERIFY(notice.contains(QStringLiteral("calimbra/%1/sensor/3").arg(board)));
        return;
    }
    const Reading reading = readingsOf(readings).first();
    QCOMPARE(reading.sensor, 3);
    QCOMPARE(described(reading), taken);
}

void BrokerSourceTest::aReadingIsTheSameWhicheverWayItCame()
{
    Reading sent;
    sent.time = QDateTime::fromMSecsSinceEpoch(1'714'982'400'250, Qt::OffsetFromUTC, -3 * 3600);
    sent.roundStart = sent.time.addMSecs(-250);
    sent.sensor = 7;
    sent.name = QStringLiteral("Caf\u00E9 \"Nord\"");
    sent.text = QStringLiteral("T7 = +85.00 \u00B0C");
    sent.error = ReadError::PowerOn;

    // From a JSON Lines log, as the log reader reads it back.
    std::optional<Reading> fromLog;
    LogParser parser([&](const LogRecord& record) { fromLog = toReading(record); });
    parser.feed(formatReading(sent, LogFormat::JsonLines));
    QVERIFY(fromLog);

    // From the broker, as the service publishes it.
    Service service(*broker_);
    QVERIFY(service.connected());
    QVERIFY(service.publish(QStringLiteral("calimbra/sameway/sensor/7"), readingJson(sent)));
    BrokerSource source;
    QSignalSpy readings(&source, &BrokerSource::readingReceived);
    source.follow(QStringLiteral("sameway"));
    source.start(urlOf(*broker_));
    QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 1, kWaitMs);
    const Reading fromBroker = readingsOf(readings).first();

    for (const Reading& got : {*fromLog, fromBroker}) {
        QCOMPARE(got.time, sent.time);
        QCOMPARE(got.time.offsetFromUtc(), sent.time.offsetFromUtc());
        QCOMPARE(got.roundStart, sent.roundStart);
        QCOMPARE(got.sensor, sent.sensor);
        QCOMPARE(got.name, sent.name);
        QCOMPARE(got.text, sent.text);
        QCOMPARE(got.celsius, sent.celsius);
        QCOMPARE(got.error, sent.error);
    }
}

void BrokerSourceTest::whatIsBeyondABoundIsLeftOutAndSaidOnce_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("said");  // in the one notice; empty: none, the message taken
    QTest::addColumn<QString>("taken"); // "named N", "read N celsius name", or empty

    const auto config = [](const QString& name, const QByteArray& board = "lab") {
        return QJsonDocument(
                   QJsonObject{{"name", name},
                               {"state_topic", "calimbra/" + QString::fromUtf8(board) + "/sensor/1"}})
            .toJson(QJsonDocument::Compact);
    };
    const auto reading = [](const QByteArray& celsius, const QString& name = {}) {
        return "{\"time\":\"2024-05-06T08:00:00.000Z\",\"sensor\":1,\"celsius\":" + celsius +
               ",\"reply\":\"T1\",\"name\":" +
               QJsonDocument(QJsonArray{name}).toJson(QJsonDocument::Compact).mid(1).chopped(1) + "}";
    };
    const QString discovery = QStringLiteral("homeassistant/sensor/calimbra_lab_s1/config");
    const QString readings = QStringLiteral("calimbra/lab/sensor/1");
    // U+1F321, a thermometer: two UTF-16 units, one character.
    const QString thermometer = QString::fromUcs4(U"\U0001F321", 1);

    QTest::newRow("a sensor's name of 100 KB") << discovery << config(QString(100'000, u'x')) << "bytes"
                                               << "";
    QTest::newRow("a name one character too long")
        << discovery << config(QString(SensorProfile::kLongestName + 1, u'x')) << "characters long"
        << "";
    QTest::newRow("the longest name, in characters of two units each")
        << discovery << config(thermometer.repeated(SensorProfile::kLongestName)) << ""
        << QStringLiteral("named 1 %1").arg(SensorProfile::kLongestName * 2);
    QTest::newRow("a topic too long") << "calimbra/" + QString(BrokerSource::kLongestTopic, u'b') + "/status"
                                      << QByteArray("online") << "topic of"
                                      << "";
    QTest::newRow("a board's name with a space")
        << "calimbra/lab 2/status" << QByteArray("online") << "board's name"
        << "";
    QTest::newRow("a board's name with a dot, in discovery")
        << "homeassistant/sensor/calimbra_lab.2_s1/config" << config("Boiler", "lab.2") << "board's name"
        << "";
    QTest::newRow("a value far above any sensor's") << readings << reading("1e6") << "outside"
                                                    << "";
    QTest::newRow("a value far below") << readings << reading("-300") << "outside"
                                       << "";
    QTest::newRow("the hottest a DS18B20 gives") << readings << reading("125") << ""
                                                 << "read 1 125 ";
    QTest::newRow("the coldest") << readings << reading("-55") << ""
                                 << "read 1 -55 ";
    QTest::newRow("a reading whose name is too long: the name left out")
        << readings << reading("20", QString(SensorProfile::kLongestName + 1, u'n')) << "the name is left out"
        << "read 1 20 ";
    QTest::newRow("a reading of 9 KiB") << readings << reading("20", QString(9 * 1024, u'n')) << "bytes"
                                        << "";
}

void BrokerSourceTest::whatIsBeyondABoundIsLeftOutAndSaidOnce()
{
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    QFETCH(QString, said);
    QFETCH(QString, taken);

    MosquittoBroker broker;
    Service service(broker);
    QVERIFY(service.connected());
    BrokerSource source;
    QStringList got;
    QObject::connect(&source, &BrokerSource::sensorNamed, [&](int sensor, const QString& name) {
        got << QStringLiteral("named %1 %2").arg(sensor).arg(name.size());
    });
    QObject::connect(&source, &BrokerSource::readingReceived, [&](const Reading& reading) {
        got << QStringLiteral("read %1 %2 %3").arg(reading.sensor).arg(*reading.celsius).arg(reading.name);
    });
    QSignalSpy notices(&source, &BrokerSource::notice);
    QSignalSpy alarms(&source, &BrokerSource::alarmChanged);
    // Once an alarm kept on the broker has come, every subscription is in place (the alarms' last).
    QVERIFY(service.publish("calimbra/lab/sensor/9/alarm/lost", "ON"));
    source.follow(QStringLiteral("lab"));
    source.start(urlOf(broker));
    QTRY_COMPARE_WITH_TIMEOUT(alarms.size(), 1, kWaitMs);

    // Twice, then one the monitor takes: Mosquitto hands one client's messages over in their order.
    QVERIFY(service.publish(topic, payload, false));
    QVERIFY(service.publish(topic, payload, false));
    QVERIFY(service.publish("calimbra/lab/sensor/9/alarm/lost", "OFF", false));
    QTRY_COMPARE_WITH_TIMEOUT(alarms.size(), 2, kWaitMs);

    QCOMPARE(got, taken.isEmpty() ? QStringList() : QStringList{taken});
    if (said.isEmpty()) {
        QCOMPARE(notices.size(), 0);
        return;
    }
    QCOMPARE(notices.size(), 1);
    const QString notice = notices.first().first().toString();
    QVERIFY2(notice.contains(said), qPrintable(notice));
    // Said fit for a window: no 100 KB of it.
    QVERIFY2(notice.size() < 400, qPrintable(notice));
    QCOMPARE(source.boards(), QList<BrokerSource::Board>());
}

void BrokerSourceTest::boardsAreListedUpToABound()
{
    MosquittoBroker broker;
    Service service(broker);
    QVERIFY(service.connected());
    BrokerSource source;
    QSignalSpy notices(&source, &BrokerSource::notice);
    QSignalSpy alarms(&source, &BrokerSource::alarmChanged);
    QVERIFY(service.publish("calimbra/lab/sensor/9/alarm/lost", "ON"));
    source.follow(QStringLiteral("lab"));
    source.start(urlOf(broker));
    QTRY_COMPARE_WITH_TIMEOUT(alarms.size(), 1, kWaitMs);

    for (qsizetype n = 0; n < BrokerSource::kMostBoards + 10; ++n)
        QVERIFY(service.publish(QStringLiteral("calimbra/b%1/status").arg(n), "online", false));
    QVERIFY(service.publish("calimbra/lab/sensor/9/alarm/lost", "OFF", false));
    QTRY_COMPARE_WITH_TIMEOUT(alarms.size(), 2, kWaitMs);
    QCOMPARE(source.boards().size(), BrokerSource::kMostBoards);
    QCOMPARE(notices.size(), 1);
}

void BrokerSourceTest::namesComeUnderTheServicesDiscoveryPrefix()
{
    MosquittoBroker broker;
    Service service(broker);
    QVERIFY(service.connected());
    QVERIFY(service.publish("ha/disc/sensor/calimbra_lab_s2/config",
                            R"({"name":"Freezer","state_topic":"calimbra/lab/sensor/2"})"));
    QVERIFY(service.publish("homeassistant/sensor/calimbra_lab_s3/config",
                            R"({"name":"Cellar","state_topic":"calimbra/lab/sensor/3"})"));

    BrokerSource source;
    QVERIFY_THROWS_EXCEPTION(Error, source.setDiscoveryPrefix(QStringLiteral("ha/#")));
    source.setDiscoveryPrefix(QStringLiteral("ha/disc"));
    QCOMPARE(source.discoveryPrefix(), QStringLiteral("ha/disc"));
    QStringList named;
    QObject::connect(&source, &BrokerSource::sensorNamed, [&](int sensor, const QString& name) {
        named << QStringLiteral("%1 %2").arg(sensor).arg(name);
    });
    source.follow(QStringLiteral("lab"));
    source.start(urlOf(broker));
    QTRY_COMPARE_WITH_TIMEOUT(named, QStringList{"2 Freezer"}, kWaitMs);

    // Changed while running: the names under the other prefix.
    source.setDiscoveryPrefix(QStringLiteral("homeassistant"));
    QTRY_COMPARE_WITH_TIMEOUT(named, (QStringList{"2 Freezer", "3 Cellar"}), kWaitMs);
}

void BrokerSourceTest::readingsComeInOrderAndNoneTwiceAfterALostConnection()
{
    MosquittoBroker::Options options;
    options.persistence = true; // the kept reading survives the broker's restart
    MosquittoBroker broker(options);
    Service service(broker);
    QVERIFY(service.connected());
    const QDateTime start = QDateTime::currentDateTime().addSecs(-60);
    QVERIFY(service.publish("calimbra/lab/sensor/5", readingJson(start, 20)));

    BrokerSource source;
    QSignalSpy readings(&source, &BrokerSource::readingReceived);
    QSignalSpy alarms(&source, &BrokerSource::alarmChanged);
    QSignalSpy connections(&source, &BrokerSource::connected);
    source.follow(QStringLiteral("lab"));
    source.start(urlOf(broker));
    QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 1, kWaitMs);
    // As they come, a backlog's older ones too: the store puts those in place.
    const QList<int> seconds = {10, 20, 5, 30};
    for (const int second : seconds)
        QVERIFY(service.publish("calimbra/lab/sensor/5", readingJson(start.addSecs(second), 20 + second)));
    QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 1 + seconds.size(), kWaitMs);
    QList<int> arrived;
    for (const Reading& reading : readingsOf(readings))
        arrived << static_cast<int>(start.secsTo(reading.time));
    QCOMPARE(arrived, (QList<int>{0, 10, 20, 5, 30}));

    // The broker restarts: the monitor connects again and is handed the kept reading once more.
    broker.stop();
    broker.start();
    QTRY_COMPARE_WITH_TIMEOUT(connections.size(), 2, kWaitMs);
    QVERIFY(service.connected());
    // The alarms' topics are subscribed after the readings', so this one comes after the kept reading.
    QVERIFY(service.publish("calimbra/lab/sensor/5/alarm/high", "ON"));
    QTRY_COMPARE_WITH_TIMEOUT(alarms.size(), 1, kWaitMs);
    QCOMPARE(readings.size(), 1 + seconds.size());
    const auto raised = alarms.first().first().value<AlarmEvent>();
    QCOMPARE(raised.kind, AlarmKind::High);
    QVERIFY(raised.raised);
    QCOMPARE(raised.celsius, std::optional<double>(50));
}

void BrokerSourceTest::readingsPublishedWhileTheMonitorIsAwayComeOnceItIsBack()
{
    MosquittoBroker::Options options;
    options.persistence = true; // the monitor's session survives the broker's restart
    MosquittoBroker broker(options);
    auto service = std::make_unique<Service>(broker);
    QVERIFY(service->connected());
    const QDateTime start = QDateTime::currentDateTime().addSecs(-60);
    QVERIFY(service->publish("calimbra/lab/sensor/5", readingJson(start, 20)));

    BrokerSource source;
    source.setMonitorId(QStringLiteral("m0nitor-1"));
    QSignalSpy readings(&source, &BrokerSource::readingReceived);
    source.follow(QStringLiteral("lab"));
    source.start(urlOf(broker));
    QTRY_COMPARE_WITH_TIMEOUT(readings.size(), 1, kWaitMs);

    // The monitor goes away, the broker restarts, and the service publishes meanwhile (what its
    // outbox replays after a loss comes the same way).
    source.stop();
    service.reset();
    broker.stop();
    broker.start();
    service = std::make_unique<Service>(broker);
    QVERIFY(service->connected());
    for (const int second : {10, 20, 30})
        QVERIFY(service->publish("calimbra/lab/sensor/5", readingJson(start.addSecs(second), 20 + second)));

    // Back: what came meanwhile, each once, though the last is also the one the broker keeps. The
    // reading taken before may come again too: a broker hands over once more a message whose
    // acknowledgement it had not taken when the monitor left (at least once, as QoS 1 promises).
    const auto arrived = [&] {
        QList<int> seconds;
        for (const Reading& reading : readingsOf(readings))
            seconds << static_cast<int>(start.secsTo(reading.time));
        seconds.removeAll(0);
        return seconds;
    };
    readings.clear();
    source.start(urlOf(broker));
    QTRY_COMPARE_WITH_TIMEOUT(arrived(), (QList<int>{10, 20, 30}), kWaitMs);
    // The service sends one again, as after a loss it sends what it was not sure the broker had.
    QVERIFY(service->publish("calimbra/lab/sensor/5", readingJson(start.addSecs(20), 40)));
    QVERIFY(service->publish("calimbra/lab/sensor/5", readingJson(start.addSecs(40), 60), false));
    QTRY_COMPARE_WITH_TIMEOUT(arrived(), (QList<int>{10, 20, 30, 40}), kWaitMs);
    QVERIFY(readingsOf(readings).size() <= 5);
}

void BrokerSourceTest::anOfflineBoardIsAGapInTheWindow()
{
    MosquittoBroker broker;
    Service service(broker);
    QVERIFY(service.connected());
    const QDateTime start = QDateTime::currentDateTime().addSecs(-20);
    QVERIFY(service.publish("calimbra/lab/status", "online"));
    QVERIFY(service.publish("calimbra/lab/sensor/1", readingJson(start, 20.5, "T1 = +20.50 °C")));

    MonitorWindow window;
    window.show();
    window.useBroker(urlOf(broker).display(), QStringLiteral("lab"));
    window.findChild<QAction*>(QStringLiteral("actionStart"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(window.store().size(1), std::size_t{1}, kWaitMs);
    QVERIFY(service.publish("calimbra/lab/sensor/1", readingJson(start.addSecs(1), 20.75), false));
    QTRY_COMPARE_WITH_TIMEOUT(window.store().size(1), std::size_t{2}, kWaitMs);

    // The service stops and comes back.
    QVERIFY(service.publish("calimbra/lab/status", "offline"));
    QTRY_COMPARE_WITH_TIMEOUT(window.broker().online(), std::optional<bool>(false), kWaitMs);
    QVERIFY(service.publish("calimbra/lab/status", "online"));
    QVERIFY(service.publish("calimbra/lab/sensor/1", readingJson(QDateTime::currentDateTime(), 21), false));
    QTRY_COMPARE_WITH_TIMEOUT(window.store().size(1), std::size_t{3}, kWaitMs);

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(window.store().decimated(1, now - 60'000, now + 1000, 500).size(), 2);
}

QTEST_MAIN(BrokerSourceTest)
#include "tst_brokersource.moc"
