// SPDX-License-Identifier: MIT
#include "support/MosquittoBroker.h"

#include "BrokerSource.h"
#include "MonitorWindow.h"
#include "MqttClient.h"
#include "ReadingStore.h"

#include <QAction>
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

// A reading as the tests compare it: "time celsius|none "reply" error|-".
QString described(const Reading& reading)
{
    return QStringLiteral("%1 %2 \"%3\" %4")
        .arg(reading.time.toString(Qt::ISODateWithMs),
             reading.celsius ? QString::number(*reading.celsius) : QStringLiteral("none"), reading.text,
             reading.error ? readErrorName(*reading.error) : QStringLiteral("-"));
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
    void readingsComeInOrderAndNoneTwiceAfterALostConnection();
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
    QTest::newRow("not JSON") << QByteArray("23.5") << "is not a reading (not JSON";
    QTest::newRow("no time") << QByteArray(R"({"celsius":23.5,"reply":"T3 = +23.50 °C"})")
                             << "is not a reading (no \"time\"";
    QTest::newRow("a value as text")
        << QByteArray(R"({"time":"2024-05-06T08:00:02.000Z","celsius":"23.5","reply":""})")
        << "is not a reading (\"celsius\" is not a number)";
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
