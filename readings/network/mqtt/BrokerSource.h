// SPDX-License-Identifier: MIT
#pragma once

#include "Alarm.h"
#include "BoardProtocol.h"
#include "LogParser.h"
#include "MqttUrl.h"
#include "Reading.h"
#include "Topics.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <array>
#include <bitset>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace calimbra {

class MqttClient;

// The readings of a board on another machine, as its logging service (calimbra-cli log --mqtt)
// publishes them to an MQTT broker: the boards that announce themselves on calimbra/+/status, the
// sensors' names from their Home Assistant discovery messages, and the readings and alarms of the
// board followed, those the broker kept first. It only listens: it publishes nothing and leaves no
// last will, so that watching a board never changes what others see of it.
//
// A broker is anyone's to write to: what comes is bounded (the topic's length, the message's size,
// a name's length, a value's range, a board's name, the number of boards) and what is not taken is
// said once.
class BrokerSource : public QObject
{
    Q_OBJECT

public:
    struct Board
    {
        QString name;
        bool online = false;
        bool operator==(const Board&) const = default;
    };

    // Longer topics are none of the service's (its longest, a discovery topic under the longest
    // prefix, is about 240).
    static constexpr qsizetype kLongestTopic = 256;
    // Larger messages are none of the service's (its largest, a sensor's discovery, is under 2 KiB).
    static constexpr qsizetype kLargestMessage = 8 * 1024;
    // Values outside are no temperature a DS18B20 gives (-55 to +125 °C), whatever the offset.
    static constexpr double kLowestCelsius = -60;
    static constexpr double kHighestCelsius = 200;
    // Boards listed at most, and boards whose sensors' names are kept.
    static constexpr qsizetype kMostBoards = 256;
    // Readings' times remembered per sensor, so that one handed over again is not taken twice.
    static constexpr qsizetype kRememberedTimes = 4096;

    explicit BrokerSource(QObject* parent = nullptr);
    ~BrokerSource() override;

    // The Home Assistant discovery prefix the services announce their sensors under (their
    // --discovery-prefix, the board file's discovery_prefix), for the sensors' names; by default
    // "homeassistant". A change while running costs a new connection. Throws Error for one
    // discoveryPrefixProblem() refuses.
    void setDiscoveryPrefix(const QString& prefix);
    [[nodiscard]] const QString& discoveryPrefix() const { return topics_.discoveryPrefix(); }

    // This monitor's own lasting id (letters, digits, '-' and '_', at most 32), which with the
    // followed board's name names a persistent session (clientId()): the broker keeps the board's
    // readings and alarms that come while the monitor is away (a lost connection, a restart of the
    // broker) and hands them over when it is back. Empty, the default: a clean session, nothing
    // kept. Two monitors must not share one: the broker lets one session in at a time. A change
    // while running costs a new connection. Throws Error for an id that is not of that form.
    void setMonitorId(const QString& monitorId);
    [[nodiscard]] const QString& monitorId() const { return monitorId_; }
    // The MQTT client id of the session of a monitor and a board: calimbra-monitor-ID-BOARD.
    [[nodiscard]] static QString clientId(const QString& monitorId, const QString& board);

    // Connects, and keeps connecting after every failure or loss. Throws Error for a broker no
    // client could connect to (no host).
    void start(const MqttUrl& url);
    void stop();
    [[nodiscard]] bool isRunning() const { return client_ != nullptr; }
    [[nodiscard]] bool isConnected() const;
    // The broker as the monitor names it, the password masked.
    [[nodiscard]] QString brokerText() const { return url_.display(); }

    // Follows this board from now on: the readings the broker kept for it, then each as it comes.
    // Empty: none. A different board while connected costs a new connection, since a client's
    // subscriptions are kept for its whole life. A name isValidBoardName() refuses is said
    // (notice) and follows none.
    void follow(const QString& board);
    [[nodiscard]] const QString& board() const { return board_; }
    // Every board that announced itself, by name.
    [[nodiscard]] QList<Board> boards() const;
    // The followed board's availability, once its status is known.
    [[nodiscard]] std::optional<bool> online() const;

signals:
    void connected();
    // The reason is the MQTT client's: what happened and what to check.
    void disconnected(const QString& reason);
    void retrying(std::chrono::seconds delay, const QString& reason);
    void boardsChanged();
    // Each reading of the followed board once, whether the broker hands it over again (a kept
    // reading after a reconnection) or the service sends it again (its outbox after a loss).
    void readingReceived(const calimbra::Reading& reading);
    // The followed board's service came or went; `when` is when the monitor heard it.
    void availabilityChanged(bool online, const QDateTime& when);
    void sensorNamed(int sensor, const QString& name);
    // The limits the service watches a sensor of the followed board against (name left empty).
    void limitsReceived(int sensor, const calimbra::SensorProfile& limits);
    // An alarm the service raised or cleared on a sensor of the followed board.
    void alarmChanged(const calimbra::AlarmEvent& event);
    // A message that is not what the service publishes, or beyond a bound, said once.
    void notice(const QString& message);

private:
    void connectClient();
    void restart();
    void forgetBoard();
    void onMessage(const QString& topic, const QByteArray& payload, bool retained);
    void onStatus(const QString& board, const QByteArray& payload);
    void onDiscovery(const QString& board, int sensor, const QString& topic, const QByteArray& payload);
    void onReading(int sensor, const QString& topic, const QByteArray& payload);
    void onAlarm(int sensor, AlarmKind kind, const QString& topic, const QByteArray& payload);
    void onLimits(int sensor, const QString& topic, const QByteArray& payload);
    [[nodiscard]] bool isNew(int sensor, qint64 ms);
    void noteOnce(const QString& key, const QString& message);
    [[nodiscard]] QString nameOf(const QString& board, int sensor) const;

    MqttUrl url_;
    Topics topics_;
    QString monitorId_;
    std::unique_ptr<MqttClient> client_;
    LogParser parser_;
    QString board_;
    QHash<QString, bool> boards_;                                // name -> online
    QHash<QString, QHash<int, QString>> names_;                  // board -> sensor -> name
    std::array<std::vector<qint64>, board::kMaxSensors> seen_{}; // times taken, in order
    std::array<std::optional<double>, board::kMaxSensors> lastCelsius_{};
    std::array<std::bitset<3>, board::kMaxSensors> alarms_{}; // by AlarmKind
    QSet<QString> noted_;
};

} // namespace calimbra
