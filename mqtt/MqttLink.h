// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

namespace calimbra {

// What a publisher needs of a connection to an MQTT broker: the calls and signals of MqttClient
// that the broker's sink uses. The real client and a test double both implement it, so the sink's
// bookkeeping (order, acknowledgements, what goes again after a loss) can be tried without a broker.
class MqttLink : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Connects, and keeps connecting after any failure or loss.
    virtual void start() = 0;
    // Says goodbye, so that the broker does not send the will, and stays disconnected.
    virtual void stop() = 0;
    [[nodiscard]] virtual bool isConnected() const = 0;
    // The message id whose published() says the broker has it; nothing when not connected.
    [[nodiscard]] virtual std::optional<int> publish(const QString& topic, const QByteArray& payload, int qos,
                                                     bool retain) = 0;
    // Subscribes now if connected, and after every connection.
    virtual void subscribe(const QString& topic, int qos) = 0;

signals:
    void connected();
    // Once when a connection is lost, and once when the first attempt after start() fails; not for
    // each attempt after. The reason says, for the user, what happened and what to check.
    void disconnected(const QString& reason);
    // Messages not acknowledged when the connection was lost get no published(): they are the
    // caller's to send again after connected().
    void published(int mid);
    void messageReceived(const QString& topic, const QByteArray& payload, bool retained);
};

} // namespace calimbra
