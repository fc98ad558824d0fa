// SPDX-License-Identifier: MIT
#include "HttpRequest.h"

#include <QList>

#include <optional>

namespace calimbra {
namespace {

constexpr int kBadRequest = 400;
constexpr int kVersionNotSupported = 505;

// A token's characters (RFC 9110, 5.6.2): what methods and header names are made of.
bool isTokenChar(char c)
{
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A request target has no blanks and no control bytes.
bool isTarget(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The path of an origin-form ("/metrics?x") or absolute-form ("http://host/metrics") target;
// nothing for anything else ("*" among them: no resource here answers OPTIONS).
std::optional<QByteArray> targetPath(QByteArrayView target)
{
    if (!target.startsWith('/')) {
        const qsizetype scheme = target.indexOf("://");
        if (scheme < 0 || !isToken(target.first(scheme)))
            return std::nullopt;
        const qsizetype slash = target.indexOf('/', scheme + 3);
        if (slash < 0)
            return QByteArray("/");
        target = target.sliced(slash);
    }
    const qsizetype query = target.indexOf('?');
    return (query < 0 ? target : target.first(query)).toByteArray();
}

HttpRequest refused(int status)
{
    HttpRequest request;
    request.refusal = status;
    request.keepAlive = false;
    return request;
}

} // namespace

HttpRequest parseHttpRequest(QByteArrayView head)
{
    QList<QByteArrayView> lines;
    for (qsizetype start = 0; start <= head.size();) {
        qsizetype end = head.indexOf('\n', start);
        if (end < 0)
            end = head.size();
        QByteArrayView line = head.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines << line;
        start = end + 1;
    }
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();

    // METHOD SP TARGET SP HTTP/1.1, single spaces.
    const QByteArrayView requestLine = lines.first();
    const qsizetype firstSpace = requestLine.indexOf(' ');
    const qsizetype secondSpace = firstSpace < 0 ? -1 : requestLine.indexOf(' ', firstSpace + 1);
    if (secondSpace < 0)
        return refused(kBadRequest);
    const QByteArrayView method = requestLine.first(firstSpace);
    const QByteArrayView target = requestLine.sliced(firstSpace + 1, secondSpace - firstSpace - 1);
    const QByteArrayView version = requestLine.sliced(secondSpace + 1);
    if (!isToken(method) || !isTarget(target) || version.size() != 8 || !version.startsWith("HTTP/") ||
        !isDigit(version[5]) || version[6] != '.' || !isDigit(version[7]))
        return refused(kBadRequest);
    if (version[5] != '1')
        return refused(kVersionNotSupported);
    const std::optional<QByteArray> path = targetPath(target);
    if (!path)
        return refused(kBadRequest);

    HttpRequest request;
    request.method = method.toByteArray();
    request.path = *path;
    request.minorVersion = version[7] - '0';
    int hosts = 0;
    bool close = false;
    bool keepAlive = false;
    std::optional<QByteArrayView> contentLength;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        // No blank before the colon, no line folded onto the one before (RFC 9112, 5.1 and 5.2).
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || !isToken(line.first(colon)))
            return refused(kBadRequest);
        const QByteArrayView name = line.first(colon);
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        if (value.contains('\0') || value.contains('\r'))
            return refused(kBadRequest);
        if (equalsIgnoringCase(name, "host")) {
            ++hosts;
        } else if (equalsIgnoringCase(name, "connection")) {
            for (const QByteArray& option : value.toByteArray().split(',')) {
                close = close || equalsIgnoringCase(option.trimmed(), "close");
                keepAlive = keepAlive || equalsIgnoringCase(option.trimmed(), "keep-alive");
            }
        } else if (equalsIgnoringCase(name, "content-length")) {
            bool digits = !value.isEmpty();
            for (const char c : value)
                digits = digits && isDigit(c);
            // Two lengths that differ leave the message's end unknown.
            if (!digits || (contentLength && *contentLength != value))
                return refused(kBadRequest);
            contentLength = value;
            for (const char c : value)
                request.hasBody = request.hasBody || c != '0';
        } else if (equalsIgnoringCase(name, "transfer-encoding")) {
            request.hasBody = true;
        }
    }
    // HTTP/1.1 asks for exactly one Host (RFC 9112, 3.2).
    if (request.minorVersion >= 1 && hosts != 1)
        return refused(kBadRequest);
    request.keepAlive = !close && !request.hasBody && (request.minorVersion >= 1 || keepAlive);
    return request;
}

} // namespace calimbra
