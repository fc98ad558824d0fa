// SPDX-License-Identifier: MIT
#include "MetricsServer.h"

#include "Error.h"
#include "HttpRequest.h"
#include "MetricsSink.h"
#include "Text.h"

#include <QDateTime>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <optional>
#include <utility>

#include <sys/socket.h>
#include <unistd.h>

namespace calimbra {
namespace {

const QByteArray kPath = QByteArrayLiteral("/metrics");
const QByteArray kPlainText = QByteArrayLiteral("text/plain; charset=utf-8");
// The longest end of a head: the LF of its last line, then CR LF.
constexpr qsizetype kHeadEndLength = 3;

// Accepts in one round at most, so that a flood of connections leaves the event loop its turns.
constexpr int kAcceptsPerRound = 32;

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

const char* reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Internal Server Error";
    }
}

// "Tue, 08 Dec 2026 21:35:58 GMT", in English whatever the locale (RFC 9110, 5.6.7).
QByteArray httpDate(qint64 secondsSinceEpoch)
{
    static constexpr std::array<const char*, 7> kDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto time = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm utc{};
    gmtime_r(&time, &utc);
    return QByteArray(kDays[static_cast<std::size_t>(utc.tm_wday)]) + ", " +
           QByteArray::number(utc.tm_mday).rightJustified(2, '0') + ' ' +
           kMonths[static_cast<std::size_t>(utc.tm_mon)] + ' ' + QByteArray::number(utc.tm_year + 1900) +
           ' ' + QByteArray::number(utc.tm_hour).rightJustified(2, '0') + ':' +
           QByteArray::number(utc.tm_min).rightJustified(2, '0') + ':' +
           QByteArray::number(utc.tm_sec).rightJustified(2, '0') + " GMT";
}

struct Reply
{
    int status = 200;
    QByteArray contentType = kPlainText;
    QByteArray body;
    QByteArray allow; // for 405
};

// The status line and headers, and the body unless the request was HEAD. `close`: the connection
// ends after it; otherwise an HTTP/1.0 client is told that it stays (it asked for keep-alive).
QByteArray render(const Reply& reply, bool head, bool close, bool http10)
{
    static qint64 dateSecond = -1;
    static QByteArray date;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != dateSecond) {
        dateSecond = now;
        date = httpDate(now);
    }
    QByteArray out;
    out.reserve(160 + (head ? 0 : reply.body.size()));
    out += "HTTP/1.1 ";
    out += QByteArray::number(reply.status);
    out += ' ';
    out += reason(reply.status);
    out += "\r\nDate: ";
    out += date;
    out += "\r\nContent-Type: ";
    out += reply.contentType;
    out += "\r\nContent-Length: ";
    out += QByteArray::number(reply.body.size());
    if (!reply.allow.isEmpty()) {
        out += "\r\nAllow: ";
        out += reply.allow;
    }
    if (close)
        out += "\r\nConnection: close";
    else if (http10)
        out += "\r\nConnection: keep-alive";
    out += "\r\n\r\n";
    if (!head)
        out += reply.body;
    return out;
}

Reply refusal(int status, qsizetype requestHead)
{
    Reply reply;
    reply.status = status;
    if (status == 431)
        reply.body =
            "The request's line and headers are longer than " + QByteArray::number(requestHead) + " bytes.\n";
    else if (status == 505)
        reply.body = "Only HTTP/1.0 and HTTP/1.1 are spoken here.\n";
    else
        reply.body = "Not an HTTP/1.1 request.\n";
    return reply;
}

} // namespace

// One client's connection: its requests read one head at a time and answered in order, each reply
// queued behind the ones before.
class MetricsServer::Connection : public QObject
{
public:
    Connection(MetricsServer& server, QTcpSocket* socket);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] qint64 buffered() const
    {
        return in_.size() + socket_->bytesAvailable() + socket_->bytesToWrite();
    }

private:
    enum class State {
        Reading, // answering requests
        Closing, // the last reply queued; what comes in is passed over
        Done,
    };

    void serve();
    // Where the head in in_ ends: its length and that of the empty line after it; nothing yet.
    [[nodiscard]] std::optional<std::pair<qsizetype, qsizetype>> headEnd();
    void answer(const HttpRequest& request);
    void send(const QByteArray& bytes, bool close);
    void written();
    void watch();
    void finish();

    MetricsServer& server_;
    QTcpSocket* socket_; // owned
    const Limits limits_;
    QByteArray in_;       // the head being read, and what follows it
    qsizetype scanned_{}; // in_ holds no end of a head before this
    QTimer timer_;
    State state_ = State::Reading;
    bool busy_ = false;    // a request is coming in or replies are going out: the slow time-out
    bool serving_ = false; // in serve(): written() must not start it again
    bool shutDown_ = false;
};

MetricsServer::Connection::Connection(MetricsServer& server, QTcpSocket* socket)
    : QObject(&server), server_(server), socket_(socket), limits_(server.limits_)
{
    // Qt's buffer stops reading from the system when full: a client that sends faster than it is
    // answered then waits, with its bytes in the kernel, not here.
    socket_->setReadBufferSize(limits_.requestHead + kHeadEndLength);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &Connection::finish);
    connect(socket_, &QTcpSocket::readyRead, this, &Connection::serve);
    connect(socket_, &QTcpSocket::bytesWritten, this, &Connection::written);
    connect(socket_, &QTcpSocket::disconnected, this, &Connection::finish);
    connect(socket_, &QTcpSocket::errorOccurred, this, &Connection::finish);
    timer_.start(limits_.idle);
    serve();
}

MetricsServer::Connection::~Connection()
{
    QObject::disconnect(socket_, nullptr, this, nullptr);
    delete socket_;
}

void MetricsServer::Connection::serve()
{
    if (serving_ || state_ == State::Done)
        return;
    serving_ = true;
    while (state_ == State::Reading) {
        // Back-pressure: the next request waits until the client has read enough of the replies.
        if (socket_->bytesToWrite() > limits_.unsentReplies)
            break;
        // Empty lines before a request are passed over (RFC 9112, 2.2).
        if (scanned_ == 0) {
            qsizetype blank = 0;
            while (blank < in_.size() && (in_[blank] == '\r' || in_[blank] == '\n'))
                ++blank;
            in_.remove(0, blank);
        }
        const auto end = headEnd();
        if (!end) {
            const qsizetype room = limits_.requestHead + kHeadEndLength - in_.size();
            if (room <= 0) {
                send(render(refusal(431, limits_.requestHead), false, true, false), true);
                break;
            }
            if (socket_->bytesAvailable() == 0)
                break;
            in_ += socket_->read(room);
            continue;
        }
        const auto [length, emptyLine] = *end;
        if (length > limits_.requestHead) {
            send(render(refusal(431, limits_.requestHead), false, true, false), true);
            break;
        }
        const HttpRequest request = parseHttpRequest(QByteArrayView(in_).first(length));
        in_.remove(0, length + emptyLine);
        scanned_ = 0;
        answer(request);
    }
    if (state_ == State::Closing) {
        // Read and passed over, so that the close is not a reset that could lose the last reply.
        socket_->skip(socket_->bytesAvailable());
        in_.clear();
    }
    serving_ = false;
    watch();
}

std::optional<std::pair<qsizetype, qsizetype>> MetricsServer::Connection::headEnd()
{
    for (qsizetype at = in_.indexOf('\n', scanned_); at >= 0; at = in_.indexOf('\n', at + 1)) {
        if (at + 1 < in_.size() && in_[at + 1] == '\n')
            return std::pair{at, qsizetype{2}};
        if (at + 2 < in_.size() && in_[at + 1] == '\r' && in_[at + 2] == '\n')
            return std::pair{at, qsizetype{3}};
        if (at + 2 >= in_.size()) {
            // The bytes that would tell are still to come: look again from here.
            scanned_ = at;
            return std::nullopt;
        }
    }
    scanned_ = in_.size();
    return std::nullopt;
}

void MetricsServer::Connection::answer(const HttpRequest& request)
{
    if (request.refusal) {
        send(render(refusal(request.refusal, limits_.requestHead), false, true, false), true);
        return;
    }
    const bool head = request.method == "HEAD";
    Reply reply;
    if (request.path != kPath) {
        reply.status = 404;
        reply.body = QByteArrayLiteral("Nothing here: the metrics are at /metrics.\n");
    } else if (request.method != "GET" && !head) {
        reply.status = 405;
        reply.allow = QByteArrayLiteral("GET, HEAD");
        reply.body = QByteArrayLiteral("Only GET and HEAD are answered here.\n");
    } else {
        try {
            reply.body = server_.metricsBody();
            reply.contentType = MetricsSink::kContentType;
        } catch (const std::exception& error) {
            reply.status = 500;
            reply.body = QByteArray(error.what()) + '\n';
        }
    }
    send(render(reply, head, !request.keepAlive, request.minorVersion == 0), !request.keepAlive);
}

void MetricsServer::Connection::send(const QByteArray& bytes, bool close)
{
    if (socket_->write(bytes) != bytes.size()) {
        finish();
        return;
    }
    if (close)
        state_ = State::Closing;
}

void MetricsServer::Connection::written()
{
    if (state_ == State::Reading) {
        serve();
        return;
    }
    watch();
}

// The time-out that applies now; and, closing, the end of the sending side once the last reply
// has gone.
void MetricsServer::Connection::watch()
{
    if (state_ == State::Done)
        return;
    server_.noteBuffered(buffered());
    if (state_ == State::Closing && socket_->bytesToWrite() == 0 && !shutDown_) {
        // The client reads to the end and closes; if it does not, the idle time-out does.
        shutDown_ = true;
        if (::shutdown(static_cast<int>(socket_->socketDescriptor()), SHUT_WR) != 0) {
            finish();
            return;
        }
        busy_ = false;
        timer_.start(limits_.idle);
        return;
    }
    if (shutDown_)
        return;
    const bool busy = !in_.isEmpty() || socket_->bytesAvailable() > 0 || socket_->bytesToWrite() > 0;
    // Not started again while busy: a client that trickles bytes in or out gets no more time.
    if (busy != busy_) {
        busy_ = busy;
        timer_.start(busy ? limits_.slow : limits_.idle);
    }
}

void MetricsServer::Connection::finish()
{
    if (state_ == State::Done)
        return;
    state_ = State::Done;
    timer_.stop();
    QObject::disconnect(socket_, nullptr, this, nullptr);
    socket_->abort();
    server_.forget(this);
    deleteLater();
}

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

MetricsServer::MetricsServer(const MetricsSink& metrics, QObject* parent) : QObject(parent), metrics_(metrics)
{
    resumeAccepting_.setSingleShot(true);
    connect(&resumeAccepting_, &QTimer::timeout, this, [this] {
        if (acceptor_)
            acceptor_->setEnabled(true);
    });
}

MetricsServer::~MetricsServer() = default;

MetricsServer::Load MetricsServer::load() const
{
    Load load;
    load.connections = static_cast<int>(connections_.size());
    for (const Connection* connection : connections_)
        load.bufferedBytes += connection->buffered();
    load.peakConnectionBytes = peakConnectionBytes_;
    load.refused = refused_;
    load.acceptPauses = acceptPauses_;
    return load;
}

QByteArray MetricsServer::metricsBody() const
{
    return metrics_.exposition();
}

void MetricsServer::acceptPending()
{
    const int listening = static_cast<int>(tcp_->socketDescriptor());
    for (int round = 0; round < kAcceptsPerRound; ++round) {
        const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            accept(fd);
            continue;
        }
        switch (errno) {
        case EAGAIN:
#if EAGAIN != EWOULDBLOCK
        case EWOULDBLOCK:
#endif
            return;
        // That connection failed on its way in (accept(2) passes its network errors on); the next
        // may be fine.
        case EINTR:
        case ECONNABORTED:
        case EPROTO:
        case ENETDOWN:
        case ENOPROTOOPT:
        case EHOSTDOWN:
        case ENONET:
        case EHOSTUNREACH:
        case EOPNOTSUPP:
        case ENETUNREACH:
            continue;
        default:
            // No descriptor left (EMFILE, ENFILE) or no memory: the connection stays queued, and
            // trying again at once would fail again at once, for ever, taking the processor from
            // the sampling.
            acceptor_->setEnabled(false);
            ++acceptPauses_;
            resumeAccepting_.start(limits_.acceptPause);
            return;
        }
    }
}

void MetricsServer::accept(int fd)
{
    if (std::ssize(connections_) >= limits_.connections) {
        static constexpr char kBusy[] = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                                        "Connection: close\r\n\r\n";
        // Into an empty socket buffer, so it never waits; a refusal that cannot be said is a
        // refusal all the same.
        static_cast<void>(::send(fd, kBusy, sizeof kBusy - 1, MSG_DONTWAIT | MSG_NOSIGNAL));
        ::close(fd);
        ++refused_;
        return;
    }
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(fd)) {
        delete socket;
        ::close(fd);
        return;
    }
    connections_.push_back(new Connection(*this, socket));
}

void MetricsServer::forget(Connection* connection)
{
    connections_.erase(std::remove(connections_.begin(), connections_.end(), connection), connections_.end());
}

void MetricsServer::noteBuffered(qint64 bytes)
{
    peakConnectionBytes_ = std::max(peakConnectionBytes_, bytes);
}

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
    // Accepting is done here, not by QTcpServer: Qt 6.4 reports a failed accept with the error of the
    // call before, so that running out of descriptors after a connection was served reads as "try
    // again", and its accepting loop spins.
    tcp->pauseAccepting();
    acceptor_ = new QSocketNotifier(tcp->socketDescriptor(), QSocketNotifier::Read, this);
    connect(acceptor_, &QSocketNotifier::activated, this, &MetricsServer::acceptPending);
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
