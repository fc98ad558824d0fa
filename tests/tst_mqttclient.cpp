// SPDX-License-Identifier: MIT
#include "support/MosquittoBroker.h"

#include "Error.h"
#include "MqttClient.h"
#include "MqttUrl.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <set>

using namespace calimbra;

namespace {

constexpr int kConnectWaitMs = 15000;

MqttClient::Settings settingsFor(const MosquittoBroker& broker)
{
    MqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    return settings;
}

// Everything a client says, in order, as text.
class Transcript : public QObject
{
public:
    explicit Transcript(MqttClient& client)
    {
        connect(&client, &MqttClient::connected, this, [this] { events << QStringLiteral("connected"); });
        connect(&client, &MqttClient::disconnected, this, [this](const QString& reason) {
            events << QStringLiteral("disconnected");
            reasons << reason;
        });
        connect(&client, &MqttClient::retrying, this,
                [this](std::chrono::seconds delay, const QString& reason) {
                    events << QStringLiteral("retrying %1").arg(delay.count());
                    retryReasons << reason;
                });
        connect(&client, &MqttClient::messageReceived, this,
                [this](const QString& topic, const QByteArray& payload, bool retained) {
                    messages << topic + u' ' + QString::fromUtf8(payload) +
                                    (retained ? QStringLiteral(" retained") : QString());
                });
    }

    [[nodiscard]] qsizetype count(const QString& event) const { return events.count(event); }
    [[nodiscard]] QList<qint64> retryDelays() const
    {
        QList<qint64> delays;
        for (const QString& event : events) {
            if (event.startsWith(QLatin1String("retrying ")))
                delays << event.mid(9).toLongLong();
        }
        return delays;
    }

    QStringList events;
    QStringList reasons;
    QStringList retryReasons;
    QStringList messages;
};

bool waitForConnection(MqttClient& client, const Transcript& transcript, qsizetype times = 1)
{
    return QTest::qWaitFor([&] { return transcript.count(QStringLiteral("connected")) >= times; },
                           kConnectWaitMs) &&
           client.isConnected();
}

bool waitForAcknowledgement(MqttClient& client, const std::optional<int>& mid)
{
    QSignalSpy published(&client, &MqttClient::published);
    return mid && QTest::qWaitFor([&] {
               return std::any_of(published.begin(), published.end(), [&](const QList<QVariant>& arguments) {
                   return arguments.at(0).toInt() == *mid;
               });
           });
}

} // namespace

class MqttClientTest : public QObject
{
    Q_OBJECT

private slots:
    void parsesUrls_data();
    void parsesUrls();
    void rejectsUrls_data();
    void rejectsUrls();
    void acknowledgesEveryMessage_data();
    void acknowledgesEveryMessage();
    void retainedMessageReachesLaterSubscriber();
    void reconnectsAfterOutage();
    void keepsTheSessionOnlyWhenAsked_data();
    void keepsTheSessionOnlyWhenAsked();
    void aPersistentSessionNeedsAClientId();
    void saysWhyItCannotConnect_data();
    void saysWhyItCannotConnect();
    void checksTheBrokersCertificate_data();
    void checksTheBrokersCertificate();
    void willOnlyWhenTheProcessDies_data();
    void willOnlyWhenTheProcessDies();
    void saysGoodbyeToAStalledBroker();
};

void MqttClientTest::parsesUrls_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("display");

    QTest::newRow("host") << "mqtt://broker.local"
                          << "broker.local" << 1883 << false << ""
                          << ""
                          << "mqtt://broker.local:1883";
    QTest::newRow("port and slash") << "mqtt://broker.local:1884/"
                                    << "broker.local" << 1884 << false << ""
                                    << ""
                                    << "mqtt://broker.local:1884";
    QTest::newRow("tls default port") << "mqtts://broker.local"
                                      << "broker.local" << 8883 << true << ""
                                      << ""
                                      << "mqtts://broker.local:8883";
    QTest::newRow("scheme in capitals") << "MQTTS://Broker:9000"
                                        << "Broker" << 9000 << true << ""
                                        << ""
                                        << "mqtts://Broker:9000";
    QTest::newRow("ipv6") << "mqtt://[fd00::2]:1885"
                          << "fd00::2" << 1885 << false << ""
                          << ""
                          << "mqtt://[fd00::2]:1885";
    QTest::newRow("user only") << "mqtt://alice@h"
                               << "h" << 1883 << false << "alice"
                               << ""
                               << "mqtt://alice@h:1883";
    QTest::newRow("login") << "mqtt://alice:s3cret@h:1"
                           << "h" << 1 << false << "alice"
                           << "s3cret"
                           << "mqtt://alice:***@h:1";
    QTest::newRow("empty password") << "mqtt://alice:@h"
                                    << "h" << 1883 << false << "alice"
                                    << ""
                                    << "mqtt://alice@h:1883";
    QTest::newRow("escapes") << "mqtt://al%40ice:p%3Ass%25@[::1]"
                             << "::1" << 1883 << false << "al@ice"
                             << "p:ss%"
                             << "mqtt://al%40ice:***@[::1]:1883";
    QTest::newRow("unescaped @ and / in password") << "mqtts://bob:p@ss/w@h"
                                                   << "h" << 8883 << true << "bob"
                                                   << "p@ss/w"
                                                   << "mqtts://bob:***@h:8883";
    QTest::newRow("utf-8 password") << "mqtt://bob:%C3%A9t%C3%A9@h"
                                    << "h" << 1883 << false << "bob"
                                    << "\u00E9t\u00E9"
                                    << "mqtt://bob:***@h:1883";
}

void MqttClientTest::parsesUrls()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, tls);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, display);

    const MqttUrl url = MqttUrl::parse(text);
    QCOMPARE(url.host, host);
    QCOMPARE(url.port, port);
    QCOMPARE(url.tls, tls);
    QCOMPARE(url.user, user);
    QCOMPARE(url.password, password);
    QCOMPARE(url.display(), display);
}

void MqttClientTest::rejectsUrls_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("fault");

    QTest::newRow("no scheme") << "bob:secret@broker.local"
                               << "bob:***@broker.local"
                               << "does not begin with mqtt:// or mqtts://";
    QTest::newRow("other scheme") << "http://broker.local"
                                  << "http://broker.local"
                                  << "does not begin with mqtt:// or mqtts://";
    QTest::newRow("no host") << "mqtt://"
                             << "mqtt://"
                             << "the host is missing";
    QTest::newRow("no host after login") << "mqtt://bob:secret@"
                                         << "mqtt://bob:***@"
                                         << "the host is missing";
    QTest::newRow("empty user") << "mqtt://:secret@h"
                                << "mqtt://:***@h"
                                << "the user name before \"@\" is empty";
    QTest::newRow("stray % in password") << "mqtt://bob:secret%@h"
                                         << "mqtt://bob:***@h"
                                         << "the password has a \"%\" not followed by two hex digits";
    QTest::newRow("escape not utf-8") << "mqtt://b%FFb@h"
                                      << "mqtt://b%FFb@h"
                                      << "the user name has a \"%\" not followed by two hex digits of UTF-8";
    QTest::newRow("path") << "mqtt://bob:secret@h:1883/readings"
                          << "mqtt://bob:***@h:1883/readings"
                          << "nothing may follow the host and port but a single \"/\"";
    QTest::newRow("two slashes") << "mqtt://h//"
                                 << "mqtt://h//"
                                 << "nothing may follow";
    QTest::newRow("query") << "mqtt://h?x=1"
                           << "mqtt://h?x=1"
                           << "has a character other than";
    QTest::newRow("space") << "mqtt://bro ker"
                           << "mqtt://bro ker"
                           << "has a character other than";
    QTest::newRow("port missing") << "mqtt://h:"
                                  << "mqtt://h:"
                                  << "the port after \":\" is missing";
    QTest::newRow("port zero") << "mqtt://h:0"
                               << "mqtt://h:0"
                               << "not a number from 1 to 65535";
    QTest::newRow("port too large") << "mqtt://h:65536"
                                    << "mqtt://h:65536"
                                    << "not a number from 1 to 65535";
    QTest::newRow("port with sign") << "mqtt://h:+80"
                                    << "mqtt://h:+80"
                                    << "not a number from 1 to 65535";
    QTest::newRow("port with letters") << "mqtt://h:18a3"
                                       << "mqtt://h:18a3"
                                       << "not a number from 1 to 65535";
    QTest::newRow("ipv6 without brackets") << "mqtt://::1:1883"
                                           << "mqtt://::1:1883"
                                           << "an IPv6 address must be written in brackets";
    QTest::newRow("unclosed bracket") << "mqtt://[::1:1883"
                                      << "mqtt://[::1:1883"
                                      << "lacks its closing \"]\"";
    QTest::newRow("name in brackets") << "mqtt://[broker]:1883"
                                      << "mqtt://[broker]:1883"
                                      << "\"broker\" in brackets is not an IPv6 address";
    QTest::newRow("junk after bracket") << "mqtt://[::1]1883"
                                        << "mqtt://[::1]1883"
                                        << "only \":\" and a port may follow the IPv6 address";
}

void MqttClientTest::rejectsUrls()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(QString, fault);

    try {
        (void)MqttUrl::parse(text);
        QFAIL("accepted");
    } catch (const Error& error) {
        const QString message = error.message();
        QVERIFY2(message.contains(shown + u' '), qPrintable(message));
        QVERIFY2(message.contains(fault), qPrintable(message));
        QVERIFY2(message.contains(QLatin1String("mqtt://[user[:password]@]host[:port]")),
                 qPrintable(message));
        QVERIFY2(!message.contains(QLatin1String("secret")), qPrintable(message));
    }
}

// Hundreds handed over at once, as an outbox catching up does: every id comes back, none before
// publish() returned it, and the broker passes them on in order.
void MqttClientTest::acknowledgesEveryMessage_data()
{
    QTest::addColumn<int>("qos");
    QTest::newRow("QoS 0") << 0;
    QTest::newRow("QoS 1") << 1;
}

void MqttClientTest::acknowledgesEveryMessage()
{
    QFETCH(int, qos);
    constexpr int kCount = 500;

    MosquittoBroker broker;
    MosquittoSubscriber subscriber(broker, QStringLiteral("calimbra/test/#"));
    MqttClient client(settingsFor(broker));
    const Transcript transcript(client);
    std::set<int> handedOut;
    std::set<int> acknowledged;
    int early = 0;
    int repeated = 0;
    connect(&client, &MqttClient::published, this, [&](int mid) {
        early += handedOut.count(mid) == 0 ? 1 : 0;
        repeated += acknowledged.insert(mid).second ? 0 : 1;
    });
    client.start();
    QVERIFY(waitForConnection(client, transcript));

    QStringList sent;
    for (int i = 0; i < kCount; ++i) {
        const std::optional<int> mid =
            client.publish(QStringLiteral("calimbra/test/sequence"), QByteArray::number(i), qos, false);
        QVERIFY(mid);
        QVERIFY2(handedOut.insert(*mid).second, "an id handed out twice");
        sent << QStringLiteral("calimbra/test/sequence %1").arg(i);
    }
    QTRY_COMPARE_WITH_TIMEOUT(acknowledged.size(), handedOut.size(), 10000);
    QCOMPARE(acknowledged, handedOut);
    QCOMPARE(early, 0);
    QCOMPARE(repeated, 0);
    QVERIFY(subscriber.waitForMessages(kCount));
    QCOMPARE(subscriber.messages(), sent);
    QCOMPARE(transcript.count(QStringLiteral("disconnected")), 0);
}

void MqttClientTest::retainedMessageReachesLaterSubscriber()
{
    MosquittoBroker broker;
    MqttClient publisher(settingsFor(broker));
    const Transcript publisherTranscript(publisher);
    publisher.start();
    QVERIFY(waitForConnection(publisher, publisherTranscript));
    QVERIFY(waitForAcknowledgement(
        publisher, publisher.publish(QStringLiteral("calimbra/board/state"), "online", 1, true)));

    // Subscribed before it connects: the subscription goes out with the connection.
    MqttClient subscriber(settingsFor(broker));
    const Transcript transcript(subscriber);
    subscriber.subscribe(QStringLiteral("calimbra/board/#"), 1);
    subscriber.start();
    QVERIFY(waitForConnection(subscriber, transcript));
    QTRY_COMPARE(transcript.messages, QStringList{"calimbra/board/state online retained"});

    QVERIFY(waitForAcknowledgement(
        publisher, publisher.publish(QStringLiteral("calimbra/board/state"), "offline", 1, false)));
    QTRY_COMPARE(transcript.messages,
                 (QStringList{"calimbra/board/state online retained", "calimbra/board/state offline"}));
}

void MqttClientTest::keepsTheSessionOnlyWhenAsked_data()
{
    QTest::addColumn<bool>("cleanSession");
    QTest::newRow("persistent: what came while away is handed over") << false;
    QTest::newRow("clean: only what the broker keeps for anyone") << true;
}

void MqttClientTest::keepsTheSessionOnlyWhenAsked()
{
    QFETCH(bool, cleanSession);
    MosquittoBroker broker;
    MqttClient publisher(settingsFor(broker));
    const Transcript publisherTranscript(publisher);
    publisher.start();
    QVERIFY(waitForConnection(publisher, publisherTranscript));
    QVERIFY(waitForAcknowledgement(publisher, publisher.publish(QStringLiteral("t/kept"), "kept", 1, true)));

    MqttClient::Settings settings = settingsFor(broker);
    settings.clientId = QStringLiteral("calimbra-test-session");
    settings.cleanSession = cleanSession;
    auto subscriber = std::make_unique<MqttClient>(settings);
    auto transcript = std::make_unique<Transcript>(*subscriber);
    subscriber->subscribe(QStringLiteral("t/#"), 1);
    subscriber->start();
    // The kept message says the subscription is in place.
    QTRY_COMPARE_WITH_TIMEOUT(transcript->messages, QStringList{"t/kept kept retained"}, kConnectWaitMs);
    subscriber->stop();

    QVERIFY(waitForAcknowledgement(publisher,
                                   publisher.publish(QStringLiteral("t/live"), "meanwhile", 1, false)));
    subscriber = std::make_unique<MqttClient>(settings);
    transcript = std::make_unique<Transcript>(*subscriber);
    subscriber->subscribe(QStringLiteral("t/#"), 1);
    subscriber->start();
    // What the session kept comes right after the connection, ahead of the kept message.
    QTRY_VERIFY_WITH_TIMEOUT(transcript->messages.contains(QStringLiteral("t/kept kept retained")),
                             kConnectWaitMs);
    const QStringList expected = cleanSession ? QStringList{"t/kept kept retained"}
                                              : QStringList{"t/live meanwhile", "t/kept kept retained"};
    QCOMPARE(transcript->messages, expected);
}

void MqttClientTest::aPersistentSessionNeedsAClientId()
{
    MqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.cleanSession = false;
    try {
        MqttClient client(settings);
        QFAIL("a session without a name was taken");
    } catch (const Error& error) {
        QVERIFY2(error.message().contains(QStringLiteral("client id")), qPrintable(error.message()));
    }
}

// The broker goes away and comes back on the same port: one loss reported, attempts spaced 1, 2,
// 4 ... s, the subscription made again; after the next loss the spacing starts at 1 s again.
void MqttClientTest::reconnectsAfterOutage()
{
    MosquittoBroker broker;
    MqttClient client(settingsFor(broker));
    const Transcript transcript(client);
    client.subscribe(QStringLiteral("calimbra/echo"), 1);
    client.start();
    QVERIFY(waitForConnection(client, transcript));

    broker.stop();
    QTRY_VERIFY_WITH_TIMEOUT(transcript.retryDelays().size() >= 2, kConnectWaitMs);
    QVERIFY(!client.isConnected());
    QVERIFY2(transcript.reasons.value(0).contains(
                 QLatin1String("closed the connection: check that it still runs")),
             qPrintable(transcript.reasons.value(0)));
    QVERIFY2(
        transcript.retryReasons.value(1).contains(QLatin1String("refused the connection (nothing listens")),
        qPrintable(transcript.retryReasons.value(1)));
    QVERIFY(!client.publish(QStringLiteral("calimbra/echo"), "lost", 1, false));
    broker.start();
    QVERIFY(waitForConnection(client, transcript, 2));

    QCOMPARE(transcript.count(QStringLiteral("disconnected")), 1);
    QCOMPARE(transcript.events.first(), QStringLiteral("connected"));
    QCOMPARE(transcript.events.at(1), QStringLiteral("disconnected"));
    QCOMPARE(transcript.events.last(), QStringLiteral("connected"));
    const QList<qint64> delays = transcript.retryDelays();
    for (qsizetype i = 0; i < delays.size(); ++i)
        QCOMPARE(delays.at(i), qint64(1) << i);

    QVERIFY(
        waitForAcknowledgement(client, client.publish(QStringLiteral("calimbra/echo"), "back", 1, false)));
    QTRY_COMPARE(transcript.messages, QStringList{"calimbra/echo back"});

    broker.kill();
    QTRY_COMPARE_WITH_TIMEOUT(transcript.count(QStringLiteral("disconnected")), 2, kConnectWaitMs);
    QTRY_COMPARE(transcript.retryDelays().size(), delays.size() + 1);
    QCOMPARE(transcript.retryDelays().last(), 1);
}

void MqttClientTest::saysWhyItCannotConnect_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("reason");

    QTest::newRow("wrong password") << "wrong password"
                                    << "refused the login";
    QTest::newRow("no login") << "no login"
                              << "refused the login";
    QTest::newRow("nothing listens") << "nothing listens"
                                     << "refused the connection (nothing listens there)";
    QTest::newRow("unknown host") << "unknown host"
                                  << "host no-such-host.invalid was not found";
    QTest::newRow("plain MQTT to the TLS port") << "plain to tls"
                                                << "closed the connection before accepting it";
    QTest::newRow("no answer") << "silent"
                               << "did not answer within 10 s";
}

void MqttClientTest::saysWhyItCannotConnect()
{
    QFETCH(QString, scenario);
    QFETCH(QString, reason);

    MosquittoBroker::Options options;
    options.user = QStringLiteral("alice");
    options.password = QStringLiteral("wonderland");
    options.tlsHostName = QStringLiteral("localhost");
    MosquittoBroker broker(options);
    MqttClient::Settings settings = settingsFor(broker);
    settings.user = QStringLiteral("alice");
    settings.password = QStringLiteral("wonderland");
    if (scenario == QLatin1String("wrong password"))
        settings.password = QStringLiteral("looking-glass");
    else if (scenario == QLatin1String("no login"))
        settings.user.clear();
    else if (scenario == QLatin1String("nothing listens"))
        broker.stop();
    else if (scenario == QLatin1String("unknown host"))
        settings.host = QStringLiteral("no-such-host.invalid");
    else if (scenario == QLatin1String("plain to tls"))
        settings.port = broker.tlsPort();
    // Takes the connection, never answers: a broker hung, or something else on its port.
    QTcpServer silent;
    if (scenario == QLatin1String("silent")) {
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        settings.port = silent.serverPort();
    }

    MqttClient client(settings);
    const Transcript transcript(client);
    client.start();
    QTRY_VERIFY_WITH_TIMEOUT(!transcript.retryDelays().isEmpty(), kConnectWaitMs);
    QCOMPARE(transcript.events, (QStringList{"disconnected", "retrying 1"}));
    QVERIFY2(transcript.reasons.first().contains(reason), qPrintable(transcript.reasons.first()));
    QCOMPARE(transcript.retryReasons.first(), transcript.reasons.first());
}

void MqttClientTest::checksTheBrokersCertificate_data()
{
    QTest::addColumn<QString>("certifiedHost");
    QTest::addColumn<bool>("withCaFile");
    QTest::addColumn<QString>("reason");

    QTest::newRow("trusted, for this host") << "localhost" << true << "";
    QTest::newRow("for another host")
        << "broker.example" << true << "is not made out for the host name localhost";
    QTest::newRow("CA not in the system store")
        << "localhost" << false << "is not signed by an authority in the system's store";
}

void MqttClientTest::checksTheBrokersCertificate()
{
    QFETCH(QString, certifiedHost);
    QFETCH(bool, withCaFile);
    QFETCH(QString, reason);

    MosquittoBroker::Options options;
    options.tlsHostName = certifiedHost;
    MosquittoBroker broker(options);
    MqttClient::Settings settings;
    settings.host = QStringLiteral("localhost");
    settings.port = broker.tlsPort();
    settings.tls = true;
    if (withCaFile)
        settings.caFile = broker.caFile();
    MqttClient client(settings);
    const Transcript transcript(client);
    client.start();
    if (reason.isEmpty()) {
        QVERIFY2(waitForConnection(client, transcript), qPrintable(transcript.reasons.join(u'\n')));
        QVERIFY(waitForAcknowledgement(client,
                                       client.publish(QStringLiteral("calimbra/tls"), "sealed", 1, false)));
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!transcript.reasons.isEmpty(), kConnectWaitMs);
    QVERIFY2(transcript.reasons.first().contains(reason), qPrintable(transcript.reasons.first()));
    QCOMPARE(transcript.count(QStringLiteral("connected")), 0);
}

// The will is the broker's word that the logger died: sent when its process is killed, never after
// a clean stop.
void MqttClientTest::willOnlyWhenTheProcessDies_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("killed") << true;
    QTest::newRow("stopped") << false;
}

void MqttClientTest::willOnlyWhenTheProcessDies()
{
    QFETCH(bool, killed);

    MosquittoBroker broker;
    MosquittoSubscriber subscriber(broker, QStringLiteral("calimbra/probe/#"));
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(CALIMBRA_MQTT_WILL_PROBE),
                {QString::number(broker.port()), QStringLiteral("calimbra/probe/will")});
    QVERIFY(QTest::qWaitFor([&] { return probe.canReadLine() || probe.state() == QProcess::NotRunning; },
                            kConnectWaitMs));
    QCOMPARE(probe.readLine(), QByteArray("connected\n"));

    if (killed) {
        probe.kill();
        QVERIFY(probe.waitForFinished());
    } else {
        probe.write("stop\n");
        QVERIFY(probe.waitForFinished());
        QCOMPARE(probe.exitCode(), 0);
    }
    // Whatever the broker makes of the probe's end comes before this.
    MqttClient marker(settingsFor(broker));
    const Transcript transcript(marker);
    marker.start();
    QVERIFY(waitForConnection(marker, transcript));
    QVERIFY(waitForAcknowledgement(
        marker, marker.publish(QStringLiteral("calimbra/probe/marker"), "after", 1, false)));

    const QStringList expected = killed
                                     ? QStringList{"calimbra/probe/will gone", "calimbra/probe/marker after"}
                                     : QStringList{"calimbra/probe/marker after"};
    QVERIFY(subscriber.waitForMessages(expected.size()));
    QCOMPARE(subscriber.messages(), expected);
}

// A broker that reads nothing for a while: stop() cannot write its goodbye behind what fills the
// socket, yet the goodbye still leaves once the broker reads again, and no will is sent.
void MqttClientTest::saysGoodbyeToAStalledBroker()
{
    MosquittoBroker broker;
    MosquittoSubscriber subscriber(broker, QStringLiteral("calimbra/stalled/#"));
    MqttClient::Settings settings = settingsFor(broker);
    settings.will = MqttClient::Will{QStringLiteral("calimbra/stalled/will"), "gone", 1, false};
    settings.clientId = QStringLiteral("stalled-logger");
    MqttClient client(settings);
    const Transcript transcript(client);
    client.start();
    QVERIFY(waitForConnection(client, transcript));

    broker.signal(SIGSTOP);
    const QByteArray bulk(1 << 20, 'x');
    for (int i = 0; i < 32; ++i)
        QVERIFY(client.publish(QStringLiteral("calimbra/bulk"), bulk, 0, false));
    client.stop();
    broker.signal(SIGCONT);
    // The broker has read all the client sent, goodbye or not, when it logs the end of it.
    QVERIFY(QTest::qWaitFor([&] { return broker.log().count("stalled-logger") >= 2; }, kConnectWaitMs));
    QVERIFY2(broker.log().contains("Client stalled-logger disconnected."), broker.log().constData());

    MqttClient marker(settingsFor(broker));
    const Transcript markerTranscript(marker);
    marker.start();
    QVERIFY(waitForConnection(marker, markerTranscript));
    QVERIFY(waitForAcknowledgement(
        marker, marker.publish(QStringLiteral("calimbra/stalled/marker"), "after", 1, false)));
    QVERIFY(subscriber.waitForMessages(1));
    QCOMPARE(subscriber.messages(), QStringList{"calimbra/stalled/marker after"});
}

QTEST_GUILESS_MAIN(MqttClientTest)
#include "tst_mqttclient.moc"
