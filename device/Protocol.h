// SPDX-License-Identifier: MIT
#pragma once

#include "PortIo.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <variant>

namespace calimbra {

enum class RequestKind { LedCommand, Information, Measurement };

[[nodiscard]] QByteArray ledCommand();
[[nodiscard]] QByteArray informationRequest();
// The request as the operator sees it: "&l=" and whatever the sensor selector holds.
[[nodiscard]] QString measurementRequestText(QStringView selectorText);
[[nodiscard]] QByteArray measurementRequest(QStringView selectorText);

// Opens the port and drops stale bytes both ways, so that what arrives next answers this request.
void beginRequest(PortIo& port);
// Writes the request in one piece (nothing when it is empty). The board does not answer an LED
// command, so the port is closed again after one; the other requests leave it open for the reply.
void finishRequest(PortIo& port, RequestKind kind, QByteArrayView request);
void sendRequest(PortIo& port, RequestKind kind, QByteArrayView request);

struct SensorCountReply
{
    QString text;
    std::optional<int> count; // 1 to 9; absent when byte 5 is not such a digit
    friend bool operator==(const SensorCountReply&, const SensorCountReply&) = default;
};

struct TemperatureReply
{
    QString text;
    friend bool operator==(const TemperatureReply&, const TemperatureReply&) = default;
};

using ReceiveOutcome = std::variant<std::monostate, SensorCountReply, TemperatureReply>;

// 15 reply bytes and the zero byte after them.
inline constexpr std::size_t kReceiveBufferSize = 16;
using ReceiveBuffer = std::array<char, kReceiveBufferSize>;

// Judges what is waiting on the port by its count and a few fixed bytes. 7 to 12 pending bytes are
// read as a sensor-count candidate, 14 or more as a temperature candidate (the first 15 judged, the
// rest consumed); 13, or 6 or fewer, stay pending. Unrecognised bytes are dropped silently.
[[nodiscard]] ReceiveOutcome receiveStep(PortIo& port);
// The same with the caller's buffer, so that a fuzzer can watch its bounds.
[[nodiscard]] ReceiveOutcome receiveStep(PortIo& port, ReceiveBuffer& buffer);

} // namespace calimbra
