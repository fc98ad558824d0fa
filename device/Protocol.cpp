// SPDX-License-Identifier: MIT
#include "Protocol.h"

#include "BoardProtocol.h"
#include "Cp1252.h"

#include <algorithm>
#include <cstring>

namespace calimbra {
namespace {

QByteArray bytesOf(std::string_view literal)
{
    return QByteArray(literal.data(), static_cast<qsizetype>(literal.size()));
}

// Reply text ends at the first zero byte, wherever the board put one.
QString replyText(const ReceiveBuffer& buffer)
{
    const auto* end = std::find(buffer.begin(), buffer.end(), '\0');
    return fromCp1252(QByteArrayView(buffer.data(), end - buffer.begin()));
}

constexpr qint64 kLargestReply = kReceiveBufferSize - 1;

ReceiveOutcome judgeSensorCount(PortIo& port, ReceiveBuffer& buffer, qint64 pending)
{
    port.Read(std::span<char>(buffer.data(), static_cast<std::size_t>(pending)));
    buffer[static_cast<std::size_t>(pending)] = '\0';
    if (buffer[board::kSensorCountMarkerAt] != board::kSensorCountMarker ||
        static_cast<unsigned char>(buffer[board::kDegreeSignAt]) != board::kDegreeSign)
        return {};

    SensorCountReply reply{replyText(buffer), std::nullopt};
    const char digit = buffer[board::kSensorCountDigitAt];
    if (digit >= '1' && digit <= '0' + board::kMaxSensors)
        reply.count = digit - '0';
    return reply;
}

ReceiveOutcome judgeTemperature(PortIo& port, ReceiveBuffer& buffer, qint64 pending)
{
    const qint64 judged = std::min(pending, kLargestReply);
    port.Read(std::span<char>(buffer.data(), static_cast<std::size_t>(judged)));
    buffer[static_cast<std::size_t>(judged)] = '\0';
    const bool isTemperature = buffer[0] == board::kTemperatureMarker;
    QString text = isTemperature ? replyText(buffer) : QString();

    // Whatever follows the first 15 bytes is consumed through the same buffer, so a flood of any
    // size cannot write past it.
    for (qint64 rest = pending - judged; rest > 0;) {
        const qint64 chunk = std::min<qint64>(rest, kReceiveBufferSize);
        port.Read(std::span<char>(buffer.data(), static_cast<std::size_t>(chunk)));
        rest -= chunk;
    }

    if (!isTemperature)
        return {};
    return TemperatureReply{std::move(text)};
}

} // namespace

QByteArray ledCommand()
{
    return bytesOf(board::kLedCommand);
}

QByteArray informationRequest()
{
    return bytesOf(board::kInformationRequest);
}

QString measurementRequestText(QStringView selectorText)
{
    QString text = QString::fromLatin1(board::kMeasurementPrefix.data(),
                                       static_cast<qsizetype>(board::kMeasurementPrefix.size()));
    return text.append(selectorText);
}

QByteArray measurementRequest(QStringView selectorText)
{
    return toCp1252(measurementRequestText(selectorText));
}

void beginRequest(PortIo& port)
{
    port.Open();
    port.ClearBuffer(true, true);
}

void finishRequest(PortIo& port, RequestKind kind, QByteArrayView request)
{
    if (!request.isEmpty())
        port.Write(request);
    if (kind == RequestKind::LedCommand)
        port.Close();
}

void sendRequest(PortIo& port, RequestKind kind, QByteArrayView request)
{
    beginRequest(port);
    finishRequest(port, kind, request);
}

ReceiveOutcome receiveStep(PortIo& port)
{
    ReceiveBuffer buffer{};
    return receiveStep(port, buffer);
}

ReceiveOutcome receiveStep(PortIo& port, ReceiveBuffer& buffer)
{
    // Zeroed so that a short read can never show bytes of an earlier reply.
    buffer.fill('\0');
    const qint64 pending = port.InputCount();
    if (pending >= qint64{board::kSensorCountMinLength} && pending <= qint64{board::kSensorCountMaxLength})
        return judgeSensorCount(port, buffer, pending);
    if (pending >= qint64{board::kTemperatureMinLength})
        return judgeTemperature(port, buffer, pending);
    return {};
}

} // namespace calimbra
