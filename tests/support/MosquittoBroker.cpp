// SPDX-License-Identifier: MIT
#include "MosquittoBroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kPollPauseMs = 10;
constexpr int kToolTimeoutMs = 30000;
constexpr int kMessageTimeoutMs = 10000;

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on now; the broker binds it right after, and again after each restart.
quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        qFatal("no free loopback port for the broker");
    ::close(fd);
    return ntohs(address.sin_port);
}

bool acceptsConnections(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    const bool accepted = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return accepted;
}

} // namespace

MosquittoBroker::MosquittoBroker() : MosquittoBroker(Options()) {}

MosquittoBroker::MosquittoBroker(Options options) : options_(std::move(options))
{
    port_ = freePort();
    if (!options_.user.isEmpty())
        run(QStringLiteral("mosquitto_passwd"),
            {QStringLiteral("-c"), QStringLiteral("-b"), dir_.filePath(QStringLiteral("passwords")),
             options_.user, options_.password});
    if (options_.tlsHostName) {
        tlsPort_ = freePort();
        makeCertificates(*options_.tlsHostName);
    }
    writeConfig();
    process_.setProgram(QStringLiteral("/usr/sbin/mosquitto"));
    process_.setArguments({QStringLiteral("-c"), dir_.filePath(QStringLiteral("mosquitto.conf"))});
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    start();
}

MosquittoBroker::~MosquittoBroker()
{
    if (process_.state() != QProcess::NotRunning)
        stop();
}

void MosquittoBroker::writeConfig() const
{
    QStringList lines{QStringLiteral("per_listener_settings false")};
    // As root it would otherwise become the user "mosquitto", who cannot read this directory.
    if (const passwd* user = ::getpwuid(::getuid()))
        lines << QStringLiteral("user %1").arg(QString::fromLocal8Bit(user->pw_name));
    lines << QStringLiteral("log_dest file %1").arg(dir_.filePath(QStringLiteral("mosquitto.log")));
    if (options_.persistence)
        lines << QStringLiteral("persistence true")
              << QStringLiteral("persistence_location %1/").arg(dir_.path());
    else
        lines << QStringLiteral("persistence false");
    if (options_.user.isEmpty())
        lines << QStringLiteral("allow_anonymous true");
    else
        lines << QStringLiteral("allow_anonymous false")
              << QStringLiteral("password_file %1").arg(dir_.filePath(QStringLiteral("passwords")));
    lines << QStringLiteral("listener %1 127.0.0.1").arg(port_);
    if (options_.tlsHostName)
        lines << QStringLiteral("listener %1 127.0.0.1").arg(tlsPort_)
              << QStringLiteral("cafile %1").arg(caFile())
              << QStringLiteral("certfile %1").arg(dir_.filePath(QStringLiteral("server.crt")))
              << QStringLiteral("keyfile %1").arg(dir_.filePath(QStringLiteral("server.key")));
    QFile config(dir_.filePath(QStringLiteral("mosquitto.conf")));
    if (!config.open(QIODevice::WriteOnly) || config.write(lines.join(u'\n').toUtf8() + '\n') < 0)
        qFatal("could not write the broker's configuration");
}

void MosquittoBroker::makeCertificates(const QString& hostName) const
{
    const QStringList ecKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    run(QStringLiteral("openssl"),
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey +
            QStringList{QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                        QStringLiteral("ca.crt"), QStringLiteral("-days"), QStringLiteral("2"),
                        QStringLiteral("-subj"), QStringLiteral("/CN=Calimbra test CA")});
    run(QStringLiteral("openssl"),
        QStringList{QStringLiteral("req")} + ecKey +
            QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                        QStringLiteral("server.csr"), QStringLiteral("-subj"),
                        QStringLiteral("/CN=") + hostName});
    QFile extensions(dir_.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly) ||
        extensions.write(QStringLiteral("subjectAltName=DNS:%1\n").arg(hostName).toUtf8()) < 0)
        qFatal("could not write the certificate's extensions");
    extensions.close();
    run(QStringLiteral("openssl"),
        {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
         QStringLiteral("-CA"), QStringLiteral("ca.crt"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
         QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), QStringLiteral("server.crt"),
         QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
         QStringLiteral("server.ext")});
}

void MosquittoBroker::run(const QString& program, const QStringList& arguments) const
{
    QProcess tool;
    tool.setWorkingDirectory(dir_.path());
    tool.start(program, arguments);
    if (!tool.waitForFinished(kToolTimeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        qFatal("%s failed: %s%s", qPrintable(program), qPrintable(tool.errorString()),
               tool.readAllStandardError().constData());
}

void MosquittoBroker::start()
{
    process_.start();
    if (!process_.waitForStarted())
        qFatal("the broker did not start: %s", qPrintable(process_.errorString()));
    const QDeadlineTimer deadline(kStartTimeoutMs);
    while (!acceptsConnections(port_) || (tlsPort_ != 0 && !acceptsConnections(tlsPort_))) {
        if (process_.waitForFinished(kPollPauseMs) || deadline.hasExpired())
            qFatal("the broker did not accept connections on port %u: %s", port_, log().constData());
    }
}

void MosquittoBroker::stop()
{
    process_.terminate();
    if (!process_.waitForFinished(kStartTimeoutMs))
        kill();
}

void MosquittoBroker::kill()
{
    process_.kill();
    process_.waitForFinished(kStartTimeoutMs);
}

void MosquittoBroker::signal(int number) const
{
    ::kill(static_cast<pid_t>(process_.processId()), number);
}

QByteArray MosquittoBroker::log() const
{
    QFile file(dir_.filePath(QStringLiteral("mosquitto.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

MosquittoSubscriber::MosquittoSubscriber(const MosquittoBroker& broker, const QString& filter)
{
    // -d shows when the subscription is confirmed; messages come in a format told apart from it.
    // Into a pipe its output would wait in a full buffer.
    process_.setProgram(QStringLiteral("stdbuf"));
    process_.setArguments({QStringLiteral("-oL"), QStringLiteral("mosquitto_sub"), QStringLiteral("-h"),
                           QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(broker.port()),
                           QStringLiteral("-t"), filter, QStringLiteral("-q"), QStringLiteral("1"),
                           QStringLiteral("-d"), QStringLiteral("-F"), QStringLiteral("message %r %t %p")});
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { readLines(); });
    process_.start();
    if (!QTest::qWaitFor([this] { return subscribed_ || process_.state() == QProcess::NotRunning; },
                         kStartTimeoutMs) ||
        !subscribed_)
        qFatal("mosquitto_sub did not subscribe to %s", qPrintable(filter));
}

MosquittoSubscriber::~MosquittoSubscriber()
{
    process_.disconnect();
    process_.terminate();
    if (!process_.waitForFinished(kStartTimeoutMs))
        process_.kill();
    process_.waitForFinished(kStartTimeoutMs);
}

void MosquittoSubscriber::readLines()
{
    while (process_.canReadLine()) {
        const QString line = QString::fromUtf8(process_.readLine()).chopped(1);
        if (line.startsWith(QLatin1String("Subscribed (mid")))
            subscribed_ = true;
        if (line.startsWith(QLatin1String("message "))) {
            const bool retained = line.mid(8, 1) == QLatin1String("1");
            messages_ << line.mid(10) + (retained ? QStringLiteral(" retained") : QString());
        }
    }
}

QStringList MosquittoSubscriber::messages()
{
    readLines();
    return messages_;
}

bool MosquittoSubscriber::waitForMessages(qsizetype count)
{
    return QTest::qWaitFor([this, count] { return messages().size() >= count; }, kMessageTimeoutMs);
}
