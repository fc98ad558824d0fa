// SPDX-License-Identifier: MIT
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <vector>

class QSocketNotifier;
class QTcpServer;

namespace calimbra {

class MetricsSink;

// Serves a MetricsSink's exposition at GET /metrics (and HEAD) for Prometheus to scrape, over
// HTTP/1.1 with keep-alive and pipelining.
//
// It answers on the program's own event loop, between rounds, in the thread that feeds the
// registry: no server thread, no lock, no copy of the registry. Nothing in it blocks, and what a
// client may hold is bounded (see Limits), so that no client, however it behaves, and no number of
// them, can take the memory, the descriptors or the time the sampling needs.
class MetricsServer : public QObject
{
    Q_OBJECT

public:
    struct Address
    {
        QHostAddress host;
        quint16 port{};
    };

    struct Limits
    {
        // More are accepted and closed at once (503), so that they hold no descriptor.
        int connections = 64;
        // A longer request line and headers: 431, and the connection closes.
        qsizetype requestHead = 8 * 1024;
        // While more of the replies is unsent, no further request is read: a client that sends
        // and never reads stops itself.
        qsizetype unsentReplies = 64 * 1024;
        // Waiting for the next request.
        std::chrono::milliseconds idle{10'000};
        // From a request's first byte until every reply is sent: a client that sends or reads too
        // slowly, or not at all, is closed after this.
        std::chrono::milliseconds slow{30'000};
        // Accepting stops this long when there is no descriptor left for a connection (EMFILE),
        // rather than trying again and again at once.
        std::chrono::milliseconds acceptPause{1'000};
    };

    // What the clients hold now, for the tests and the benchmark.
    struct Load
    {
        int connections = 0;
        qint64 bufferedBytes = 0;       // requests read and replies unsent, in every connection
        qint64 peakConnectionBytes = 0; // the most one connection has held at once, ever
        int refused = 0;                // connections closed at once for the cap
        int acceptPauses = 0;           // times accepting stopped for want of descriptors
    };

    // "[HOST:]PORT": "9100" (on 127.0.0.1), "0.0.0.0:9100", "[::1]:9100". HOST is an IP address or
    // localhost; PORT 1 to 65535. Throws Error naming the text and the accepted form.
    [[nodiscard]] static Address parseAddress(const QString& text);

    // `metrics` must outlive the server.
    explicit MetricsServer(const MetricsSink& metrics, QObject* parent = nullptr);
    ~MetricsServer() override;

    // For the connections accepted from now on.
    void setLimits(const Limits& limits) { limits_ = limits; }
    [[nodiscard]] const Limits& limits() const { return limits_; }
    [[nodiscard]] Load load() const;

    // Starts listening, once. Port 0 takes any free port (see port()). Throws Error when the port is
    // taken, the address is not this computer's, or the port needs privileges.
    void listen(const Address& address);
    void listen(const QString& address) { listen(parseAddress(address)); }

    [[nodiscard]] quint16 port() const;
    // "http://127.0.0.1:9100/metrics", "http://[::1]:9100/metrics": for the program's messages.
    [[nodiscard]] QString url() const;

private:
    class Connection;

    void acceptPending();
    void accept(int fd);
    void forget(Connection* connection);
    void noteBuffered(qint64 bytes);
    [[nodiscard]] QByteArray metricsBody() const;

    const MetricsSink& metrics_;
    QTcpServer* tcp_ = nullptr; // listens; its descriptor is accepted from by acceptor_
    QSocketNotifier* acceptor_ = nullptr;
    Limits limits_;
    std::vector<Connection*> connections_; // children, each deleting itself when closed
    QTimer resumeAccepting_;
    qint64 peakConnectionBytes_ = 0;
    int refused_ = 0;
    int acceptPauses_ = 0;
};

} // namespace calimbra
