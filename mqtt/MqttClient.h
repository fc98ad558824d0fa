// SPDX-License-Identifier: MIT
#pragma once

#include "MqttLink.h"
#include "MqttUrl.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QSocketNotifier;
struct mosquitto;

namespace calimbra {

// An MQTT 3.1.1 client (libmosquitto) run by the Qt event loop: the socket is watched by socket
// notifiers and a timer keeps the session alive; no thread of its own, no blocking waits, except
// the one named at start().
//
// What is delivered is the caller's to track. Each connection starts with a new library handle:
// messages published and not yet acknowledged (published(mid) not emitted) when the connection is
// lost are dropped, never sent again behind the caller's back, so the caller publishes them again,
// in its own order, after connected(). Message ids count within one connection only; after
// disconnected() no published() comes for the ids handed out before it. Subscriptions are kept and
// made again on every connection.
//
// By default each connection is also a clean session. With a persistent one (cleanSession false,
// a client id of its own) the broker keeps the subscriptions while the client is away and hands
// over, once it is back, the QoS 1 and 2 messages that came meanwhile.
class MqttClient : public MqttLink
{
    Q_OBJECT

public:
    struct Will
    {
        QString topic;
        QByteArray payload;
        int qos = 1;
        bool retain = true;
    };

    struct Settings
    {
        QString host;
        quint16 port = kMqttPort;
        bool tls = false;
        QString user; // empty: no login
        QString password;
        QString caFile;   // PEM file of the authorities to trust; empty: the system's store
        QString clientId; // empty: a random one, chosen anew for each connection
        // false: the broker keeps the session under the client id between connections; needs one.
        bool cleanSession = true;
        std::chrono::seconds keepAlive{30};
        std::optional<Will> will; // sent by the broker when the connection ends without stop()

        [[nodiscard]] static Settings fromUrl(const MqttUrl& url);
    };

    static constexpr std::chrono::seconds kFirstRetryDelay{1};
    static constexpr std::chrono::seconds kLongestRetryDelay{30};
    // From the start of an attempt (name lookup included) to the broker's acceptance.
    static constexpr std::chrono::seconds kConnectTimeout{10};
    // QoS 1 and 2 messages on the wire at once, awaiting their acknowledgement; more published
    // wait in the library, in order. A backlog of 10000 messages of 100 bytes took 3.3 s to a
    // local broker with the library's default of 20, 0.85 s with 200, 0.8 s with 1000 and 2 s
    // without a limit, the library's lists growing long. Over a network the window counts for
    // more: at 20 ms round trip, 20 cannot pass more than 1000 messages a second.
    static constexpr int kSendMaximum = 200;

    // Throws Error for settings no broker could take (no host, a will topic with wildcards, a
    // persistent session without a client id, ...).
    explicit MqttClient(Settings settings, QObject* parent = nullptr);
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    [[nodiscard]] const Settings& settings() const { return settings_; }
    // The broker for messages: "broker.local:1883".
    [[nodiscard]] QString brokerName() const;

    // Connects, and after any failure or loss connects again, waiting 1, 2, 4 ... up to 30 s
    // between attempts (1 s again once a connection was accepted). The host name is looked up
    // first, in Qt's resolver thread, within the connect timeout; for TLS the library then looks it
    // up once more itself, blocking (usually briefly, the name having just been looked up),
    // because the certificate is checked against the name it connected to.
    void start() override;
    // Says goodbye (DISCONNECT, so the broker does not send the will) and stays disconnected.
    // Signals not yet delivered are dropped; no signal follows.
    void stop() override;
    [[nodiscard]] bool isConnected() const override { return state_ == State::Connected; }

    // The message id, whose published() says the broker has it (QoS 1, 2) or that it was written
    // (QoS 0); nothing when not connected. Throws Error for a topic with wildcards or not UTF-8,
    // a QoS other than 0, 1, 2 or a payload over MQTT's 256 MiB.
    [[nodiscard]] std::optional<int> publish(const QString& topic, const QByteArray& payload, int qos,
                                             bool retain) override;
    // Subscribes now if connected, and after every connection. Throws Error for an invalid filter.
    void subscribe(const QString& topic, int qos) override;

signals:
    // After every failure or loss: the next attempt comes after this delay. Further failed
    // attempts, after the one disconnected(), are said by this alone.
    void retrying(std::chrono::seconds delay, const QString& reason);

private:
    enum class State { Idle, LookingUp, Connecting, Connected, Waiting };
    // What ended an attempt or a connection, gathered from return codes, callbacks and the log.
    struct Failure
    {
        int code = 0;        // MOSQ_ERR_*
        int systemError = 0; // errno, for MOSQ_ERR_ERRNO
        std::optional<int> connack;
        QString lookupError;
        bool timedOut = false;
        bool caFileUnreadable = false;
        bool certificateUntrusted = false;
        bool hostNameMismatch = false;
        QString tlsDetail;
    };
    struct HandleDeleter
    {
        void operator()(mosquitto* handle) const;
    };
    using Handle = std::unique_ptr<mosquitto, HandleDeleter>;
    struct Callbacks;

    void beginAttempt();
    void connectTo(qsizetype addressIndex);
    [[nodiscard]] Handle newHandle();
    void afterLoop(int rc);
    void watchSocket();
    void noteFailure(int code, int systemError);
    void endConnection();
    void closeHandle();
    [[nodiscard]] QString failureReason(bool wasConnected) const;
    void queue(std::function<void()> signal);
    void deliverQueued();

    Settings settings_;
    State state_ = State::Idle;
    Handle handle_;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<QSocketNotifier> writable_;
    QTimer housekeeping_;
    QTimer retryTimer_;
    QTimer attemptTimer_;
    QTimer deliveryTimer_;
    std::chrono::seconds nextDelay_ = kFirstRetryDelay;
    bool downReported_ = false;
    quint64 attempt_ = 0;
    QList<QHostAddress> addresses_;
    qsizetype addressIndex_ = 0;
    std::vector<std::pair<QString, int>> subscriptions_;
    Failure failure_;
    std::vector<std::function<void()>> queued_;
    quint64 stops_ = 0;
};

} // namespace calimbra
