// SPDX-License-Identifier: MIT
// One Prometheus scrape of a logger reading 9 sensors, with every kind of read error counted and
// every alarm known with its limit:
//   - the exposition alone, in this process;
//   - over loopback HTTP, client and server in this process's event loop, on a connection kept
//     open as Prometheus keeps it, and on a new connection each time;
//   - the server's memory while a client pipelines 1.5 MB of requests and never reads a reply.
//
//   bench_metrics [SCRAPES]

#include "BenchTable.h"

#include "AlarmWatch.h"
#include "MetricsServer.h"
#include "MetricsSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <fstream>
#include <functional>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace calimbra;

namespace {

constexpr int kWarmUp = 20;
constexpr double kGoalMs = 1.0;

// The broker's output as a scrape sees it, without a broker or an outbox on disk.
class MqttFigures : public FigureSource
{
public:
    void writeFigures(FigureWriter& writer) const override
    {
        static constexpr FigureFamily kConnected{"calimbra_mqtt_connected", "gauge", "Connected."};
        static constexpr FigureFamily kOutbox{"calimbra_outbox_readings", "gauge", "Kept."};
        static constexpr FigureFamily kDropped{"calimbra_outbox_dropped_total", "counter", "Dropped."};
        writer.add(kConnected, {}, 1);
        writer.add(kOutbox, {}, 3);
        writer.add(kDropped, {}, 2);
    }
};

// Both limits on every sensor; half the alarms raised, lost among them.
void feed(MetricsSink& metrics, AlarmWatch& alarms)
{
    metrics.boardAvailable(true);
    QMap<int, SensorProfile> profiles;
    for (int sensor = 1; sensor <= 9; ++sensor) {
        SensorProfile profile;
        profile.name = QStringLiteral("Sensor \"%1\" in the hall").arg(sensor);
        profile.low = 20.0 + sensor * 0.37 + (sensor % 2 ? 1.0 : -1.0);
        profile.high = 30.0;
        profiles.insert(sensor, profile);
    }
    alarms.setProfiles(profiles);
    const qint64 start = QDateTime::currentMSecsSinceEpoch();
    for (int sensor = 1; sensor <= 9; ++sensor) {
        Reading reading;
        reading.sensor = sensor;
        reading.name = profiles.value(sensor).name;
        for (const ReadError error : {ReadError::Timeout, ReadError::Garbled, ReadError::NoValue,
                                      ReadError::PowerOn, ReadError::Disconnected}) {
            reading.time = QDateTime::fromMSecsSinceEpoch(start);
            reading.error = error;
            metrics.take(reading);
            alarms.take(reading);
        }
        reading.error.reset();
        reading.celsius = 20.0 + sensor * 0.37;
        metrics.take(reading);
        alarms.take(reading);
    }
}

// Scrapes over HTTP/1.1, one after another, each timed from the request to the last byte of the body.
class Scraper : public QObject
{
public:
    Scraper(quint16 port, bool keepAlive, int scrapes) : port_(port), keepAlive_(keepAlive), left_(scrapes)
    {
        connect(&socket_, &QTcpSocket::connected, this, &Scraper::send);
        connect(&socket_, &QTcpSocket::readyRead, this, &Scraper::read);
        connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
            if (socket_.error() != QAbstractSocket::RemoteHostClosedError)
                qFatal("scrape failed: %s", qPrintable(socket_.errorString()));
        });
    }

    void start()
    {
        clock_.start();
        reply_.clear();
        if (socket_.state() == QAbstractSocket::ConnectedState)
            send();
        else
            socket_.connectToHost(QHostAddress::LocalHost, port_);
    }

    std::vector<double> ms;
    qsizetype bodyBytes = 0;
    std::function<void()> done;

private:
    void send()
    {
        socket_.write(keepAlive_ ? QByteArrayLiteral("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
                                 : QByteArrayLiteral("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                     "Connection: close\r\n\r\n"));
    }

    void read()
    {
        reply_ += socket_.readAll();
        const qsizetype headerEnd = reply_.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QByteArray lower = reply_.left(headerEnd).toLower();
        const qsizetype at = lower.indexOf("content-length:");
        if (!reply_.startsWith("HTTP/1.1 200") || at < 0)
            qFatal("unexpected reply: %s", reply_.left(headerEnd).constData());
        const qsizetype length = lower.mid(at + 15, lower.indexOf('\r', at) - at - 15).trimmed().toLongLong();
        if (reply_.size() < headerEnd + 4 + length)
            return;
        const double elapsed = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        bodyBytes = length;
        if (++count_ > kWarmUp)
            ms.push_back(elapsed);
        if (!keepAlive_)
            socket_.abort();
        if (--left_ > 0)
            start();
        else
            done();
    }

    QTcpSocket socket_;
    QElapsedTimer clock_;
    QByteArray reply_;
    quint16 port_;
    bool keepAlive_;
    int left_;
    int count_ = 0;
};

// This process's resident memory, in MB.
double residentMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

struct Hostile
{
    double growthMb;
    bool closed;
};

// A client that pipelines `bytes` of GET /metrics and never reads, with a small receive window so
// that the replies pile up on the server's side: the growth of this process's memory after `ms` of
// the event loop, and whether the server closed the connection by then.
Hostile pipelineWithoutReading(quint16 port, qsizetype bytes, int ms)
{
    const QByteArray request = QByteArrayLiteral("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray out;
    while (out.size() < bytes)
        out += request;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int window = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const double before = residentMb();
    qsizetype sent = 0;
    QSocketNotifier writable(fd, QSocketNotifier::Write);
    QObject::connect(&writable, &QSocketNotifier::activated, [&] {
        while (sent < out.size()) {
            const ssize_t n =
                ::send(fd, out.constData() + sent, static_cast<size_t>(out.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += n;
        }
        if (sent == out.size() || (errno != EAGAIN && errno != EWOULDBLOCK))
            writable.setEnabled(false);
    });
    QTimer::singleShot(ms, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double after = residentMb();
    pollfd watched{fd, POLLRDHUP, 0};
    ::poll(&watched, 1, 0);
    const bool closed = (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    ::close(fd);
    return {after - before, closed};
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int scrapes = QCoreApplication::arguments().value(1, QStringLiteral("2000")).toInt();

    MetricsSink metrics(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("1.0.0"));
    AlarmWatch alarms;
    MqttFigures mqtt;
    metrics.addSource(&alarms);
    metrics.addSource(&mqtt);
    feed(metrics, alarms);

    std::vector<double> inProcess;
    qsizetype bytes = 0;
    for (int i = 0; i < scrapes + kWarmUp; ++i) {
        QElapsedTimer clock;
        clock.start();
        bytes += metrics.exposition().size();
        if (i >= kWarmUp)
            inProcess.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    const std::string size = std::to_string(bytes / (scrapes + kWarmUp)) + " bytes";
    bench::row("metrics scrape, 9 sensors (" + size + "): exposition in process", "ms", inProcess, "<= 1",
               bench::median(inProcess) <= kGoalMs);

    MetricsServer server(metrics);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});
    Scraper kept(server.port(), true, scrapes + kWarmUp);
    Scraper fresh(server.port(), false, scrapes + kWarmUp);
    kept.done = [&] { fresh.start(); };
    fresh.done = [&] { QCoreApplication::quit(); };
    kept.start();
    QCoreApplication::exec();
    bench::row("metrics scrape over loopback HTTP, connection kept open", "ms", kept.ms, "<= 1",
               bench::median(kept.ms) <= kGoalMs);
    bench::row("metrics scrape over loopback HTTP, new connection", "ms", fresh.ms, "<= 1",
               bench::median(fresh.ms) <= kGoalMs);

    const Hostile hostile = pipelineWithoutReading(server.port(), 1'500'000, 5000);
    bench::row(std::string("server memory growth, 1.5 MB of GETs pipelined and never read, after 5 s (") +
                   (hostile.closed ? "closed" : "still open") + ")",
               "MB", {hostile.growthMb}, "<= 5", hostile.growthMb <= 5);
    return 0;
}
