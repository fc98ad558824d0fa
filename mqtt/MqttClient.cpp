// SPDX-License-Identifier: MIT
#include "MqttClient.h"

#include "Error.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QtDebug>

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace calimbra {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds kHousekeepingInterval{1000};
// How long a goodbye may take to leave when the socket's buffer is full.
constexpr std::chrono::milliseconds kGoodbyeTimeout{2000};
constexpr qsizetype kLargestPayload = 268435455;
constexpr char kSystemCaPath[] = "/etc/ssl/certs";

void initialiseLibrary()
{
    struct Library
    {
        Library() { mosquitto_lib_init(); }
        ~Library() { mosquitto_lib_cleanup(); }
    };
    static const Library library;
}

QString libraryError(int code, int systemError)
{
    if (code == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(systemError));
    return QString::fromUtf8(mosquitto_strerror(code));
}

// Hands a handle whose DISCONNECT is still in the socket's buffer over to the event loop until it
// has left, so that stop() need not wait and the broker still hears the goodbye.
class Goodbye : public QObject
{
public:
    explicit Goodbye(mosquitto* handle)
        : QObject(QCoreApplication::instance()), handle_(handle),
          writable_(mosquitto_socket(handle), QSocketNotifier::Write)
    {
        connect(&writable_, &QSocketNotifier::activated, this, [this] {
            mosquitto_loop_write(handle_, 1);
            if (mosquitto_socket(handle_) < 0 || !mosquitto_want_write(handle_))
                finish();
        });
        QTimer::singleShot(kGoodbyeTimeout, this, &Goodbye::finish);
    }
    ~Goodbye() override { mosquitto_destroy(handle_); }

private:
    void finish()
    {
        writable_.setEnabled(false);
        deleteLater();
    }

    mosquitto* handle_;
    QSocketNotifier writable_;
};

} // namespace

void MqttClient::HandleDeleter::operator()(mosquitto* handle) const
{
    mosquitto_destroy(handle);
}

// libmosquitto calls these from within its own functions: they only take note, and signals wait
// for the event loop, so that no slot can destroy the handle under the library's feet.
struct MqttClient::Callbacks
{
    static void connected(mosquitto* handle, void* client, int connack)
    {
        auto* self = static_cast<MqttClient*>(client);
        if (self == nullptr)
            return;
        if (connack != 0) {
            self->failure_.connack = connack;
            return;
        }
        self->state_ = State::Connected;
        self->attemptTimer_.stop();
        self->nextDelay_ = kFirstRetryDelay;
        self->downReported_ = false;
        for (const auto& [topic, qos] : self->subscriptions_) {
            const int rc = mosquitto_subscribe(handle, nullptr, topic.toUtf8().constData(), qos);
            if (rc != MOSQ_ERR_SUCCESS)
                self->noteFailure(rc, errno);
        }
        self->queue([self] { emit self->connected(); });
    }

    static void disconnected(mosquitto*, void* client, int rc)
    {
        auto* self = static_cast<MqttClient*>(client);
        if (self != nullptr && rc != MOSQ_ERR_SUCCESS)
            self->noteFailure(rc, errno);
    }

    static void published(mosquitto*, void* client, int mid)
    {
        auto* self = static_cast<MqttClient*>(client);
        if (self != nullptr)
            self->queue([self, mid] { emit self->published(mid); });
    }

    static void message(mosquitto*, void* client, const mosquitto_message* message)
    {
        auto* self = static_cast<MqttClient*>(client);
        if (self == nullptr)
            return;
        const QString topic = QString::fromUtf8(message->topic);
        const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
        const bool retained = message->retain;
        self->queue(
            [self, topic, payload, retained] { emit self->messageReceived(topic, payload, retained); });
    }

    // The library tells why a TLS handshake failed only in its log.
    static void logged(mosquitto*, void* client, int level, const char* text)
    {
        auto* self = static_cast<MqttClient*>(client);
        if (self == nullptr || level != MOSQ_LOG_ERR)
            return;
        const QString line = QString::fromUtf8(text);
        if (line.contains(QLatin1String("host name verification failed")))
            self->failure_.hostNameMismatch = true;
        else if (line.contains(QLatin1String("certificate verify failed")))
            self->failure_.certificateUntrusted = true;
        else if (line.startsWith(QLatin1String("OpenSSL Error")) && self->failure_.tlsDetail.isEmpty())
            self->failure_.tlsDetail = line.mid(line.lastIndexOf(u':') + 1).trimmed();
    }
};

MqttClient::Settings MqttClient::Settings::fromUrl(const MqttUrl& url)
{
    Settings settings;
    settings.host = url.host;
    settings.port = url.port;
    settings.tls = url.tls;
    settings.user = url.user;
    settings.password = url.password;
    return settings;
}

MqttClient::MqttClient(Settings settings, QObject* parent) : MqttLink(parent), settings_(std::move(settings))
{
    initialiseLibrary();
    if (settings_.host.isEmpty() || settings_.port == 0)
        throw Error(tr("The MQTT broker needs a host and a port."));
    if (settings_.keepAlive != 0s && settings_.keepAlive < 5s)
        throw Error(tr("The MQTT keep-alive of %1 s is too short: give 5 s or more, or 0 for none.")
                        .arg(settings_.keepAlive.count()));
    if (!settings_.cleanSession && settings_.clientId.isEmpty())
        throw Error(
            tr("A persistent MQTT session needs a client id of its own, by which the broker keeps it."));
    if (settings_.will) {
        const QByteArray topic = settings_.will->topic.toUtf8();
        if (mosquitto_pub_topic_check2(topic.constData(), static_cast<size_t>(topic.size())) !=
                MOSQ_ERR_SUCCESS ||
            settings_.will->qos < 0 || settings_.will->qos > 2)
            throw Error(tr("The MQTT last-will topic \"%1\" with QoS %2 cannot be published: a topic has no "
                           "\"+\" or \"#\", and the QoS is 0, 1 or 2.")
                            .arg(settings_.will->topic)
                            .arg(settings_.will->qos));
    }

    housekeeping_.setInterval(kHousekeepingInterval);
    connect(&housekeeping_, &QTimer::timeout, this, [this] {
        if (handle_)
            afterLoop(mosquitto_loop_misc(handle_.get()));
    });
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MqttClient::beginAttempt);
    attemptTimer_.setSingleShot(true);
    connect(&attemptTimer_, &QTimer::timeout, this, [this] {
        ++attempt_; // a lookup still running is no longer awaited
        failure_.timedOut = true;
        endConnection();
    });
    deliveryTimer_.setSingleShot(true);
    deliveryTimer_.setInterval(0);
    connect(&deliveryTimer_, &QTimer::timeout, this, &MqttClient::deliverQueued);
}

MqttClient::~MqttClient()
{
    stop();
}

QString MqttClient::brokerName() const
{
    const QString host = settings_.host.contains(u':') ? u'[' + settings_.host + u']' : settings_.host;
    return host + u':' + QString::number(settings_.port);
}

void MqttClient::start()
{
    if (state_ != State::Idle)
        return;
    nextDelay_ = kFirstRetryDelay;
    downReported_ = false;
    beginAttempt();
}

void MqttClient::beginAttempt()
{
    const quint64 attempt = ++attempt_;
    failure_ = {};
    addresses_.clear();
    state_ = State::LookingUp;
    attemptTimer_.start(kConnectTimeout);
    const QHostAddress numeric(settings_.host);
    if (!numeric.isNull()) {
        addresses_ = {numeric};
        connectTo(0);
        return;
    }
    QHostInfo::lookupHost(settings_.host, this, [this, attempt](const QHostInfo& info) {
        if (attempt != attempt_ || state_ != State::LookingUp)
            return;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            failure_.lookupError = info.errorString();
            endConnection();
            return;
        }
        addresses_ = info.addresses();
        connectTo(0);
    });
}

MqttClient::Handle MqttClient::newHandle()
{
    const QByteArray clientId = settings_.clientId.toUtf8();
    Handle handle(
        mosquitto_new(clientId.isEmpty() ? nullptr : clientId.constData(), settings_.cleanSession, this));
    if (!handle) {
        noteFailure(errno == ENOMEM ? MOSQ_ERR_NOMEM : MOSQ_ERR_INVAL, errno);
        return handle;
    }
    mosquitto* h = handle.get();
    mosquitto_connect_callback_set(h, &Callbacks::connected);
    mosquitto_disconnect_callback_set(h, &Callbacks::disconnected);
    mosquitto_publish_callback_set(h, &Callbacks::published);
    mosquitto_message_callback_set(h, &Callbacks::message);
    mosquitto_log_callback_set(h, &Callbacks::logged);
    mosquitto_int_option(h, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_int_option(h, MOSQ_OPT_SEND_MAXIMUM, kSendMaximum);
    // A reading goes out when it is taken, not when the previous one's acknowledgement is in.
    mosquitto_int_option(h, MOSQ_OPT_TCP_NODELAY, 1);

    int rc = MOSQ_ERR_SUCCESS;
    if (!settings_.user.isEmpty()) {
        const QByteArray user = settings_.user.toUtf8();
        const QByteArray password = settings_.password.toUtf8();
        rc = mosquitto_username_pw_set(h, user.constData(),
                                       password.isEmpty() ? nullptr : password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && settings_.will) {
        const QByteArray topic = settings_.will->topic.toUtf8();
        rc = mosquitto_will_set(h, topic.constData(), static_cast<int>(settings_.will->payload.size()),
                                settings_.will->payload.constData(), settings_.will->qos,
                                settings_.will->retain);
    }
    if (rc == MOSQ_ERR_SUCCESS && settings_.tls) {
        const QByteArray caFile = QFile::encodeName(settings_.caFile);
        rc = mosquitto_tls_set(h, caFile.isEmpty() ? nullptr : caFile.constData(),
                               caFile.isEmpty() ? kSystemCaPath : nullptr, nullptr, nullptr, nullptr);
        failure_.caFileUnreadable = rc == MOSQ_ERR_INVAL;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        noteFailure(rc, errno);
        handle.reset();
    }
    return handle;
}

void MqttClient::connectTo(qsizetype addressIndex)
{
    addressIndex_ = addressIndex;
    handle_ = newHandle();
    if (!handle_) {
        endConnection();
        return;
    }
    // Plain MQTT connects to the address looked up, so the library need not look again; TLS names
    // the host, which the certificate must be made out for.
    const QByteArray host =
        settings_.tls ? settings_.host.toUtf8() : addresses_.at(addressIndex).toString().toUtf8();
    state_ = State::Connecting;
    const int rc = mosquitto_connect_async(handle_.get(), host.constData(), settings_.port,
                                           static_cast<int>(settings_.keepAlive.count()));
    if (rc != MOSQ_ERR_SUCCESS)
        noteFailure(rc, errno);
    afterLoop(MOSQ_ERR_SUCCESS);
}

void MqttClient::afterLoop(int rc)
{
    if (rc != MOSQ_ERR_SUCCESS)
        noteFailure(rc, errno);
    if (!handle_)
        return;
    if (failure_.code != MOSQ_ERR_SUCCESS || mosquitto_socket(handle_.get()) < 0)
        endConnection();
    else
        watchSocket();
}

void MqttClient::watchSocket()
{
    const int fd = mosquitto_socket(handle_.get());
    if (!readable_ || readable_->socket() != fd) {
        readable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read, this);
        connect(readable_.get(), &QSocketNotifier::activated, this, [this] {
            if (handle_)
                afterLoop(mosquitto_loop_read(handle_.get(), 1));
        });
        writable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write, this);
        connect(writable_.get(), &QSocketNotifier::activated, this, [this] {
            if (handle_)
                afterLoop(mosquitto_loop_write(handle_.get(), 1));
        });
        housekeeping_.start();
    }
    writable_->setEnabled(mosquitto_want_write(handle_.get()));
}

void MqttClient::noteFailure(int code, int systemError)
{
    if (failure_.code == MOSQ_ERR_SUCCESS) {
        failure_.code = code;
        failure_.systemError = systemError;
    }
}

void MqttClient::endConnection()
{
    const bool wasConnected = state_ == State::Connected;
    closeHandle();
    // Another address of the same host may answer where the first did not.
    if (!wasConnected && !settings_.tls && !failure_.timedOut && !failure_.connack &&
        addressIndex_ + 1 < addresses_.size()) {
        failure_ = {};
        connectTo(addressIndex_ + 1);
        return;
    }
    attemptTimer_.stop();
    const QString reason = failureReason(wasConnected);
    if (wasConnected || !downReported_) {
        downReported_ = true;
        queue([this, reason] { emit disconnected(reason); });
    }
    const std::chrono::seconds delay = nextDelay_;
    queue([this, delay, reason] { emit retrying(delay, reason); });
    nextDelay_ = std::min(nextDelay_ * 2, kLongestRetryDelay);
    state_ = State::Waiting;
    retryTimer_.start(delay);
}

void MqttClient::closeHandle()
{
    housekeeping_.stop();
    // Possibly called from one of their own signals.
    for (std::unique_ptr<QSocketNotifier>* notifier : {&readable_, &writable_}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            notifier->release()->deleteLater();
        }
    }
    handle_.reset();
}

void MqttClient::stop()
{
    if (state_ == State::Idle)
        return;
    ++stops_;
    ++attempt_;
    queued_.clear();
    deliveryTimer_.stop();
    retryTimer_.stop();
    attemptTimer_.stop();
    if (handle_) {
        Handle handle = std::move(handle_);
        closeHandle();
        mosquitto_user_data_set(handle.get(), nullptr);
        // Still connecting, the goodbye follows the CONNECT if both can leave at once: a broker
        // that accepts the one then hears the other. Otherwise the session never began.
        mosquitto_disconnect(handle.get());
        if (state_ == State::Connected && mosquitto_socket(handle.get()) >= 0 &&
            mosquitto_want_write(handle.get()) && QCoreApplication::instance() != nullptr)
            new Goodbye(handle.release());
    }
    closeHandle();
    state_ = State::Idle;
}

std::optional<int> MqttClient::publish(const QString& topic, const QByteArray& payload, int qos, bool retain)
{
    const QByteArray name = topic.toUtf8();
    if (mosquitto_pub_topic_check2(name.constData(), static_cast<size_t>(name.size())) != MOSQ_ERR_SUCCESS ||
        mosquitto_validate_utf8(name.constData(), static_cast<int>(name.size())) != MOSQ_ERR_SUCCESS)
        throw Error(
            tr("The MQTT topic \"%1\" cannot be published to: a topic is not empty and has no \"+\" or "
               "\"#\".")
                .arg(topic));
    if (qos < 0 || qos > 2)
        throw Error(tr("MQTT knows no QoS %1: use 0, 1 or 2.").arg(qos));
    if (payload.size() > kLargestPayload)
        throw Error(tr("A message of %1 bytes is larger than MQTT carries (256 MiB).").arg(payload.size()));
    if (state_ != State::Connected)
        return std::nullopt;
    int mid = 0;
    const int rc = mosquitto_publish(handle_.get(), &mid, name.constData(), static_cast<int>(payload.size()),
                                     payload.constData(), qos, retain);
    afterLoop(rc);
    if (rc != MOSQ_ERR_SUCCESS)
        return std::nullopt;
    return mid;
}

void MqttClient::subscribe(const QString& topic, int qos)
{
    const QByteArray filter = topic.toUtf8();
    if (mosquitto_sub_topic_check2(filter.constData(), static_cast<size_t>(filter.size())) !=
            MOSQ_ERR_SUCCESS ||
        mosquitto_validate_utf8(filter.constData(), static_cast<int>(filter.size())) != MOSQ_ERR_SUCCESS)
        throw Error(tr("The MQTT topic filter \"%1\" is not valid: \"+\" and \"#\" stand for whole levels, "
                       "\"#\" only at the end.")
                        .arg(topic));
    if (qos < 0 || qos > 2)
        throw Error(tr("MQTT knows no QoS %1: use 0, 1 or 2.").arg(qos));
    const auto known =
        std::find_if(subscriptions_.begin(), subscriptions_.end(),
                     [&topic](const auto& subscription) { return subscription.first == topic; });
    if (known != subscriptions_.end())
        known->second = qos;
    else
        subscriptions_.emplace_back(topic, qos);
    if (state_ == State::Connected)
        afterLoop(mosquitto_subscribe(handle_.get(), nullptr, filter.constData(), qos));
}

QString MqttClient::failureReason(bool wasConnected) const
{
    const QString broker = brokerName();
    if (failure_.timedOut)
        return tr("The MQTT broker %1 did not answer within %2 s: check the host and port in the broker URL "
                  "and "
                  "that the network lets them through.")
            .arg(broker)
            .arg(kConnectTimeout.count());
    if (!failure_.lookupError.isEmpty() || failure_.code == MOSQ_ERR_EAI)
        return tr("The MQTT broker's host %1 was not found (%2): check the host name in the broker URL.")
            .arg(settings_.host, failure_.lookupError.isEmpty()
                                     ? libraryError(failure_.code, failure_.systemError)
                                     : failure_.lookupError);
    if (failure_.caFileUnreadable)
        return tr("The CA file %1 for the MQTT broker cannot be read: check its path and permissions.")
            .arg(settings_.caFile);
    if (failure_.connack) {
        const QString answer = QString::fromUtf8(mosquitto_connack_string(*failure_.connack));
        switch (*failure_.connack) {
        case CONNACK_REFUSED_BAD_USERNAME_PASSWORD:
        case CONNACK_REFUSED_NOT_AUTHORIZED:
            return tr("The MQTT broker %1 refused the login (%2): check the user name and password in the "
                      "broker "
                      "URL against the broker's password file.")
                .arg(broker, answer);
        case CONNACK_REFUSED_IDENTIFIER_REJECTED:
            return tr("The MQTT broker %1 rejected the client id \"%2\" (%3): choose a shorter id of letters "
                      "and "
                      "digits.")
                .arg(broker, settings_.clientId, answer);
        default:
            return tr("The MQTT broker %1 refused the connection (%2): check the broker's log.")
                .arg(broker, answer);
        }
    }
    if (failure_.code == MOSQ_ERR_TLS || failure_.code == MOSQ_ERR_TLS_HANDSHAKE) {
        if (failure_.hostNameMismatch)
            return tr("The certificate of the MQTT broker %1 is not made out for the host name %2: write the "
                      "name "
                      "the certificate names in the broker URL.")
                .arg(broker, settings_.host);
        if (failure_.certificateUntrusted)
            return settings_.caFile.isEmpty() ? tr("The certificate of the MQTT broker %1 is not signed by "
                                                   "an authority in the system's "
                                                   "store %2: give the broker's CA file.")
                                                    .arg(broker, QString::fromLatin1(kSystemCaPath))
                                              : tr("The certificate of the MQTT broker %1 is not signed by "
                                                   "the CA in %2: check that this "
                                                   "is the broker's CA file.")
                                                    .arg(broker, settings_.caFile);
        return tr("The TLS connection to the MQTT broker %1 failed (%2): check that this port takes TLS "
                  "(mqtts://) and the CA file.")
            .arg(broker, failure_.tlsDetail.isEmpty() ? libraryError(failure_.code, failure_.systemError)
                                                      : failure_.tlsDetail);
    }
    if (wasConnected) {
        if (failure_.code == MOSQ_ERR_KEEPALIVE)
            return tr("The MQTT broker %1 stopped answering: check that it still runs and the network to it.")
                .arg(broker);
        if (failure_.code == MOSQ_ERR_CONN_LOST)
            return tr("The MQTT broker %1 closed the connection: check that it still runs, and its log.")
                .arg(broker);
        return tr("The connection to the MQTT broker %1 broke off (%2): check the network to it.")
            .arg(broker, libraryError(failure_.code, failure_.systemError));
    }
    if (failure_.code == MOSQ_ERR_ERRNO) {
        switch (failure_.systemError) {
        case ECONNREFUSED:
            return tr("The MQTT broker %1 refused the connection (nothing listens there): check that the "
                      "broker "
                      "runs and the port in the broker URL.")
                .arg(broker);
        case EHOSTUNREACH:
        case ENETUNREACH:
        case ETIMEDOUT:
            return tr("The MQTT broker %1 cannot be reached (%2): check the host in the broker URL and the "
                      "network.")
                .arg(broker, libraryError(failure_.code, failure_.systemError));
        default:
            break;
        }
    }
    if (failure_.code == MOSQ_ERR_CONN_LOST)
        return tr("The MQTT broker %1 closed the connection before accepting it: check that the URL's scheme "
                  "(mqtt:// or mqtts://) suits the port, and the broker's log.")
            .arg(broker);
    return tr("Could not connect to the MQTT broker %1: %2.")
        .arg(broker, libraryError(failure_.code, failure_.systemError));
}

void MqttClient::queue(std::function<void()> signal)
{
    queued_.push_back(std::move(signal));
    if (!deliveryTimer_.isActive())
        deliveryTimer_.start();
}

void MqttClient::deliverQueued()
{
    std::vector<std::function<void()>> due;
    due.swap(queued_);
    const QPointer<MqttClient> alive(this);
    const quint64 stops = stops_;
    for (const std::function<void()>& signal : due) {
        try {
            signal();
        } catch (const std::exception& error) {
            qCritical("A receiver of an MQTT client's signal failed: %s", error.what());
        } catch (...) {
            qCritical("A receiver of an MQTT client's signal failed.");
        }
        if (!alive || stops != stops_)
            return;
    }
}

} // namespace calimbra
