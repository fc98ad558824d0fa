// SPDX-License-Identifier: MIT
#include "MqttUrl.h"

#include "Error.h"
#include "Text.h"

#include <QHostAddress>
#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace calimbra {

namespace {

const QLatin1String kSchemeSeparator("://");

[[noreturn]] void reject(const QString& text, const QString& what)
{
    throw Error(tr("The broker URL %1 is not valid: %2. Write it as mqtt://[user[:password]@]host[:port], "
                   "or mqtts://... for TLS.")
                    .arg(maskMqttPassword(text), what));
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Percent-escapes decoded as UTF-8; a stray "%" or bytes that are not UTF-8 give nothing.
std::optional<QString> percentDecoded(const QString& part)
{
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (part[i] == u'%' && (i + 2 >= part.size() || !isHexDigit(part[i + 1]) || !isHexDigit(part[i + 2])))
            return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8.decode(QByteArray::fromPercentEncoding(part.toUtf8()));
    if (utf8.hasError())
        return std::nullopt;
    return decoded;
}

QString percentEncodedForDisplay(const QString& part)
{
    QString encoded;
    for (const QChar c : part) {
        if (c == u'%' || c == u':' || c == u'@' || c == u'/')
            encoded += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            encoded += c;
    }
    return encoded;
}

bool isHostNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'.' || c == u'_';
}

} // namespace

namespace {

// Where a URL's password is: from its "user:" colon to the last "@", both left out.
std::optional<std::pair<qsizetype, qsizetype>> passwordSpan(const QString& text)
{
    const qsizetype separator = text.indexOf(kSchemeSeparator);
    const qsizetype start = separator < 0 ? 0 : separator + kSchemeSeparator.size();
    const qsizetype at = text.lastIndexOf(u'@');
    const qsizetype colon = text.indexOf(u':', start);
    if (at < start || colon < 0 || colon > at)
        return std::nullopt;
    return std::pair{colon, at};
}

} // namespace

QString maskMqttPassword(const QString& text)
{
    const auto span = passwordSpan(text);
    return span ? text.left(span->first + 1) + QStringLiteral("***") + text.mid(span->second) : text;
}

QString mqttUrlWithoutPassword(const QString& text)
{
    const auto span = passwordSpan(text);
    return span ? text.left(span->first) + text.mid(span->second) : text;
}

MqttUrl MqttUrl::parse(const QString& text)
{
    MqttUrl url;
    const qsizetype separator = text.indexOf(kSchemeSeparator);
    const QString scheme = separator < 0 ? QString() : text.left(separator).toLower();
    if (scheme == QLatin1String("mqtt")) {
        url.tls = false;
        url.port = kMqttPort;
    } else if (scheme == QLatin1String("mqtts")) {
        url.tls = true;
        url.port = kMqttTlsPort;
    } else {
        reject(text, tr("it does not begin with mqtt:// or mqtts://"));
    }
    QString rest = text.mid(separator + kSchemeSeparator.size());

    // The last "@" ends the login, so that an unescaped "@" or "/" in a password still parses.
    const qsizetype at = rest.lastIndexOf(u'@');
    if (at >= 0) {
        const QString login = rest.left(at);
        rest = rest.mid(at + 1);
        const qsizetype colon = login.indexOf(u':');
        const std::optional<QString> user = percentDecoded(login.left(colon));
        if (!user)
            reject(text,
                   tr("the user name has a \"%\" not followed by two hex digits of UTF-8 (write %25 for %)"));
        if (user->isEmpty())
            reject(text, tr("the user name before \"@\" is empty"));
        url.user = *user;
        if (colon >= 0) {
            const std::optional<QString> password = percentDecoded(login.mid(colon + 1));
            if (!password)
                reject(
                    text,
                    tr("the password has a \"%\" not followed by two hex digits of UTF-8 (write %25 for %)"));
            url.password = *password;
        }
    }

    const qsizetype slash = rest.indexOf(u'/');
    if (slash >= 0) {
        if (slash != rest.size() - 1)
            reject(text, tr("nothing may follow the host and port but a single \"/\""));
        rest.truncate(slash);
    }

    QString portText;
    bool hasPort = false;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            reject(text, tr("the IPv6 address lacks its closing \"]\""));
        url.host = rest.mid(1, close - 1);
        const QHostAddress address(url.host);
        if (address.protocol() != QAbstractSocket::IPv6Protocol)
            reject(text, tr("\"%1\" in brackets is not an IPv6 address").arg(printable(url.host)));
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            reject(text, tr("only \":\" and a port may follow the IPv6 address"));
        hasPort = !after.isEmpty();
        portText = after.mid(1);
    } else {
        const qsizetype colon = rest.indexOf(u':');
        if (colon >= 0 && rest.indexOf(u':', colon + 1) >= 0)
            reject(text, tr("an IPv6 address must be written in brackets, as in mqtt://[::1]:1883"));
        url.host = rest.left(colon);
        hasPort = colon >= 0;
        portText = rest.mid(colon + 1);
        if (url.host.isEmpty())
            reject(text, tr("the host is missing"));
        for (const QChar c : url.host) {
            if (!isHostNameCharacter(c))
                reject(text,
                       tr("the host name \"%1\" has a character other than letters, digits, \"-\", \".\" "
                          "and \"_\"")
                           .arg(printable(url.host)));
        }
    }

    if (hasPort) {
        bool ok = false;
        const uint port = portText.toUInt(&ok, 10);
        const bool digitsOnly =
            std::all_of(portText.begin(), portText.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (portText.isEmpty())
            reject(text, tr("the port after \":\" is missing"));
        if (!ok || !digitsOnly || port == 0 || port > 65535)
            reject(text, tr("the port \"%1\" is not a number from 1 to 65535").arg(printable(portText)));
        url.port = static_cast<quint16>(port);
    }
    return url;
}

QString MqttUrl::display() const
{
    QString text = tls ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://");
    if (!user.isEmpty()) {
        text += percentEncodedForDisplay(user);
        if (!password.isEmpty())
            text += QStringLiteral(":***");
        text += u'@';
    }
    text += host.contains(u':') ? u'[' + host + u']' : host;
    return text + u':' + QString::number(port);
}

} // namespace calimbra
