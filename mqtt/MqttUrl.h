// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace calimbra {

constexpr quint16 kMqttPort = 1883;
constexpr quint16 kMqttTlsPort = 8883;

// Where a broker is and how to log in to it, as the user writes it:
// mqtt://[user[:password]@]host[:port] or mqtts://... for TLS. IPv6 addresses go in brackets; a user
// name or password may carry percent-escapes (%40 for "@"); nothing but a single "/" may follow.
struct MqttUrl
{
    QString host; // without brackets
    quint16 port = kMqttPort;
    bool tls = false;
    QString user;
    QString password;

    // Throws Error naming the URL, its password masked, what is wrong and the accepted form.
    [[nodiscard]] static MqttUrl parse(const QString& text);
    // The URL for messages and logs, the password shown as ***.
    [[nodiscard]] QString display() const;
};

// Any text meant as a broker URL, valid or not, with the password between "user:" and the last "@"
// shown as ***: for messages about URLs that did not parse.
[[nodiscard]] QString maskMqttPassword(const QString& text);
// The same without its password at all, as a URL is remembered: mqtt://user@host.
[[nodiscard]] QString mqttUrlWithoutPassword(const QString& text);

} // namespace calimbra
