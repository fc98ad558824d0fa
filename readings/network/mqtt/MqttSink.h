// SPDX-License-Identifier: MIT
#pragma once

#include "Sink.h"

#include <QHash>
#include <QSet>
#include <QTimer>

#include <chrono>
#include <map>
#include <memory>
#include <optional>

namespace calimbra {

class Error;
class MqttLink;
class Outbox;

// Readings published to an MQTT broker, with nothing lost while the broker is away: each reading is
// stored in the outbox before it is published, and removed only once the broker has acknowledged
// it (QoS 1). Stored readings go out oldest first, ahead of new ones, with their own times.
//
// Topics, for a board named B:
//   calimbra/B/status                 "online" (retained) while connected; "offline" as the will
//                                     and on a clean stop
//   calimbra/B/sensor/N               {"time": ..., "celsius": ..., "reply": ...}, retained
//   calimbra/B/sensor/N/alarm/KIND    "ON" / "OFF", retained (KIND high, low, lost)
//   PREFIX/sensor/calimbra_B_sN/config, PREFIX/binary_sensor/calimbra_B_sN_KIND/config
//                                     Home Assistant discovery, retained, sent again whenever
//                                     Home Assistant announces itself on PREFIX/status
class MqttSink : public Sink
{
    Q_OBJECT

public:
    struct Options
    {
        QString board;
        QString brokerText; // the URL as shown to the user, password masked
        bool discovery = true;
        QString discoveryPrefix = QStringLiteral("homeassistant");
        // Home Assistant marks a sensor unavailable when it has not been updated for this long.
        std::chrono::seconds expireAfter{60};
        QString version;
    };

    // Takes the outbox and the link to the broker (not yet started). Per-sensor names and alarm limits, for
    // discovery, come through setSensorProfile.
    MqttSink(Options options, std::unique_ptr<Outbox> outbox, std::unique_ptr<MqttLink> client,
             QObject* parent = nullptr);
    ~MqttSink() override;

    // Connects, and keeps connecting; publishes what the outbox holds once connected.
    void start();

    void setSensorProfile(int sensor, const QString& name, bool highLimit, bool lowLimit);

    [[nodiscard]] QString description() const override;
    void take(const Reading& reading) override;
    void alarmChanged(const AlarmEvent& event) override;
    void stop() override;

    [[nodiscard]] bool isConnected() const;
    [[nodiscard]] qint64 waiting() const;

    // Topics, for the board named in the options.
    [[nodiscard]] static QString statusTopic(const QString& board);
    [[nodiscard]] QString statusTopic() const { return statusTopic(options_.board); }
    [[nodiscard]] QString sensorTopic(int sensor) const;
    [[nodiscard]] QString alarmTopic(int sensor, AlarmKind kind) const;
    // The JSON published for a reading.
    [[nodiscard]] static QByteArray payload(const Reading& reading);

signals:
    void connectionChanged(bool connected);
    // The outbox's count changed; `dropped`: readings dropped for its limit since the last signal.
    void outboxChanged(qint64 waiting, qint64 dropped);

private:
    struct SensorInfo
    {
        QString name;
        bool high = false;
        bool low = false;
    };

    void onConnected();
    void onDisconnected(const QString& reason);
    void onPublished(int messageId);
    void onMessage(const QString& topic, const QByteArray& payload);
    void publishWaiting();
    void removeAcknowledged();
    void announce(int sensor);
    void announceAll();
    void publishDirect(const QString& topic, const QByteArray& payload, bool retain);
    void noteOutbox();
    bool sayOutboxNotices();
    // Said once while it lasts, and once when an add works again.
    void outboxFailed(const Error& error);
    void outboxWorks();

    Options options_;
    std::unique_ptr<Outbox> outbox_;
    std::unique_ptr<MqttLink> client_;
    QHash<int, qint64> inFlight_; // message id -> outbox id
    QList<qint64> acknowledged_;
    qint64 sentUpTo_ = 0; // the newest outbox id handed to the client on this connection
    QTimer removeTimer_;
    std::map<int, SensorInfo> sensors_; // sensors seen or named, for discovery
    QSet<int> announced_;
    std::map<std::pair<int, AlarmKind>, bool> alarms_;
    qint64 droppedSaid_ = 0;
    bool outboxFailing_ = false;
    bool stopping_ = false;
};

} // namespace calimbra
