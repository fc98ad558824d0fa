// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// Debian's Mosquitto broker, started for a test on a free loopback port with a configuration of its
// own; it can be stopped or killed and started again on the same port.
class MosquittoBroker
{
public:
    struct Options
    {
        bool persistence = false;
        // Anonymous clients are refused when set.
        QString user;
        QString password;
        // Adds a TLS listener whose certificate, signed by a CA made for this broker, names this host.
        std::optional<QString> tlsHostName;
    };

    // Started, and accepting connections, when constructed.
    MosquittoBroker();
    explicit MosquittoBroker(Options options);
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    void start();
    void stop();                   // SIGTERM: clients are disconnected, persistence saved
    void kill();                   // SIGKILL
    void signal(int number) const; // SIGSTOP, SIGCONT: a broker that stalls

    [[nodiscard]] quint16 port() const { return port_; }
    [[nodiscard]] quint16 tlsPort() const { return tlsPort_; }
    [[nodiscard]] QString caFile() const { return dir_.filePath(QStringLiteral("ca.crt")); }
    [[nodiscard]] QByteArray log() const;

private:
    void writeConfig() const;
    void makeCertificates(const QString& hostName) const;
    void run(const QString& program, const QStringList& arguments) const;

    Options options_;
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
    quint16 tlsPort_ = 0;
};

// mosquitto_sub on one topic filter, at QoS 1, collecting what arrives.
class MosquittoSubscriber
{
public:
    // Returns once the broker has confirmed the subscription.
    MosquittoSubscriber(const MosquittoBroker& broker, const QString& filter);
    ~MosquittoSubscriber();
    MosquittoSubscriber(const MosquittoSubscriber&) = delete;
    MosquittoSubscriber& operator=(const MosquittoSubscriber&) = delete;

    // "<topic> <payload>", "retained" appended for retained ones, oldest first.
    [[nodiscard]] QStringList messages();
    // Waits, running the event loop, until that many have arrived or ten seconds have passed.
    bool waitForMessages(qsizetype count);

private:
    void readLines();

    QProcess process_;
    QStringList messages_;
    bool subscribed_ = false;
};
