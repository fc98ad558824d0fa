// SPDX-License-Identifier: MIT
#include "AlarmWatch.h"
#include "Error.h"
#include "HttpRequest.h"
#include "MetricsServer.h"
#include "MetricsSink.h"
#include "MqttLink.h"
#include "MqttSink.h"
#include "Outbox.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace calimbra;
using namespace std::chrono_literals;

namespace {

// One reply the server should give: its status, header lines ("Name: value", the name in any
// case), and how its body starts. A reply to HEAD has Content-Length and no body.
struct Expected
{
    int status;
    bool head = false;
    QByteArrayList headers{};
    QByteArray bodyStart{};
};

} // namespace

using Replies = QList<Expected>;
Q_DECLARE_METATYPE(Replies)

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

// A broker connection that is up when told, takes every message and acknowledges none.
class QuietLink : public MqttLink
{
public:
    void start() override {}
    void stop() override { up = false; }
    [[nodiscard]] bool isConnected() const override { return up; }
    [[nodiscard]] std::optional<int> publish(const QString&, const QByteArray&, int, bool) override
    {
        return up ? std::optional<int>(++lastId) : std::nullopt;
    }
    void subscribe(const QString&, int) override {}
    void bringUp()
    {
        up = true;
        emit connected();
    }

    bool up = false;
    int lastId = 0;
};

// Figures of a family another part writes too.
class SharedFamilySource : public FigureSource
{
public:
    static constexpr FigureFamily kShared{"calimbra_test_shared", "gauge", "Written by two sources."};
    static constexpr FigureFamily kOwn{"calimbra_test_own", "gauge", "Written by one source."};

    explicit SharedFamilySource(int sensor) : sensor_(sensor) {}
    void writeFigures(FigureWriter& writer) const override
    {
        writer.add(kShared, {{"sensor", QString::number(sensor_)}}, sensor_);
        if (sensor_ == 1)
            writer.add(kOwn, {}, 1);
    }

private:
    int sensor_;
};

// What a scrape shows: the metrics with the alarms watched, and an MQTT output or other parts when
// a row asks for them. Readings go to each, as the pipeline hands them.
struct Parts
{
    explicit Parts(const QString& board) : metrics(board, QStringLiteral("1.2.3"))
    {
        metrics.addSource(&alarms);
    }

    void read(const Reading& reading)
    {
        alarms.take(reading);
        metrics.take(reading);
        if (mqtt)
            mqtt->take(reading);
    }
    void roundFinished() { alarms.roundFinished(QDateTime::fromMSecsSinceEpoch(kT0)); }
    // An MQTT output, its broker away, keeping at most `outboxLimit` readings.
    void addMqtt(qint64 outboxLimit)
    {
        auto quiet = std::make_unique<QuietLink>();
        link = quiet.get();
        MqttSink::Options options;
        options.board = QStringLiteral("b1");
        options.discovery = false;
        mqtt = std::make_unique<MqttSink>(options, std::make_unique<Outbox>(folder.path(), outboxLimit),
                                          std::move(quiet));
        metrics.addSource(mqtt.get());
    }
    void addSource(std::unique_ptr<FigureSource> source)
    {
        metrics.addSource(source.get());
        others.push_back(std::move(source));
    }

    MetricsSink metrics;
    AlarmWatch alarms;
    QTemporaryDir folder;
    std::unique_ptr<MqttSink> mqtt;
    QuietLink* link = nullptr;
    std::vector<std::unique_ptr<FigureSource>> others;
};

SensorProfile profile(const QString& name, std::optional<double> low, std::optional<double> high)
{
    SensorProfile made;
    made.name = name;
    made.low = low;
    made.high = high;
    return made;
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

// Nine sensors with every kind of error, limits on each, alarms of every kind raised, and the MQTT
// output with readings dropped: what a scrape may meet.
void feedEverything(Parts& parts)
{
    parts.metrics.boardAvailable(true);
    const auto name = [](int sensor) {
        return sensor == 9 ? QStringLiteral("Sala \u2600 \"norte\" \\ 2\nandar") : QString();
    };
    QMap<int, SensorProfile> profiles;
    for (int sensor = 1; sensor <= 9; ++sensor)
        profiles.insert(sensor, profile(name(sensor), 20.2, 21.0));
    parts.alarms.setProfiles(profiles);
    parts.addMqtt(3);
    const QList<ReadError> errors{ReadError::Timeout, ReadError::Garbled, ReadError::NoValue,
                                  ReadError::PowerOn, ReadError::Disconnected};
    // 20.125 is below sensor 1's low limit, 21.125 above sensor 9's high one.
    for (int sensor = 1; sensor <= 9; ++sensor) {
        for (const ReadError error : errors)
            parts.read(reading(sensor, name(sensor), std::nullopt, error));
        parts.read(reading(sensor, name(sensor), 20.0 + sensor / 8.0, std::nullopt, kT0 + sensor));
    }
    parts.roundFinished();
    // Sensor 8 gives no value for three rounds: lost.
    for (int round = 0; round < 3; ++round) {
        for (int sensor = 1; sensor <= 9; ++sensor)
            parts.read(reading(sensor, name(sensor), sensor == 8 ? std::nullopt : std::optional(20.5),
                               sensor == 8 ? std::optional(ReadError::Timeout) : std::nullopt));
        parts.roundFinished();
    }
    parts.link->bringUp();
}

std::unique_ptr<QNetworkReply> fetch(QNetworkAccessManager& manager, const QString& url,
                                     const QByteArray& method)
{
    const QNetworkRequest request{QUrl(url)};
    if (method == "HEAD")
        return std::unique_ptr<QNetworkReply>(manager.head(request));
    return std::unique_ptr<QNetworkReply>(manager.sendCustomRequest(request, method));
}

struct Response
{
    int status = 0;
    QMap<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

// The whole replies at the start of `bytes`, as answers to requests that were HEAD or not, in
// order; `rest`: what follows them. Stops at what is not an HTTP/1.1 reply with a Content-Length.
QList<Response> parseResponses(const QByteArray& bytes, const QList<bool>& heads, QByteArray* rest = nullptr)
{
    QList<Response> responses;
    qsizetype at = 0;
    while (responses.size() < heads.size()) {
        const qsizetype end = bytes.indexOf("\r\n\r\n", at);
        if (end < 0)
            break;
        const QByteArrayList lines = bytes.mid(at, end - at).split('\n');
        if (!lines.first().startsWith("HTTP/1.1 "))
            break;
        Response response;
        response.status = lines.first().mid(9, 3).toInt();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            response.headers.insert(lines[i].left(colon).toLower(), lines[i].mid(colon + 1).trimmed());
        }
        bool ok = false;
        const qsizetype length = response.headers.value("content-length").toLongLong(&ok);
        if (!ok)
            break;
        const qsizetype bodyLength = heads[responses.size()] ? 0 : length;
        if (bytes.size() < end + 4 + bodyLength)
            break;
        response.body = bytes.mid(end + 4, bodyLength);
        at = end + 4 + bodyLength;
        responses << response;
    }
    if (rest)
        *rest = bytes.mid(at);
    return responses;
}

// A client on a bare socket, for what Qt's own client would never send.
class RawClient
{
public:
    explicit RawClient(quint16 port) { socket.connectToHost(QHostAddress::LocalHost, port); }

    [[nodiscard]] bool connected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    [[nodiscard]] bool closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }
    // Everything received so far.
    QByteArray bytes()
    {
        received += socket.readAll();
        return received;
    }

    QTcpSocket socket;
    QByteArray received;
};

const QByteArray kGet = QByteArrayLiteral("GET /metrics HTTP/1.1\r\nHost: test\r\n\r\n");

// Sends pipelined requests as fast as the server takes them and reads nothing, with a small receive
// window so that the replies pile up on the server's side.
class Flooder
{
public:
    Flooder(quint16 port, QByteArray out) : out_(std::move(out))
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        const int window = 4096;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ok = fd_ >= 0 && ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &window, sizeof window) == 0 &&
             (::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
              errno == EINPROGRESS);
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { send(); });
    }
    ~Flooder()
    {
        notifier_.reset();
        ::close(fd_);
    }
    Flooder(const Flooder&) = delete;
    Flooder& operator=(const Flooder&) = delete;

    // The server has closed the connection, or reset it.
    [[nodiscard]] bool closed() const
    {
        pollfd watched{fd_, POLLRDHUP, 0};
        return ::poll(&watched, 1, 0) == 1 && (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
    }

    bool ok = false;
    qsizetype sent = 0;

private:
    void send()
    {
        while (sent < out_.size()) {
            const ssize_t n =
                ::send(fd_, out_.constData() + sent, static_cast<size_t>(out_.size() - sent), MSG_NOSIGNAL);
            if (n < 0) {
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    notifier_->setEnabled(false);
                return;
            }
            sent += n;
        }
        notifier_->setEnabled(false);
    }

    QByteArray out_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// The descriptor limit lowered for a while, and restored however the test ends.
class DescriptorLimit
{
public:
    DescriptorLimit() { ok = ::getrlimit(RLIMIT_NOFILE, &saved_) == 0; }
    ~DescriptorLimit() { restore(); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

    // Leaves `free` descriptors to open; false when it cannot.
    bool leave(int free)
    {
        const QStringList open = QDir(QStringLiteral("/proc/self/fd"))
                                     .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        int highest = 0;
        for (const QString& fd : open)
            highest = std::max(highest, fd.toInt());
        // Every descriptor open now stays below the limit, so `free` is what remains.
        const auto limit = static_cast<rlim_t>(std::max<qsizetype>(highest + 1, open.size() + free));
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        return ok && limit <= saved_.rlim_cur && ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    void restore()
    {
        if (ok)
            ::setrlimit(RLIMIT_NOFILE, &saved_);
    }

    bool ok = false;

private:
    rlimit saved_{};
};
} // namespace

using Feed = std::function<void(Parts&)>;
Q_DECLARE_METATYPE(Feed)

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
    void requests_data();
    void requests();
    void clientThatNeverReads();
    void connectionsBeyondTheCap();
    void timeOuts_data();
    void timeOuts();
    void outOfDescriptors();
};

void MetricsTest::exposition_data()
{
    QTest::addColumn<QString>("board");
    QTest::addColumn<Feed>("feed");
    QTest::addColumn<QByteArrayList>("present"); // whole lines
    QTest::addColumn<QByteArrayList>("absent");  // anywhere in the text

    QTest::newRow("the calibrated value, not the reply's")
        << "b1" << Feed([](Parts& p) { p.read(reading(3, QStringLiteral("hall"), 24.06)); })
        << QByteArrayList{"calimbra_build_info{version=\"1.2.3\"} 1",
                          "calimbra_temperature_celsius{board=\"b1\",sensor=\"3\",name=\"hall\"} 24.06",
                          "calimbra_reading_timestamp_seconds{board=\"b1\",sensor=\"3\",name=\"hall\"} "
                          "1700000000.123",
                          "calimbra_readings_total{board=\"b1\",sensor=\"3\",name=\"hall\"} 1",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"3\",kind=\"timeout\"} 0"}
        << QByteArrayList{"23.56"};
    QTest::newRow("below zero, and a time with leading zero milliseconds")
        << "b1" << Feed([](Parts& p) { p.read(reading(1, {}, -10.25, std::nullopt, 1'700'000'000'005)); })
        << QByteArrayList{"calimbra_temperature_celsius{board=\"b1\",sensor=\"1\",name=\"\"} -10.25",
                          "calimbra_reading_timestamp_seconds{board=\"b1\",sensor=\"1\",name=\"\"} "
                          "1700000000.005"}
        << QByteArrayList{};
    // 22.47 + (-0.30) rounded to the board's two decimals is the double nearest 22.17, which a
    // printf-style %.17g would show as 22.170000000000002.
    QTest::newRow("values in their shortest form")
        << "b1" << Feed([](Parts& p) {
               p.alarms.setProfiles({{1, profile({}, -0.3, 30.1)}});
               p.read(reading(1, {}, std::round((22.47 + -0.30) * 100) / 100));
               p.read(reading(2, {}, 100.0));
               p.read(reading(3, {}, 0.1 + 0.2));
           })
        << QByteArrayList{"calimbra_temperature_celsius{board=\"b1\",sensor=\"1\",name=\"\"} 22.17",
                          "calimbra_temperature_celsius{board=\"b1\",sensor=\"2\",name=\"\"} 100",
                          "calimbra_temperature_celsius{board=\"b1\",sensor=\"3\",name=\"\"} "
                          "0.30000000000000004",
                          "calimbra_alarm_limit_celsius{board=\"b1\",sensor=\"1\",name=\"\",alarm=\"high\"} "
                          "30.1",
                          "calimbra_alarm_limit_celsius{board=\"b1\",sensor=\"1\",name=\"\",alarm=\"low\"} "
                          "-0.3"}
        << QByteArrayList{"22.1699", "22.1700", "100.0", "e+"};
    QTest::newRow("a reading without a value drops the temperature, not the counts")
        << "b1" << Feed([](Parts& p) {
               p.read(reading(2, QStringLiteral("roof"), 20.5));
               p.read(reading(2, QStringLiteral("roof"), std::nullopt, ReadError::Timeout, kT0 + 10'000));
           })
        << QByteArrayList{"calimbra_readings_total{board=\"b1\",sensor=\"2\",name=\"roof\"} 2",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"2\",kind=\"timeout\"} 1",
                          "calimbra_reading_timestamp_seconds{board=\"b1\",sensor=\"2\",name=\"roof\"} "
                          "1700000010.123"}
        << QByteArrayList{"calimbra_temperature_celsius{", "20.5"};
    QTest::newRow("each kind of error counted apart")
        << "b1" << Feed([](Parts& p) {
               for (const ReadError e : {ReadError::Garbled, ReadError::NoValue, ReadError::NoValue,
                                         ReadError::PowerOn, ReadError::Disconnected})
                   p.read(reading(6, {}, std::nullopt, e));
           })
        << QByteArrayList{"calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"timeout\"} 0",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"garbled\"} 1",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"no_value\"} 2",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"power_on\"} 1",
                          "calimbra_read_errors_total{board=\"b1\",sensor=\"6\",kind=\"disconnected\"} 1",
                          "calimbra_readings_total{board=\"b1\",sensor=\"6\",name=\"\"} 5"}
        << QByteArrayList{"calimbra_temperature_celsius{"};
    QTest::newRow("quotes, backslash and line feed escaped, in names and the board")
        << "lab \"A\"" << Feed([](Parts& p) {
               const QString name = QStringLiteral("say \"hi\"\\ back\nslash");
               p.alarms.setProfiles({{4, profile(name, std::nullopt, 30.0)}});
               p.read(reading(4, name, 21.5));
           })
        << QByteArrayList{"calimbra_temperature_celsius{board=\"lab \\\"A\\\"\",sensor=\"4\","
                          "name=\"say \\\"hi\\\"\\\\ back\\nslash\"} 21.5",
                          "calimbra_alarm_limit_celsius{board=\"lab \\\"A\\\"\",sensor=\"4\","
                          "name=\"say \\\"hi\\\"\\\\ back\\nslash\",alarm=\"high\"} 30",
                          "calimbra_alarm_active{board=\"lab \\\"A\\\"\",sensor=\"4\","
                          "name=\"say \\\"hi\\\"\\\\ back\\nslash\",alarm=\"high\"} 0",
                          "calimbra_board_up{board=\"lab \\\"A\\\"\"} 0"}
        << QByteArrayList{"back\nslash"};
    QTest::newRow("a renamed sensor keeps one series, its count going on")
        << "b1" << Feed([](Parts& p) {
               p.read(reading(4, QStringLiteral("old"), 20.0));
               p.read(reading(4, QStringLiteral("new"), 21.0));
           })
        << QByteArrayList{"calimbra_temperature_celsius{board=\"b1\",sensor=\"4\",name=\"new\"} 21",
                          "calimbra_readings_total{board=\"b1\",sensor=\"4\",name=\"new\"} 2"}
        << QByteArrayList{"name=\"old\""};
    QTest::newRow("limits from the profiles, every alarm at 0 before any reading")
        << "b1" << Feed([](Parts& p) {
               p.alarms.setProfiles({{3, profile(QStringLiteral("hall"), 5.5, 30.0)},
                                     {4, profile({}, -2.0, std::nullopt)},
                                     {7, profile(QStringLiteral("attic"), std::nullopt, std::nullopt)}});
           })
        << QByteArrayList{"calimbra_alarm_limit_celsius{board=\"b1\",sensor=\"3\",name=\"hall\",alarm="
                          "\"high\"} 30",
                          "calimbra_alarm_limit_celsius{board=\"b1\",sensor=\"3\",name=\"hall\",alarm="
                          "\"low\"} 5.5",
                          "calimbra_alarm_limit_celsius{board=\"b1\",sensor=\"4\",name=\"\",alarm=\"low\"} "
                          "-2",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"3\",name=\"hall\",alarm=\"high\"} 0",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"3\",name=\"hall\",alarm=\"low\"} 0",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"3\",name=\"hall\",alarm=\"lost\"} 0",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"4\",name=\"\",alarm=\"low\"} 0",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"4\",name=\"\",alarm=\"lost\"} 0",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"7\",name=\"attic\",alarm=\"lost\"} 0"}
        << QByteArrayList{
               "sensor=\"4\",name=\"\",alarm=\"high\"", "sensor=\"7\",name=\"attic\",alarm=\"high\"",
               "sensor=\"7\",name=\"attic\",alarm=\"low\"", "sensor=\"1\"", "calimbra_temperature_celsius"};
    QTest::newRow("a sensor without a profile, once read: lost alone")
        << "b1" << Feed([](Parts& p) { p.read(reading(2, {}, 20.0)); })
        << QByteArrayList{"calimbra_alarm_active{board=\"b1\",sensor=\"2\",name=\"\",alarm=\"lost\"} 0"}
        << QByteArrayList{"alarm=\"high\"", "alarm=\"low\"", "calimbra_alarm_limit_celsius"};
    QTest::newRow("raised, and cleared back inside the hysteresis") << "b1" << Feed([](Parts& p) {
        p.alarms.setProfiles({{5, profile({}, std::nullopt, 30.0)}, {8, profile({}, 0.0, std::nullopt)}});
        p.read(reading(5, {}, 31.0));
        p.read(reading(8, {}, -1.0));
        p.read(reading(5, {}, 29.0));
    })
                                                                    << QByteArrayList{"calimbra_alarm_active{"
                                                                                      "board=\"b1\",sensor="
                                                                                      "\"5\",name=\"\",alarm="
                                                                                      "\"high\"} 0",
                                                                                      "calimbra_alarm_active{"
                                                                                      "board=\"b1\",sensor="
                                                                                      "\"8\",name=\"\",alarm="
                                                                                      "\"low\"} 1",
                                                                                      "calimbra_alarm_active{"
                                                                                      "board=\"b1\",sensor="
                                                                                      "\"8\",name=\"\",alarm="
                                                                                      "\"lost\"} 0"}
                                                                    << QByteArrayList{"sensor=\"5\",name="
                                                                                      "\"\",alarm=\"low\"",
                                                                                      "alarm=\"high\"} 1"};
    QTest::newRow("lost: raised, and the temperature dropped")
        << "b1" << Feed([](Parts& p) {
               p.read(reading(6, QStringLiteral("cellar"), 12.5));
               p.roundFinished();
               for (int round = 0; round < 3; ++round) {
                   p.read(reading(6, QStringLiteral("cellar"), std::nullopt, ReadError::Disconnected));
                   p.roundFinished();
               }
           })
        << QByteArrayList{"calimbra_alarm_active{board=\"b1\",sensor=\"6\",name=\"\",alarm=\"lost\"} 1",
                          "calimbra_readings_total{board=\"b1\",sensor=\"6\",name=\"cellar\"} 4"}
        << QByteArrayList{"calimbra_temperature_celsius", "12.5"};
    QTest::newRow("a limit taken out while raised: shown until it clears")
        << "b1" << Feed([](Parts& p) {
               p.alarms.setProfiles({{2, profile({}, std::nullopt, 30.0)}});
               p.read(reading(2, {}, 35.0));
               p.alarms.setProfiles({});
           })
        << QByteArrayList{"calimbra_alarm_active{board=\"b1\",sensor=\"2\",name=\"\",alarm=\"high\"} 1"}
        << QByteArrayList{"calimbra_alarm_limit_celsius"};
    QTest::newRow("board up, then lost") << "b1" << Feed([](Parts& p) {
        p.metrics.boardAvailable(true);
        p.metrics.boardAvailable(false);
    }) << QByteArrayList{"calimbra_board_up{board=\"b1\"} 0"}
                                         << QByteArrayList{"calimbra_board_up{board=\"b1\"} 1"};
    QTest::newRow("board answering") << "b1" << Feed([](Parts& p) { p.metrics.boardAvailable(true); })
                                     << QByteArrayList{"calimbra_board_up{board=\"b1\"} 1"}
                                     << QByteArrayList{};
    QTest::newRow("no MQTT series without an MQTT output")
        << "b1" << Feed([](Parts& p) { p.read(reading(1, {}, 20.0)); }) << QByteArrayList{}
        << QByteArrayList{"calimbra_mqtt", "calimbra_outbox"};
    QTest::newRow("MQTT output, its broker away: readings kept, the oldest dropped")
        << "b1" << Feed([](Parts& p) {
               p.addMqtt(2);
               for (int i = 0; i < 5; ++i)
                   p.read(reading(1, {}, 20.0 + i, std::nullopt, kT0 + i * 1000));
           })
        << QByteArrayList{"calimbra_mqtt_connected{board=\"b1\"} 0",
                          "calimbra_outbox_readings{board=\"b1\"} 2",
                          "calimbra_outbox_dropped_total{board=\"b1\"} 3"}
        << QByteArrayList{};
    QTest::newRow("MQTT output connected") << "b1" << Feed([](Parts& p) {
        p.addMqtt(100);
        p.read(reading(1, {}, 20.0));
        p.link->bringUp();
    })
                                           << QByteArrayList{"calimbra_mqtt_connected{board=\"b1\"} 1",
                                                             "calimbra_outbox_readings{board=\"b1\"} 1",
                                                             "calimbra_outbox_dropped_total{board=\"b1\"} 0"}
                                           << QByteArrayList{};
    QTest::newRow("one family from two parts: together, under one HELP")
        << "b1" << Feed([](Parts& p) {
               p.addSource(std::make_unique<SharedFamilySource>(1));
               p.read(reading(1, {}, 20.0));
               p.addSource(std::make_unique<SharedFamilySource>(2));
           })
        << QByteArrayList{"calimbra_test_shared{board=\"b1\",sensor=\"1\"} 1",
                          "calimbra_test_shared{board=\"b1\",sensor=\"2\"} 2",
                          "calimbra_test_own{board=\"b1\"} 1"}
        << QByteArrayList{};
    QTest::newRow("everything at once")
        << "b1" << Feed(feedEverything)
        << QByteArrayList{"calimbra_board_up{board=\"b1\"} 1",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"1\",name=\"\",alarm=\"low\"} 1",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"9\",name=\"Sala \u2600 \\\"norte\\\" "
                          "\\\\ "
                          "2\\nandar\",alarm=\"high\"} 1",
                          "calimbra_alarm_active{board=\"b1\",sensor=\"8\",name=\"\",alarm=\"lost\"} 1",
                          "calimbra_mqtt_connected{board=\"b1\"} 1",
                          "calimbra_outbox_readings{board=\"b1\"} 3"}
        << QByteArrayList{"calimbra_temperature_celsius{board=\"b1\",sensor=\"8\""};
}

void MetricsTest::exposition()
{
    QFETCH(QString, board);
    QFETCH(Feed, feed);
    QFETCH(QByteArrayList, present);
    QFETCH(QByteArrayList, absent);

    Parts parts(board);
    QVERIFY(parts.folder.isValid());
    feed(parts);
    const QByteArray text = parts.metrics.exposition();
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
    // Each family once, its HELP and TYPE and then its samples, all together; one series per sensor
    // and family: a stale duplicate would be two lines with one key.
    QSet<QByteArray> families;
    QByteArray family;
    QSet<QByteArray> keys;
    for (const QByteArray& line : lines) {
        if (line.startsWith("# HELP ")) {
            family = line.mid(7, line.indexOf(' ', 7) - 7);
            QVERIFY2(!families.contains(family), line.constData());
            families.insert(family);
            continue;
        }
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QByteArray key = line.left(line.indexOf('{'));
        QVERIFY2(key == family, line.constData());
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
    Parts parts(QStringLiteral("/dev/ttyUSB0"));
    feedEverything(parts);
    MetricsSink& metrics = parts.metrics;
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
                body.contains("calimbra_readings_total{board=\"/dev/ttyUSB0\",sensor=\"1\",name=\"\"} 10"));
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
    QTest::newRow("HEAD /metrics") << QByteArray("HEAD") << "/metrics" << 200;
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
            QCOMPARE(reply->rawHeader("Allow"), QByteArray("GET, HEAD"));
        if (s == 200 && m == "GET")
            QVERIFY(reply->readAll().startsWith("# HELP calimbra_build_info"));
        if (m == "HEAD")
            QVERIFY(reply->readAll().isEmpty());
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

void MetricsTest::requests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Replies>("replies");
    QTest::addColumn<bool>("closes"); // after the replies; otherwise a GET after them is answered too

    const QByteArray type = "Content-Type: text/plain; version=0.0.4; charset=utf-8";
    const QByteArray allow = "Allow: GET, HEAD";
    const QByteArray close = "Connection: close";
    const QByteArray help = "# HELP calimbra_build_info";
    const Expected metrics{200, false, {type}, help};
    const QByteArray pad(9000, 'a');

    QTest::newRow("GET") << kGet << Replies{metrics} << false;
    QTest::newRow("HEAD: the headers of GET, no body")
        << QByteArray("HEAD /metrics HTTP/1.1\r\nHost: test\r\n\r\n")
        << Replies{{200, true, {type, "Content-Length: %length"}}} << false;
    QTest::newRow("HTTP/1.0 closes after the reply")
        << QByteArray("GET /metrics HTTP/1.0\r\n\r\n") << Replies{{200, false, {type, close}, help}} << true;
    QTest::newRow("HTTP/1.0 asking to keep the connection")
        << QByteArray("GET /metrics HTTP/1.0\r\nConnection: keep-alive\r\n\r\n")
        << Replies{{200, false, {"Connection: keep-alive"}, help}} << false;
    QTest::newRow("Connection: close")
        << QByteArray("GET /metrics HTTP/1.1\r\nHost: test\r\nConnection: close\r\n\r\n")
        << Replies{{200, false, {close}, help}} << true;
    QTest::newRow("close among other options, in capitals")
        << QByteArray("GET /metrics HTTP/1.1\r\nHost: test\r\nconnection: Keep-Alive, CLOSE\r\n\r\n")
        << Replies{{200, false, {close}, help}} << true;
    QTest::newRow("pipelined requests answered in order")
        << kGet + "GET /nothing HTTP/1.1\r\nHost: test\r\n\r\n" +
               "HEAD /metrics HTTP/1.1\r\nHost: test\r\n\r\n" +
               "POST /metrics HTTP/1.1\r\nHost: test\r\n\r\n" + kGet
        << Replies{metrics,
                   {404, false, {}, "Nothing here: the metrics are at /metrics."},
                   {200, true, {"Content-Length: %length"}},
                   {405, false, {allow}},
                   metrics}
        << false;
    QTest::newRow("pipelined, the second closing: the third is not answered")
        << kGet + "GET /metrics HTTP/1.1\r\nHost: test\r\nConnection: close\r\n\r\n" + kGet
        << Replies{metrics, {200, false, {close}, help}} << true;
    QTest::newRow("a header too long") << "GET /metrics HTTP/1.1\r\nHost: test\r\nX-Pad: " + pad + "\r\n\r\n"
                                       << Replies{{431, false, {close}}} << true;
    QTest::newRow("a request line too long") << "GET /" + pad + " HTTP/1.1\r\nHost: test\r\n\r\n"
                                             << Replies{{431, false, {close}}} << true;
    QTest::newRow("a head too long, never ended")
        << "GET /metrics HTTP/1.1\r\nX-Pad: " + pad << Replies{{431, false, {close}}} << true;
    QTest::newRow("answered before a head too long")
        << kGet + "GET /metrics HTTP/1.1\r\nX-Pad: " + pad + "\r\n\r\n"
        << Replies{metrics, {431, false, {close}}} << true;
    QTest::newRow("a method nobody knows") << QByteArray("BREW /metrics HTTP/1.1\r\nHost: test\r\n\r\n")
                                           << Replies{{405, false, {allow}}} << false;
    QTest::newRow("methods are case-sensitive") << QByteArray("get /metrics HTTP/1.1\r\nHost: test\r\n\r\n")
                                                << Replies{{405, false, {allow}}} << false;
    QTest::newRow("another path") << QByteArray("GET /metrics/ HTTP/1.1\r\nHost: test\r\n\r\n")
                                  << Replies{{404}} << false;
    QTest::newRow("HEAD of another path")
        << QByteArray("HEAD /nothing HTTP/1.1\r\nHost: test\r\n\r\n") << Replies{{404, true}} << false;
    QTest::newRow("a query") << QByteArray("GET /metrics?name[]=up HTTP/1.1\r\nHost: test\r\n\r\n")
                             << Replies{metrics} << false;
    QTest::newRow("the absolute form")
        << QByteArray("GET http://127.0.0.1:9100/metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        << Replies{metrics} << false;
    QTest::newRow("empty lines before the request") << "\r\n\r\n" + kGet << Replies{metrics} << false;
    QTest::newRow("bare line feeds") << QByteArray("GET /metrics HTTP/1.1\nHost: test\n\n")
                                     << Replies{metrics} << false;
    QTest::newRow("not HTTP") << QByteArray("hello there\r\n\r\n") << Replies{{400, false, {close}}} << true;
    QTest::newRow("no version") << QByteArray("GET /metrics\r\n\r\n") << Replies{{400}} << true;
    QTest::newRow("HTTP/1.1 without Host")
        << QByteArray("GET /metrics HTTP/1.1\r\n\r\n") << Replies{{400}} << true;
    QTest::newRow("two Hosts") << QByteArray("GET /metrics HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n")
                               << Replies{{400}} << true;
    QTest::newRow("a header without a colon")
        << QByteArray("GET /metrics HTTP/1.1\r\nHost: test\r\nnonsense\r\n\r\n") << Replies{{400}} << true;
    QTest::newRow("a blank before the colon")
        << QByteArray("GET /metrics HTTP/1.1\r\nHost : test\r\n\r\n") << Replies{{400}} << true;
    QTest::newRow("a folded header") << QByteArray(
                                            "GET /metrics HTTP/1.1\r\nHost: test\r\nX-A: b\r\n c\r\n\r\n")
                                     << Replies{{400}} << true;
    QTest::newRow("lengths that differ")
        << QByteArray("GET /metrics HTTP/1.1\r\nHost: test\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n")
        << Replies{{400}} << true;
    QTest::newRow("HTTP/2") << QByteArray("GET /metrics HTTP/2.0\r\nHost: test\r\n\r\n")
                            << Replies{{505, false, {close}}} << true;
    QTest::newRow("a body: answered, then closed")
        << QByteArray("POST /metrics HTTP/1.1\r\nHost: test\r\nContent-Length: 5\r\n\r\nhello" + kGet)
        << Replies{{405, false, {allow, close}}} << true;
    QTest::newRow("a chunked body: answered, then closed")
        << QByteArray("GET /metrics HTTP/1.1\r\nHost: test\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
        << Replies{{200, false, {close}, help}} << true;
}

void MetricsTest::requests()
{
    QFETCH(QByteArray, request);
    QFETCH(Replies, replies);
    QFETCH(bool, closes);

    MetricsSink metrics(QStringLiteral("b1"), QStringLiteral("1.0.0"));
    metrics.take(reading(1, QStringLiteral("hall"), 21.5));
    MetricsServer server(metrics);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});
    const QByteArray length = QByteArray::number(metrics.exposition().size());

    RawClient client(server.port());
    QTRY_VERIFY_WITH_TIMEOUT(client.connected(), 10000);
    QCOMPARE(client.socket.write(request), request.size());
    QList<bool> heads;
    for (const Expected& reply : replies)
        heads << reply.head;
    if (closes) {
        QTRY_VERIFY_WITH_TIMEOUT(client.closed(), 10000);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(parseResponses(client.bytes(), heads).size(), heads.size(), 10000);
        // The connection goes on.
        QCOMPARE(client.socket.write(kGet), kGet.size());
        heads << false;
        replies << Expected{200};
        QTRY_COMPARE_WITH_TIMEOUT(parseResponses(client.bytes(), heads).size(), heads.size(), 10000);
    }

    QByteArray rest;
    const QList<Response> got = parseResponses(client.bytes(), heads, &rest);
    QCOMPARE(got.size(), replies.size());
    // Nothing more: no body after HEAD, no reply after the close.
    QVERIFY2(rest.isEmpty(), rest.left(200).constData());
    for (qsizetype i = 0; i < got.size(); ++i) {
        const Expected& want = replies[i];
        QCOMPARE(got[i].status, want.status);
        for (const QByteArray& header : want.headers) {
            const qsizetype colon = header.indexOf(": ");
            QCOMPARE(got[i].headers.value(header.left(colon).toLower()),
                     header.mid(colon + 2).replace("%length", length));
        }
        QVERIFY2(got[i].body.startsWith(want.bodyStart), got[i].body.left(200).constData());
        if (want.status == 200 && !want.head)
            QCOMPARE(got[i].body, metrics.exposition());
    }
}

void MetricsTest::clientThatNeverReads()
{
    Parts parts(QStringLiteral("b1"));
    feedEverything(parts);
    MetricsSink& metrics = parts.metrics;
    MetricsServer server(metrics);
    MetricsServer::Limits limits;
    limits.slow = 5s;
    server.setLimits(limits);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});

    QByteArray requests;
    while (requests.size() < 1'500'000)
        requests += kGet;
    Flooder flooder(server.port(), requests);
    QVERIFY(flooder.ok);
    // The replies pile up to the bound: from there the server waits for the client to read.
    QTRY_VERIFY_WITH_TIMEOUT(server.load().peakConnectionBytes >= limits.unsentReplies, 20000);

    {
        // Meanwhile another client is answered.
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        const auto reply = fetch(manager, server.url(), "GET");
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 10000);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(reply->readAll(), metrics.exposition());
    }

    // The client that never reads is closed, and nothing is left of either.
    QTRY_VERIFY_WITH_TIMEOUT(flooder.closed(), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(server.load().connections, 0, 10000);
    QCOMPARE(server.load().bufferedBytes, 0);
    // What one connection held: the unsent replies up to the bound and one reply more, the head
    // being read, and Qt's read buffer.
    const qint64 bound = limits.unsentReplies + metrics.exposition().size() + 2 * (limits.requestHead + 3);
    QVERIFY2(server.load().peakConnectionBytes <= bound,
             qPrintable(QStringLiteral("%1 bytes held").arg(server.load().peakConnectionBytes)));
}

void MetricsTest::connectionsBeyondTheCap()
{
    MetricsSink metrics(QStringLiteral("b1"), QStringLiteral("1.0.0"));
    MetricsServer server(metrics);
    MetricsServer::Limits limits;
    limits.connections = 4;
    limits.idle = 600s; // none closes on its own during the test
    server.setLimits(limits);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});

    // Prometheus, connected first and keeping its connection.
    RawClient scraper(server.port());
    QTRY_VERIFY_WITH_TIMEOUT(scraper.connected(), 10000);
    QCOMPARE(scraper.socket.write(kGet), kGet.size());
    QTRY_COMPARE_WITH_TIMEOUT(parseResponses(scraper.bytes(), {false}).size(), 1, 10000);

    std::vector<std::unique_ptr<RawClient>> idle;
    for (int i = 0; i < 3; ++i)
        idle.push_back(std::make_unique<RawClient>(server.port()));
    QTRY_COMPARE_WITH_TIMEOUT(server.load().connections, 4, 10000);

    std::vector<std::unique_ptr<RawClient>> excess;
    for (int i = 0; i < 5; ++i)
        excess.push_back(std::make_unique<RawClient>(server.port()));
    for (const auto& client : excess)
        QTRY_VERIFY_WITH_TIMEOUT(client->closed(), 10000);
    QCOMPARE(server.load().refused, 5);
    QCOMPARE(server.load().connections, 4);
    for (const auto& client : idle)
        QVERIFY(client->connected());

    // The scraper is still answered.
    QCOMPARE(scraper.socket.write(kGet), kGet.size());
    QTRY_COMPARE_WITH_TIMEOUT(parseResponses(scraper.bytes(), {false, false}).size(), 2, 10000);
    QCOMPARE(parseResponses(scraper.bytes(), {false, false}).last().status, 200);

    // A connection that goes frees its place.
    idle.front()->socket.abort();
    QTRY_COMPARE_WITH_TIMEOUT(server.load().connections, 3, 10000);
    RawClient late(server.port());
    QTRY_VERIFY_WITH_TIMEOUT(late.connected(), 10000);
    QCOMPARE(late.socket.write(kGet), kGet.size());
    QTRY_COMPARE_WITH_TIMEOUT(parseResponses(late.bytes(), {false}).size(), 1, 10000);
    QCOMPARE(parseResponses(late.bytes(), {false}).first().status, 200);
    QCOMPARE(server.load().refused, 5);
}

void MetricsTest::timeOuts_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("answered"); // before it goes idle
    QTest::addColumn<int>("idleMs");
    QTest::addColumn<int>("slowMs");

    // The time-out that should not apply is longer than the test may take.
    QTest::newRow("connected, saying nothing") << QByteArray() << false << 300 << 600'000;
    QTest::newRow("silent after a reply") << kGet << true << 300 << 600'000;
    QTest::newRow("a head never finished")
        << QByteArray("GET /metrics HTTP/1.1\r\nHo") << false << 600'000 << 300;
    QTest::newRow("empty lines, never a request") << QByteArray("\r\n\r\n\r\n") << false << 300 << 600'000;
}

void MetricsTest::timeOuts()
{
    QFETCH(QByteArray, sent);
    QFETCH(bool, answered);
    QFETCH(int, idleMs);
    QFETCH(int, slowMs);

    MetricsSink metrics(QStringLiteral("b1"), QStringLiteral("1.0.0"));
    MetricsServer server(metrics);
    MetricsServer::Limits limits;
    limits.idle = std::chrono::milliseconds(idleMs);
    limits.slow = std::chrono::milliseconds(slowMs);
    server.setLimits(limits);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});

    RawClient client(server.port());
    QTRY_VERIFY_WITH_TIMEOUT(client.connected(), 10000);
    QCOMPARE(client.socket.write(sent), sent.size());
    QTRY_VERIFY_WITH_TIMEOUT(client.closed(), 30000);
    QCOMPARE(parseResponses(client.bytes(), {false}).size(), answered ? 1 : 0);
    QTRY_COMPARE_WITH_TIMEOUT(server.load().connections, 0, 10000);
}

void MetricsTest::outOfDescriptors()
{
    MetricsSink metrics(QStringLiteral("b1"), QStringLiteral("1.0.0"));
    MetricsServer server(metrics);
    MetricsServer::Limits limits;
    limits.connections = 10'000; // the descriptors run out first
    limits.acceptPause = 100ms;
    server.setLimits(limits);
    server.listen({QHostAddress(QHostAddress::LocalHost), 0});
    // Served once before, as a running service has been: the accepting that failed last found no
    // connection waiting, which is not the failure to come.
    {
        RawClient first(server.port());
        QTRY_VERIFY_WITH_TIMEOUT(first.connected(), 10000);
        QCOMPARE(first.socket.write(kGet), kGet.size());
        QTRY_COMPARE_WITH_TIMEOUT(parseResponses(first.bytes(), {false}).size(), 1, 10000);
    }

    // Clients take every descriptor left: connected by the system, none can be accepted.
    DescriptorLimit limit;
    QVERIFY(limit.leave(20));
    std::vector<int> clients;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (;;) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (fd < 0)
            break;
        clients.push_back(fd);
        QVERIFY(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
                errno == EINPROGRESS);
    }
    QCOMPARE(errno, EMFILE);
    QVERIFY(!clients.empty());
    QTRY_VERIFY_WITH_TIMEOUT(server.load().acceptPauses > 0, 10000);

    // The descriptors come back: the server accepts again, on its own.
    for (const int fd : clients)
        ::close(fd);
    limit.restore();
    RawClient client(server.port());
    QTRY_VERIFY_WITH_TIMEOUT(client.connected(), 10000);
    QCOMPARE(client.socket.write(kGet), kGet.size());
    QTRY_COMPARE_WITH_TIMEOUT(parseResponses(client.bytes(), {false}).size(), 1, 10000);
    QCOMPARE(parseResponses(client.bytes(), {false}).first().status, 200);
}

QTEST_GUILESS_MAIN(MetricsTest)
#include "tst_metrics.moc"
