// SPDX-License-Identifier: MIT
#include "MetricsServer.h"

#include "Error.h"
#include "MetricsSink.h"
#include "Text.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QTcpServer>

namespace calimbra {
namespace {

constexpr QHttpServerResponder::StatusCode kNotFound = QHttpServerResponder::StatusCode::NotFound;
constexpr QHttpServerResponder::StatusCode kNotAllowed = QHttpServerResponder::StatusCode::MethodNotAllowed;
constexpr QHttpServerResponder::StatusCode kServerError =
    QHttpServerResponder::StatusCode::InternalServerError;
const QString kPath = QStringLiteral("/metrics");
const QByteArray kPlainText = QByteArrayLiteral("text/plain; charset=utf-8");

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// An IPv6 address in brackets, as in a URL: "[::1]".
QString hostText(const QHostAddress& host)
{
    return host.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + host.toString() + u']' : host.toString();
}

} // namespace

MetricsServer::Address MetricsServer::parseAddress(const QString& text)
{
    const auto bad = [&text] {
        return Error(tr("\"%1\" is not an address to serve metrics on: give [HOST:]PORT, a port from 1 to "
                        "65535 on an IP address of this computer, such as 9100, 0.0.0.0:9100 or [::1]:9100.")
                         .arg(printable(text)));
    };
    Address address{QHostAddress(QHostAddress::LocalHost), 0};
    QString port = text;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(QStringLiteral("]:"));
        if (close < 0 || !address.host.setAddress(text.mid(1, close - 1)) ||
            address.host.protocol() != QAbstractSocket::IPv6Protocol)
            throw bad();
        port = text.mid(close + 2);
    } else if (const qsizetype colon = text.lastIndexOf(u':'); colon >= 0) {
        const QString host = text.left(colon);
        // An IPv6 address without brackets cannot be told from its port.
        if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0 &&
            (!address.host.setAddress(host) || address.host.protocol() != QAbstractSocket::IPv4Protocol))
            throw bad();
        port = text.mid(colon + 1);
    }
    bool ok = false;
    const int number = port.toInt(&ok);
    if (!allDigits(port) || !ok || number < 1 || number > 65535)
        throw bad();
    address.port = static_cast<quint16>(number);
    return address;
}

MetricsServer::MetricsServer(const MetricsSink& metrics, QObject* parent)
    : QObject(parent), metrics_(metrics), http_(new QHttpServer(this))
{
    // Called from the event loop: nothing may be thrown out of these.
    http_->route(kPath, [this](const QHttpServerRequest& request) {
        if (request.method() != QHttpServerRequest::Method::Get) {
            // No body: a reply to HEAD must not have one.
            QHttpServerResponse response(kNotAllowed);
            response.setHeader(QByteArrayLiteral("Allow"), QByteArrayLiteral("GET"));
            return response;
        }
        try {
            return QHttpServerResponse(QByteArray(MetricsSink::kContentType), metrics_.exposition());
        } catch (const std::exception& error) {
            return QHttpServerResponse(kPlainText, QByteArray(error.what()) + '\n', kServerError);
        }
    });
    http_->setMissingHandler([](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        // A method Qt does not know never reaches the route.
        if (request.url().path() == kPath)
            responder.write({{QByteArrayLiteral("Allow"), QByteArrayLiteral("GET")}}, kNotAllowed);
        else if (request.method() == QHttpServerRequest::Method::Head)
            responder.write(kNotFound);
        else
            responder.write(QByteArrayLiteral("Nothing here: the metrics are at /metrics.\n"), kPlainText,
                            kNotFound);
    });
}

MetricsServer::~MetricsServer() = default;

void MetricsServer::listen(const Address& address)
{
    auto* tcp = new QTcpServer(this);
    if (!tcp->listen(address.host, address.port)) {
        const QString host = hostText(address.host);
        const QString port = QString::number(address.port);
        const QAbstractSocket::SocketError error = tcp->serverError();
        const QString reason = tcp->errorString();
        delete tcp;
        switch (error) {
        case QAbstractSocket::AddressInUseError:
            throw Error(
                tr("Port %1 on %2 is already in use by another program; choose another with --metrics.")
                    .arg(port, host));
        case QAbstractSocket::SocketAddressNotAvailableError:
            throw Error(tr("%1 is not an address of this computer; give one of its addresses, or 127.0.0.1, "
                           "with --metrics.")
                            .arg(host));
        case QAbstractSocket::SocketAccessError:
            throw Error(tr("Port %1 on %2 needs privileges this program does not have; choose a port from "
                           "1024 up with --metrics.")
                            .arg(port, host));
        default:
            throw Error(tr("Cannot serve metrics on %1:%2: %3.").arg(host, port, reason));
        }
    }
    http_->bind(tcp);
    tcp_ = tcp;
}

quint16 MetricsServer::port() const
{
    return tcp_ ? tcp_->serverPort() : 0;
}

QString MetricsServer::url() const
{
    if (!tcp_)
        return {};
    return QStringLiteral("http://%1:%2/metrics")
        .arg(hostText(tcp_->serverAddress()), QString::number(port()));
}

} // namespace calimbra
