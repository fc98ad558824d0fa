// SPDX-License-Identifier: MIT
#include "Error.h"
#include "MetricsServer.h"
#include "MetricsSink.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTest>

#include <functional>
#include <memory>

using namespace calimbra;

using Feed = std::function<void(MetricsSink&)>;
Q_DECLARE_METATYPE(Feed)

namespace {

const QString kPromtool = QStringLiteral("/usr/bin/promtool");
constexpr qint64 kT0 = 1'700'000'000'123; // ms since the epoch

Reading reading(int sensor, const QString& name, std::optional<double> celsius,
                std::optional<ReadError> error = std::nullopt, qint64 ms = kT0)
{
    Reading r;
    r.time = QDateTime::fromMSecsSinceEpoch(ms);
    r.roundStart = r.time;
    r.sensor = sensor;
    r.name = name;
    r.celsius = celsius;
    r.error = error;
    r.text = celsius ? QStringLiteral("T%1 = +%2 C").arg(sensor).arg(*celsius - 0.5) : QString();
    return r;
}

AlarmEvent alarm(int sensor, AlarmKind kind, bool raised)
{
    AlarmEvent event;
    event.time = QDateTime::fromMSecsSinceEpoch(kT0);
    event.sensor = sensor;
    event.kind = kind;
    event.raised = raised;
    return event;
}

// Empty when promtool accepts the exposition; what it says otherwise.
QString promtoolComplaint(const QByteArray& exposition)
{
    QProcess promtool;
    promtool.start(kPromtool, {QStringLiteral("check"), QStringLiteral("metrics")});
    promtool.write(exposition);
    promtool.closeWriteChannel();
    if (!promtool.waitForFinished(30000))
        return QStringLiteral("promtool did not finish");
    if (promtool.exitStatus() == QProcess::NormalExit && promtool.exitCode() == 0)
        return {};
    return QStringLiteral("status %1: %2%3")
        .arg(promtool.exitCode())
        .arg(QString::fromUtf8(promtool.readAllStandardOutput()),
             QString::fromUtf8(promtool.readAllStandardError()));
}

// Nine sensors with every kind of error, every alarm, and the MQTT series: what a scrape may meet.
void feedEverything(MetricsSink& metrics)
{
    metrics.boardAvailable(true);
    metrics.setMqttEnabled(true);
    metrics.setMqttConnected(true);
    metrics.setOutboxReadings(3);
    metrics.addOutboxDropped(2);
    const QList<ReadError> errors{ReadError::Timeout, ReadError::Garbled, ReadError::NoValue,
                                  ReadError::PowerOn, ReadError::Disconnected};
    for (int sensor = 1; sensor <= 9; ++sensor) {
        const QString name = sensor == 9 ? QStringLiteral("Sala \u2600 \"norte\" \\ 2\nandar") : QString();
        for (const ReadError error : errors)
            metrics.take(reading(sensor, name, std::nullopt, error));
        metrics.take(reading(sensor, name, 20.0 + sensor / 8.0, std::nullopt, kT0 + sensor));
        for (const AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Lost})
            metrics.alarmChanged(alarm(sensor, kind, sensor % 2 == 0));
    }
}

std::unique_ptr<QNetworkReply> fetch(QNetworkAccessManager& manager, const QString& url,
                                     const QByteArray& method)
{
    const QNetworkRequest request{QUrl(url)};
    if (method == "HEAD")
        return std::unique_ptr<QNetworkReply>(manager.head(request));
    return std::unique_ptr<QNetworkReply>(manager.sendCustomRequest(request, method));
}

} // namespace

class MetricsTest : public QObject
{
    Q_OBJECT

private slots:
    void exposition_data();
    void exposition();
    void addresses_data();
    void addresses();
    void scrapeOverHttpPassesPromtool();
    void pathsAndMethods_data();
    void pathsAndMethods();
    void listenFailures_data();
    void listenFailures();
};

void MetricsTest::exposition_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<Feed>("feed");
    QTest::addColumn<QByteArrayList>("present"); // whole lines
    QTest::addColumn<QByteArrayList>("absent");  // anywhere in the text

    QTest::newRow("the calibrated value, not the reply's")
        << "b1" << Feed([](MetricsSink& m) { m.take(reading(3, QStringLiteral("hall"), 24.06)); })
        << QByteArrayList{"calimbra_build_info{version=\"1.2.3\"} 1",
                          "calimbra_temperature_celsius{board=\"b1\",sensor=\"3\",name=\"hall\"} 24.06",
                          "calimbra_reading_timestamp_seconds{board=\"b1\",sensor=\"3\",name=\"hall\"} "
                          "1700000000.123",
                          "calimbra_readings_total{board=\"b1\",sensor=\"3\",name=\"hall\"} 1",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"3\",kind=\"timeout\"} 0"}
        << QByteArrayList{"23.56"};
    QTest::newRow("below zero, and a time with leading zero milliseconds")
        << "b1"
        << Feed([](MetricsSink& m) { m.take(reading(1, {}, -10.25, std::nullopt, 1'700'000'000'005)); })
        << QByteArrayList{"calimbra_temperature_celsius{board=\"b1\",sensor=\"1\",name=\"\"} -10.25",
                          "calimbra_reading_timestamp_seconds{board=\"b1\",sensor=\"1\",name=\"\"} "
                          "1700000000.005"}
        << QByteArrayList{};
    QTest::newRow("a reading without a value drops the temperature, not the counts")
        << "b1" << Feed([](MetricsSink& m) {
               m.take(reading(2, QStringLiteral("roof"), 20.5));
               m.take(reading(2, QStringLiteral("roof"), std::nullopt, ReadError::Timeout, kT0 + 10'000));
           })
        << QByteArrayList{"calimbra_readings_total{board=\"b1\",sensor=\"2\",name=\"roof\"} 2",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"2\",kind=\"timeout\"} 1",
                          "calimbra_reading_timestamp_seconds{board=\"b1\",sensor=\"2\",name=\"roof\"} "
                          "1700000010.123"}
        << QByteArrayList{"calimbra_temperature_celsius{", "20.5"};
    QTest::newRow("each kind of error counted apart")
        << "b1" << Feed([](MetricsSink& m) {
               for (const ReadError e : {ReadError::Garbled, ReadError::NoValue, ReadError::NoValue,
                                         ReadError::PowerOn, ReadError::Disconnected})
                   m.take(reading(6, {}, std::nullopt, e));
           })
        << QByteArrayList{"calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"timeout\"} 0",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"garbled\"} 1",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"no_value\"} 2",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"power_on\"} 1",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"disconnected\"} 1",
                          "calimbra_readings_total{board=\"b1\",sensor=\"6\",name=\"\"} 5"}
        << QByteArrayList{"calimbra_temperature_celsius{"};
    QTest::newRow("quotes, backslash and line feed escaped, in names and the board")
        << "lab \"A\""
        << Feed([](MetricsSink& m) { m.take(reading(4, QStringLiteral("say \"hi\"\\ back\nslash"), 21.5)); })
        << QByteArrayList{"calimbra_temperature_celsius{board=\"lab \\\"A\\\"\",sensor=\"4\","
                          "name=\"say \\\"hi\\\"\\\\ back\\nslash\"} 21.5",
                          "calimbra_board_up{board=\"lab \\\"A\\\"\"} 0"}
        << QByteArrayList{"back\nslash"};
    QTest::newRow("a renamed sensor keeps one series, its count going on")
        << "b1" << Feed([](MetricsSink& m) {
               m.take(reading(4, QStringLiteral("old"), 20.0));
               m.take(reading(4, QStringLiteral("new"), 21.0));
           })
        << QByteArrayList{"calimbra_temperature_celsius{board=\"b1\",sensor=\"4\",name=\"new\"} 21",
                          "calimbra_readings_total{board=\"b1\",sensor=\"4\",name=\"new\"} 2"}
        << QByteArrayList{"name=\"old\""};
    QTest::newRow("alarms raised, one cleared")
        << "b1" << Feed([](MetricsSink& m) {
               m.alarmChanged(alarm(5, AlarmKind::High, true));
               m.alarmChanged(alarm(5, AlarmKind::Lost, true));
               m.alarmChanged(alarm(5, AlarmKind::High, false));
               m.alarmChanged(alarm(8, AlarmKind::Low, true));
           })
        << QByteArrayList{"calimbra_alarm_active{board=\"b1\",sensor=\"5\",alarm=\"high\"} 0",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"5\",alarm=\"lost\"} 1",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"8\",alarm=\"low\"} 1"}
        << QByteArrayList{"alarm=\"low\"} 0"};
    QTest::newRow("board up, then lost") << "b1" << Feed([](MetricsSink& m) {
        m.boardAvailable(true);
        m.boardAvailable(false);
    }) << QByteArrayList{"calimbra_board_up{board=\"b1\"} 0"}
                                         << QByteArrayList{"calimbra_board_up{board=\"b1\"} 1"};
    QTest::newRow("board answering") << "b1" << Feed([](MetricsSink& m) { m.boardAvailable(true); })
                                     << QByteArrayList{"calimbra_board_up{board=\"b1\"} 1"}
                                     << QByteArrayList{};
    QTest::newRow("no MQTT series without an MQTT output") << "b1" << Feed([](MetricsSink& m) {
        m.setMqttConnected(true);
        m.setOutboxReadings(5);
        m.addOutboxDropped(1);
    }) << QByteArrayList{} << QByteArrayList{"calimbra_mqtt", "calimbra_outbox"};
    QTest::newRow("MQTT state; dropped readings add up")
        << "b1" << Feed([](MetricsSink& m) {
               m.setMqttEnabled(true);
               m.setMqttConnected(true);
               m.setOutboxReadings(12);
               m.addOutboxDropped(3);
               m.addOutboxDropped(4);
               m.setMqttConnected(false);
           })
        << QByteArrayList{"calimbra_mqtt_connected{board=\"b1\"} 0",
                          "calimbra_outbox_readings{board=\"b1\"} 12",
                          "calimbra_outbox_dropped_total{board=\"b1\"} 7"}
        << QByteArrayList{};
    QTest::newRow("everything at once")
        << "b1" << Feed(feedEverything) << QByteArrayList{"calimbra_board_up{board=\"b1\"} 1"}
        << QByteArrayList{};
}

void MetricsTest::exposition()
{
    QFETCH(QString, board);
    QFETCH(Feed, feed);
    QFETCH(QByteArrayList, present);
    QFETCH(QByteArrayList, absent);

    MetricsSink metrics(board, QStringLiteral("1.2.3"));
    feed(metrics);
    const QByteArray text = metrics.exposition();
    const QByteArrayList lines = text.split('\n');
    for (const QByteArray& line : present) {
        if (!lines.contains(line))
            QFAIL(qPrintable(QStringLiteral("no line \"%1\" in:\n%2").arg(QString::fromUtf8(line), text)));
    }
    for (const QByteArray& piece : absent) {
        if (text.contains(piece))
            QFAIL(qPrintable(
                QStringLiteral("\"%1\" should not be in:\n%2").arg(QString::fromUtf8(piece), text)));
    }
    // One series per sensor and family: a stale duplicate would be two lines with one key.
    QSet<QByteArray> keys;
    for (const QByteArray& line : lines) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QByteArray key = line.left(line.indexOf('{'));
        const qsizetype sensorAt = line.indexOf("sensor=\"");
        if (sensorAt >= 0)
            key += line.mid(sensorAt, line.indexOf('"', sensorAt + 8) - sensorAt);
        const qsizetype kindAt = line.lastIndexOf(",kind=");
        const qsizetype alarmAt = line.lastIndexOf(",alarm=");
        key += kindAt >= 0 ? line.mid(kindAt) : alarmAt >= 0 ? line.mid(alarmAt) : QByteArray();
        QVERIFY2(!keys.contains(key), line.constData());
        keys.insert(key);
    }
    if (QFileInfo::exists(kPromtool)) {
        const QString complaint = promtoolComplaint(text);
        QVERIFY2(complaint.isEmpty(), qPrintable(complaint + u'\n' + QString::fromUtf8(text)));
    }
}

void MetricsTest::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host"); // empty: refused
    QTest::addColumn<int>("port");

    QTest::newRow("port alone: this computer only") << "9100"
                                                    << "127.0.0.1" << 9100;
    QTest::newRow("every IPv4 interface") << "0.0.0.0:9100"
                                          << "0.0.0.0" << 9100;
    QTest::newRow("lowest port") << "192.168.1.20:1"
                                 << "192.168.1.20" << 1;
    QTest::newRow("IPv6 in brackets") << "[::1]:9100"
                                      << "::1" << 9100;
    QTest::newRow("highest port, every IPv6 interface") << "[::]:65535"
                                                        << "::" << 65535;
    QTest::newRow("localhost") << "localhost:9200"
                               << "127.0.0.1" << 9200;
    for (const char* bad : {"",
                            "0",
                            "65536",
                            "99999",
                            "9100x",
                            "+9100",
                            " 9100",
                            "9100 ",
                            "abc",
                            "::1:9100",
                            "[::1]",
                            "[::1]9100",
                            "[127.0.0.1]:9100",
                            "300.1.1.1:9100",
                            "host.example:9100",
                            "127.0.0.1:",
                            ":9100",
                            "127.0.0.1:0",
                            "1.2.3.4:-1",
                            "[::1]:",
                            "[::1:9100"})
        QTest::addRow("refused: \"%s\"", bad) << QString::fromLatin1(bad) << QString() << 0;
}

void MetricsTest::addresses()
{
    QFETCH(QString, text);
    QFETCH(QString, host);
    QFETCH(int, port);

    if (host.isEmpty()) {
        try {
            (void)MetricsServer::parseAddress(text);
            QFAIL("accepted");
        } catch (const Error& error) {
            QVERIFY2(error.message().contains(u'"' + text + u'"'), qPrintable(error.message()));
            QVERIFY2(error.message().contains(QStringLiteral("[HOST:]PORT")), qPrintable(error.message()));
        }
        return;
    }
    const MetricsServer::Address address = MetricsServer::parseAddress(text);
    QCOMPARE(address.host, QHostAddress(host));
    QCOMPARE(address.port, port);
}

void MetricsTest::scrapeOverHttpPassesPromtool()
{
    MetricsSink metrics(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("1.0.0"));
    feedEverything(metrics);
    MetricsServer server(metrics);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);

    // Twice: the second scrape sees what was fed in between.
    for (int round = 0; round < 2; ++round) {
        const auto reply = fetch(manager, server.url(), "GET");
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        QCOMPARE(reply->error(), QNetworkReply::NoError);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(reply->rawHeader("Content-Type"), QByteArray(MetricsSink::kContentType));
        const QByteArray body = reply->readAll();
        QCOMPARE(body, metrics.exposition());
        QVERIFY(body.contains("calimbra_temperature_celsius{board=\"/dev/ttyUSB0\",sensor=\"9\""));
        if (round == 1)
            QVERIFY(
                body.contains("calimbra_readings_total{board=\"/dev/ttyUSB0\",sensor=\"1\",name=\"\"} 7"));
        if (!QFileInfo::exists(kPromtool))
            QSKIP("promtool is missing: install the prometheus package (scripts/install-deps.sh)");
        const QString complaint = promtoolComplaint(body);
        QVERIFY2(complaint.isEmpty(), qPrintable(complaint));
        metrics.take(reading(1, {}, 19.0));
    }
}

void MetricsTest::pathsAndMethods_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");

    QTest::newRow("GET /metrics") << QByteArray("GET") << "/metrics" << 200;
    QTest::newRow("GET /metrics with a query") << QByteArray("GET") << "/metrics?name[]=up" << 200;
    QTest::newRow("GET /") << QByteArray("GET") << "/" << 404;
    QTest::newRow("GET /metrics/") << QByteArray("GET") << "/metrics/" << 404;
    QTest::newRow("GET /metricsx") << QByteArray("GET") << "/metricsx" << 404;
    QTest::newRow("GET /other/metrics") << QByteArray("GET") << "/other/metrics" << 404;
    QTest::newRow("HEAD /nothing") << QByteArray("HEAD") << "/nothing" << 404;
    QTest::newRow("POST /metrics") << QByteArray("POST") << "/metrics" << 405;
    QTest::newRow("PUT /metrics") << QByteArray("PUT") << "/metrics" << 405;
    QTest::newRow("DELETE /metrics") << QByteArray("DELETE") << "/metrics" << 405;
    QTest::newRow("HEAD /metrics") << QByteArray("HEAD") << "/metrics" << 405;
    QTest::newRow("a method nobody knows") << QByteArray("BREW") << "/metrics" << 405;
}

void MetricsTest::pathsAndMethods()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(int, status);

    MetricsSink metrics(QStringLiteral("b1"), QStringLiteral("1.0.0"));
    MetricsServer server(metrics);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());

    // Then GET /metrics on the same manager: the connection is still usable after the refusal.
    for (const auto& [m, p, s] :
         {std::tuple{method, path, status}, std::tuple{QByteArray("GET"), QString("/metrics"), 200}}) {
        const auto reply = fetch(manager, base + p, m);
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), s);
        if (s == 405)
            QCOMPARE(reply->rawHeader("Allow"), QByteArray("GET"));
        if (s == 200)
            QVERIFY(reply->readAll().startsWith("# HELP calimbra_build_info"));
    }
}

void MetricsTest::listenFailures_data()
{
    QTest::addColumn<QString>("address"); // %1: a port another program holds
    QTest::addColumn<QString>("message");

    QTest::newRow("port taken")
        << "127.0.0.1:%1"
        << "Port %1 on 127.0.0.1 is already in use by another program; choose another "
           "with --metrics.";
    QTest::newRow("port taken, given alone") << "%1"
                                             << "Port %1 on 127.0.0.1 is already in use by another program; "
                                                "choose another with --metrics.";
    // 192.0.2.0/24 is kept for documentation: no computer has it.
    QTest::newRow("address not on this computer")
        << "192.0.2.1:9100"
        << "192.0.2.1 is not an address of this computer; give one of its addresses, or "
           "127.0.0.1, with --metrics.";
}

void MetricsTest::listenFailures()
{
    QFETCH(QString, address);
    QFETCH(QString, message);

    QTcpServer other;
    QVERIFY(other.listen(QHostAddress::LocalHost));
    const QString port = QString::number(other.serverPort());
    MetricsSink metrics(QStringLiteral("b1"), QStringLiteral("1.0.0"));
    MetricsServer server(metrics);
    try {
        server.listen(address.contains(u'%') ? address.arg(port) : address);
        QFAIL("listening");
    } catch (const Error& error) {
        QCOMPARE(error.message(), message.contains(u'%') ? message.arg(port) : message);
    }
    QCOMPARE(server.port(), quint16{0});
}

QTEST_GUILESS_MAIN(MetricsTest)
#include "tst_metrics.moc"
