// SPDX-License-Identifier: MIT
#pragma once

#include "Alarm.h"
#include "BoardProtocol.h"
#include "MqttUrl.h"
#include "Reading.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <bitset>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>

namespace calimbra {

class MqttClient;

// The readings of a board on another machine, as its logging service (calimbra-cli log --mqtt)
// publishes them to an MQTT broker: the boards that announce themselves on calimbra/+/status, the
// sensors' names from their Home Assistant discovery messages, and the readings and alarms of the
// board followed, those the broker kept first. It only listens: it publishes nothing and leaves no
// last will, so that watching a board never changes what others see of it.
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

    explicit BrokerSource(QObject* parent = nullptr);
    ~BrokerSource() override;

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
    // subscriptions are kept for its whole life.
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
    void readingReceived(const calimbra::Reading& reading);
    // The followed board's service came or went; `when` is when the monitor heard it.
    void availabilityChanged(bool online, const QDateTime& when);
    void sensorNamed(int sensor, const QString& name);
    // An alarm the service raised or cleared on a sensor of the followed board.
    void alarmChanged(const calimbra::AlarmEvent& event);
    // A message that is not what the service publishes, said once for each topic.
    void notice(const QString& message);

private:
    void connectClient();
    void onMessage(const QString& topic, const QByteArray& payload, bool retained);
    void onStatus(const QString& board, const QByteArray& payload);
    void onDiscovery(const QString& topic, const QByteArray& payload);
    void onReading(int sensor, const QString& topic, const QByteArray& payload, bool retained);
    void onAlarm(int sensor, const QString& kindName, const QString& topic, const QByteArray& payload);
    void noteOnce(const QString& topic, const QString& message);
    [[nodiscard]] QString nameOf(const QString& board, int sensor) const;

    MqttUrl url_;
    std::unique_ptr<MqttClient> client_;
    QString board_;
    QHash<QString, bool> boards_;                         // name -> online
    QHash<QString, std::pair<QString, int>> discoveries_; // config topic -> board and sensor
    QHash<QString, QHash<int, QString>> names_;           // board -> sensor -> name
    std::array<std::optional<qint64>, board::kMaxSensors> lastArrivedMs_{};
    std::array<std::optional<double>, board::kMaxSensors> lastCelsius_{};
    std::array<std::bitset<3>, board::kMaxSensors> alarms_{}; // by AlarmKind
    QHash<QString, bool> noted_;
};

// A reading as the service publishes it on calimbra/B/sensor/N: {"time", "celsius"?, "reply",
// "error"?}. Nothing, and why in `why`, when the payload is not one.
[[nodiscard]] std::optional<Reading> readingFromJson(int sensor, const QByteArray& payload, QString* why);

} // namespace calimbra
