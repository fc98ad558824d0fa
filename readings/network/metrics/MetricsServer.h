// SPDX-License-Identifier: MIT
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

class QHttpServer;
class QTcpServer;

namespace calimbra {

class MetricsSink;

// Serves a MetricsSink's exposition at GET /metrics for Prometheus to scrape.
//
// Qt HTTP Server answers on the program's own event loop, between rounds, in the thread that
// feeds the registry: no server thread, no lock, no copy of the registry, and the sockets are
// watched like the serial port is.
class MetricsServer : public QObject
{
    Q_OBJECT

public:
    struct Address
    {
        QHostAddress host;
        quint16 port{};
    };

    // "[HOST:]PORT": "9100" (on 127.0.0.1), "0.0.0.0:9100", "[::1]:9100". HOST is an IP address or
    // localhost; PORT 1 to 65535. Throws Error naming the text and the accepted form.
    [[nodiscard]] static Address parseAddress(const QString& text);

    // `metrics` must outlive the server.
    explicit MetricsServer(const MetricsSink& metrics, QObject* parent = nullptr);
    ~MetricsServer() override;

    // Starts listening, once. Port 0 takes any free port (see port()). Throws Error when the port is
    // taken, the address is not this computer's, or the port needs privileges.
    void listen(const Address& address);
    void listen(const QString& address) { listen(parseAddress(address)); }

    [[nodiscard]] quint16 port() const;
    // "http://127.0.0.1:9100/metrics", "http://[::1]:9100/metrics": for the program's messages.
    [[nodiscard]] QString url() const;

private:
    const MetricsSink& metrics_;
    QHttpServer* http_;
    QTcpServer* tcp_ = nullptr; // owned by http_ once listening
};

} // namespace calimbra
