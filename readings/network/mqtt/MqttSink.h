// SPDX-License-Identifier: MIT
#pragma once

#include "Figures.h"
#include "Profile.h"
#include "Sink.h"
#include "Topics.h"

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
// Topics (see Topics), for a board named B:
//   calimbra/B/status                 "online" (retained) while connected; "offline" as the will
//                                     and on a clean stop
//   calimbra/B/sensor/N               the reading as a JSON Lines log holds it (readingJson()),
//                                     retained
//   calimbra/B/sensor/N/limits        the sensor's limits as data (limitsJson()), retained
//   calimbra/B/sensor/N/alarm/KIND    "ON" / "OFF", retained (KIND high, low, lost), from the moment
//                                     the alarm is announced
//   PREFIX/sensor/calimbra_B_sN/config, PREFIX/binary_sensor/calimbra_B_sN_KIND/config
//                                     Home Assistant discovery, retained, sent again whenever
//                                     Home Assistant announces itself on PREFIX/status and whenever
//                                     a sensor's profile or resolution changes
// Its figures: whether the broker is connected, and the outbox's readings and drops.
class MqttSink : public Sink, public FigureSource
{
    Q_OBJECT

public:
    struct Options
    {
        QString board;
        QString brokerText; // the URL as shown to the user, password masked
        bool discovery = true;
        QString discoveryPrefix = Topics::kDefaultDiscoveryPrefix;
        // Home Assistant marks a sensor unavailable when it has not been updated for this long.
        std::chrono::seconds expireAfter{60};
        // How long stop() may wait for the outbox to reach the broker before saying goodbye.
        std::chrono::milliseconds drainWithin{10000};
        QString version;
    };

    // Digits after the point a sensor is announced with before its first value says otherwise: a
    // DS18B20's reply has two ("+22.47").
    static constexpr int kAssumedDecimals = 2;

    // Takes the outbox and the link to the broker (not yet started). Per-sensor names and alarm
    // limits, for discovery, come through setSensorProfile. Throws Error for a board's name or a
    // discovery prefix no topic can hold (isValidBoardName(), discoveryPrefixProblem()).
    MqttSink(Options options, std::unique_ptr<Outbox> outbox, std::unique_ptr<MqttLink> client,
             QObject* parent = nullptr);
    ~MqttSink() override;

    // Connects, and keeps connecting; publishes what the outbox holds once connected.
    void start() override;

    // The sensor's name and alarm limits, announced to Home Assistant (again, when they change).
    void setSensorProfile(int sensor, const SensorProfile& profile);

    [[nodiscard]] QString description() const override;
    void take(const Reading& reading) override;
    void alarmChanged(const AlarmEvent& event) override;
    // Waits, up to drainWithin, until the broker has every reading of the outbox, or until nothing
    // can reach it (its connection refused or lost, nothing on its way), then says "offline" and
    // goodbye. Readings left are said (failing()), and go at the next start.
    void stop() override;

    [[nodiscard]] bool isConnected() const;
    [[nodiscard]] qint64 waiting() const;

    void writeFigures(FigureWriter& writer) const override;

    [[nodiscard]] const Topics& topics() const { return topics_; }
    // The service's status topic, for its last will.
    [[nodiscard]] static QString statusTopic(const QString& board) { return Topics::status(board); }

signals:
    void connectionChanged(bool connected);
    // The outbox's count changed; `dropped`: readings dropped for its limit since the last signal.
    void outboxChanged(qint64 waiting, qint64 dropped);

private:
    struct SensorInfo
    {
        SensorProfile profile;
        std::optional<int> decimals; // of its latest value
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
    void publishAlarm(int sensor, AlarmKind kind);
    void publishLimits(int sensor);
    void noteOutbox();
    [[nodiscard]] bool drained() const;
    void finishStop();
    bool sayOutboxNotices();
    // Said once while it lasts, and once when an add works again.
    void outboxFailed(const Error& error);
    void outboxWorks();

    Options options_;
    Topics topics_;
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
    bool brokerAway_ = false; // its connection was refused or lost, and not made again since
    QTimer drainTimer_;
};

} // namespace calimbra
