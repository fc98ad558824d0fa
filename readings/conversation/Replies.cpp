// SPDX-License-Identifier: MIT
#include "Replies.h"

#include "BoardProtocol.h"
#include "Cp1252.h"
#include "Text.h"

namespace calimbra {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool beginsReply(QByteArrayView bytes)
{
    const bool temperature = isTemperatureReply(bytes);
    const bool count = bytes.size() > qsizetype{board::kDegreeSignAt} &&
                       bytes[board::kSensorCountMarkerAt] == board::kSensorCountMarker &&
                       static_cast<unsigned char>(bytes[board::kDegreeSignAt]) == board::kDegreeSign;
    return temperature || count;
}

QList<QByteArray> splitReplies(QByteArrayView bytes)
{
    QList<QByteArray> replies;
    qsizetype start = 0;
    for (qsizetype at = 1; at < bytes.size(); ++at) {
        if (beginsReply(bytes.sliced(at))) {
            replies << bytes.sliced(start, at - start).toByteArray();
            start = at;
        }
    }
    if (start < bytes.size())
        replies << bytes.sliced(start).toByteArray();
    return replies;
}

bool isTemperatureReply(QByteArrayView reply)
{
    if (reply.size() < 2 || reply.front() != board::kTemperatureMarker)
        return false;
    if (isDigit(reply[1]))
        return true;
    // "T = ..." or "T=..." names no sensor, and is taken as the awaited one's; a run of T is no reply.
    const qsizetype at = reply[1] == ' ' ? 2 : 1;
    return at < reply.size() && reply[at] == '=';
}

std::optional<int> namedSensor(QByteArrayView reply)
{
    if (!isTemperatureReply(reply))
        return std::nullopt;
    int sensor = 0;
    qsizetype at = 1;
    while (at < reply.size() && isDigit(reply[at]) && sensor < 1000)
        sensor = sensor * 10 + (reply[at++] - '0');
    return at > 1 ? std::optional<int>(sensor) : std::nullopt;
}

TemperatureAnswer judgeTemperature(int sensor, QByteArrayView reply, bool cut)
{
    TemperatureAnswer answer;
    answer.sensor = sensor;
    while (!reply.isEmpty() && reply.back() == '\0')
        reply.chop(1);
    if (cut || reply.contains('\0')) {
        answer.text = printable(fromCp1252(reply));
        answer.error = ReadError::Garbled;
        return answer;
    }
    answer.text = fromCp1252(reply);
    answer.celsius = temperatureValue(answer.text, &answer.decimals);
    if (!answer.celsius)
        answer.error = ReadError::NoValue;
    return answer;
}

Reading readingOf(const TemperatureAnswer& answer)
{
    Reading reading;
    reading.sensor = answer.sensor;
    reading.text = answer.text;
    reading.celsius = answer.celsius;
    reading.decimals = answer.decimals;
    reading.error = answer.error;
    return reading;
}

QString noCountMessage(const CountAnswer& answer)
{
    return tr("The board's sensor-count reply \"%1\" carries no count of 0 to 9 sensors.").arg(answer.text);
}

QString noSensorsMessage(const CountAnswer& answer)
{
    return tr("The board reports no active sensors (\"%1\"); nothing to read.").arg(answer.text);
}

std::optional<CountAnswer> judgeCount(QByteArrayView reply)
{
    const qsizetype equals = reply.indexOf('=');
    if (isTemperatureReply(reply) || equals < 0)
        return std::nullopt;
    CountAnswer answer;
    answer.text = printable(fromCp1252(reply.first(reply.size() - (reply.endsWith('\0') ? 1 : 0))));
    qsizetype at = equals + 1;
    while (at < reply.size() && reply[at] == ' ')
        ++at;
    const qsizetype first = at;
    while (at < reply.size() && isDigit(reply[at]) && at - first < 3)
        ++at;
    if (at == first || (at < reply.size() && isDigit(reply[at])))
        return answer;
    const int count = reply.sliced(first, at - first).toByteArray().toInt();
    if (count <= board::kMaxSensors)
        answer.count = count;
    return answer;
}

} // namespace calimbra
