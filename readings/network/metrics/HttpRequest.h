// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace calimbra {

// One HTTP/1.x request head, as far as the metrics server needs it: what is asked for, and whether
// the connection goes on after the reply.
struct HttpRequest
{
    // 0 when the head is a request; else the status that answers it: 400 for what is not HTTP,
    // 505 for a version other than 1.x. The connection closes after that reply.
    int refusal = 0;
    QByteArray method;
    QByteArray path; // without the query; "/metrics" also for "http://host:9100/metrics?x"
    int minorVersion = 1;
    bool keepAlive = true;
    // The request has a body (Content-Length above 0, or Transfer-Encoding). The server reads no
    // body, so it cannot find the next request: it closes the connection after its reply.
    bool hasBody = false;
};

// `head`: the request line and the header lines, parted by CRLF or LF, without the empty line that
// ends the head.
[[nodiscard]] HttpRequest parseHttpRequest(QByteArrayView head);

} // namespace calimbra
