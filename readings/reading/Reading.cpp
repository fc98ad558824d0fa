// SPDX-License-Identifier: MIT
#include "Reading.h"

#include "BoardProtocol.h"
#include "Celsius.h"

namespace calimbra {
namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

QString readErrorName(ReadError error)
{
    switch (error) {
    case ReadError::Timeout:
        return QStringLiteral("timeout");
    case ReadError::Garbled:
        return QStringLiteral("garbled");
    case ReadError::NoValue:
        return QStringLiteral("no_value");
    case ReadError::PowerOn:
        return QStringLiteral("power_on");
    case ReadError::Disconnected:
        return QStringLiteral("disconnected");
    case ReadError::PortUnavailable:
        return QStringLiteral("port_unavailable");
    case ReadError::LineLost:
        return QStringLiteral("line_lost");
    case ReadError::NoReply:
        return QStringLiteral("no_reply");
    }
    return {};
}

std::optional<ReadError> readErrorFromName(QByteArrayView name)
{
    name = name.trimmed();
    for (const ReadError error : kReadErrors) {
        if (readErrorName(error).toLatin1() == name)
            return error;
    }
    return std::nullopt;
}

std::optional<double> temperatureValue(QStringView text, int* decimals)
{
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    const QStringView rest = text.mid(equals + 1);
    for (qsizetype i = 0; i < rest.size(); ++i) {
        qsizetype at = i;
        const bool negative = rest[at] == u'-';
        if (rest[at] == u'+' || negative)
            ++at;
        if (at >= rest.size() || !isDigit(rest[at]))
            continue;
        QString number;
        while (at < rest.size() && isDigit(rest[at]))
            number += rest[at++];
        if (at + 1 < rest.size() && (rest[at] == u'.' || rest[at] == u',') && isDigit(rest[at + 1])) {
            number += u'.';
            ++at;
            while (at < rest.size() && isDigit(rest[at]))
                number += rest[at++];
        }
        bool ok = false;
        const double value = number.toDouble(&ok);
        if (!ok)
            return std::nullopt;
        if (decimals)
            *decimals = decimalsOf(number);
        return negative ? -value : value;
    }
    return std::nullopt;
}

std::optional<QList<int>> sensorList(const QString& text)
{
    QList<int> sensors;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(u'-');
        bool firstOk = false;
        bool lastOk = true;
        const int first = ends.first().toInt(&firstOk);
        const int last = ends.size() == 2 ? ends.last().toInt(&lastOk) : first;
        if (!firstOk || !lastOk || ends.size() > 2 || first < 1 || last > board::kMaxSensors || first > last)
            return std::nullopt;
        for (int sensor = first; sensor <= last; ++sensor)
            sensors << sensor;
    }
    return sensors;
}

} // namespace calimbra
