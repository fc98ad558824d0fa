// SPDX-License-Identifier: MIT
// Readings on their way to an MQTT broker on loopback (Debian's mosquitto, started here):
//   - latency: a reading taken by calimbra-cli log → delivered to a subscriber, from the reading's
//     own time; and from the reply's last byte on the line (the simulated board's log), which adds
//     the 25 ms quiet gap the port waits for before it takes a reply;
//   - replay: QUEUED readings waiting in the outbox, published and acknowledged, per second.
//
//   bench_mqtt CALIMBRA_CLI CALIMBRA_SIMBOARD [ROUNDS] [QUEUED]

#include "BenchTable.h"
#include "QueuedReadings.h"

#include "MqttClient.h"
#include "MqttSink.h"
#include "Outbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <ctime>
#include <map>
#include <vector>

using namespace calimbra;

namespace {

double monotonicMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs the event loop until `done` or `limitMs`.
bool runUntil(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

class Broker
{
public:
    explicit Broker(const QString& folder) : port_(freePort())
    {
        QFile config(folder + QStringLiteral("/mosquitto.conf"));
        config.open(QIODevice::WriteOnly);
        config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port_).toUtf8());
        config.close();
        process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config.fileName()});
        process_.waitForStarted();
        QThread::msleep(300);
    }
    ~Broker()
    {
        process_.terminate();
        process_.waitForFinished();
    }
    [[nodiscard]] quint16 port() const { return port_; }

private:
    quint16 port_;
    QProcess process_;
};

void latency(const QString& cli, const QString& simboard, int rounds)
{
    QTemporaryDir dir;
    Broker broker(dir.path());
    const QString boardLog = dir.filePath(QStringLiteral("board.log"));
    QProcess board;
    board.start(simboard, {QStringLiteral("--sensors"), QStringLiteral("9"), QStringLiteral("--baud"),
                           QStringLiteral("9600"), QStringLiteral("--log"), boardLog});
    board.waitForReadyRead();
    const QString port = QString::fromUtf8(board.readLine()).trimmed();

    MqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    MqttClient subscriber(settings);
    // Received: by sensor, the wall time (ms) it arrived, its payload's time, and the monotonic time.
    std::map<int, std::vector<std::pair<double, double>>> received;
    std::vector<double> fromTaken;
    QObject::connect(
        &subscriber, &MqttClient::messageReceived,
        [&](const QString& topic, const QByteArray& payload, bool retained) {
            if (retained)
                return;
            const double wallNow = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
            const double now = monotonicMs();
            const QJsonObject json = QJsonDocument::fromJson(payload).object();
            const double taken = static_cast<double>(
                QDateTime::fromString(json.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs)
                    .toMSecsSinceEpoch());
            fromTaken.push_back(wallNow - taken);
            received[topic.section(u'/', 3).toInt()].push_back({now, taken});
        });
    subscriber.subscribe(QStringLiteral("calimbra/bench/sensor/+"), 1);
    subscriber.start();
    runUntil([&] { return subscriber.isConnected(); }, 10000);

    QProcess service;
    service.start(cli, {QStringLiteral("--port"), port, QStringLiteral("--baud"), QStringLiteral("9600"),
                        QStringLiteral("log"), QStringLiteral("--interval"), QStringLiteral("1"),
                        QStringLiteral("--count"), QString::number(rounds), QStringLiteral("--board"),
                        QStringLiteral("bench"), QStringLiteral("--no-discovery"), QStringLiteral("--mqtt"),
                        QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port()), QStringLiteral("--outbox"),
                        dir.filePath(QStringLiteral("outbox"))});
    runUntil([&] { return service.state() == QProcess::NotRunning; }, rounds * 3000 + 30000);
    runUntil([&] { return fromTaken.size() >= static_cast<std::size_t>(rounds * 9); }, 5000);
    board.terminate();
    board.waitForFinished();

    // The line: each reply's last byte, by sensor, in order, from the board's log.
    QFile log(boardLog);
    log.open(QIODevice::ReadOnly);
    const QRegularExpression sent(QStringLiteral("^(\\d+\\.\\d+) sent \"T(\\d)"));
    std::map<int, std::vector<double>> lineTimes;
    for (const QByteArray& line : log.readAll().split('\n')) {
        const auto match = sent.match(QString::fromLatin1(line));
        if (match.hasMatch())
            lineTimes[match.captured(2).toInt()].push_back(match.captured(1).toDouble() * 1000.0);
    }
    std::vector<double> fromLine;
    for (const auto& [sensor, arrivals] : received) {
        const auto& times = lineTimes[sensor];
        for (std::size_t i = 0; i < arrivals.size() && i < times.size(); ++i)
            fromLine.push_back(arrivals[i].first - times[i]);
    }
    const double median = bench::median(fromTaken);
    bench::row("MQTT: reading taken -> delivered to a subscriber, loopback", "ms", fromTaken, "<= 5",
               median <= 5);
    bench::row("MQTT: reply's last byte on the line -> delivered (incl. 25 ms quiet gap)", "ms", fromLine);
}

void replay(int queued)
{
    QTemporaryDir dir;
    Broker broker(dir.path());
    std::vector<double> rates;
    std::vector<double> seconds;
    for (int run = 0; run < 3; ++run) {
        // Filled where a commit costs nothing, then moved to the disk judged.
        QTemporaryDir fill(QStringLiteral("/dev/shm/bench_mqtt-XXXXXX"));
        {
            Outbox outbox(fill.path(), queued);
            for (int n = 0; n < queued; ++n)
                outbox.add(bench::queuedReading(n));
        }
        const QString folder = dir.filePath(QStringLiteral("outbox%1").arg(run));
        QDir().mkpath(folder);
        QFile::copy(fill.filePath(QStringLiteral("outbox.db")), folder + QStringLiteral("/outbox.db"));

        MqttClient::Settings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = broker.port();
        MqttSink::Options options;
        options.board = QStringLiteral("replay");
        options.discovery = false;
        MqttSink sink(options, std::make_unique<Outbox>(folder, queued),
                      std::make_unique<MqttClient>(settings));
        QElapsedTimer clock;
        bool connected = false;
        QObject::connect(&sink, &MqttSink::connectionChanged, [&](bool up) {
            if (up && !connected) {
                connected = true;
                clock.start();
            }
        });
        sink.start();
        if (!runUntil([&] { return connected && sink.waiting() == 0; }, 120000))
            qWarning("replay did not finish");
        const double elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        seconds.push_back(elapsed);
        rates.push_back(queued / elapsed);
    }
    bench::row("MQTT: replay of " + std::to_string(queued) + " queued readings to a local broker", "per s",
               rates, ">= 10000", bench::median(rates) >= 10000);
    bench::row("MQTT: replay of " + std::to_string(queued) + " queued readings, in all", "s", seconds);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_mqtt CALIMBRA_CLI CALIMBRA_SIMBOARD [ROUNDS] [QUEUED]\n");
        return 2;
    }
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 20;
    const int queued = argc > 4 ? std::atoi(argv[4]) : 100000;
    latency(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), rounds);
    replay(queued);
    return 0;
}
