// SPDX-License-Identifier: MIT
#include "Topics.h"

#include "BoardProtocol.h"
#include "Error.h"
#include "Text.h"

#include "Celsius.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>

namespace calimbra {
namespace {

const QLatin1String kRoot("calimbra");
const QLatin1String kIdPrefix("calimbra_");
constexpr qsizetype kShownPrefix = 80;

// Only the service's own spelling: one digit from 1 to 9, no sign, no blanks, no leading zero.
std::optional<int> sensorNumber(QStringView text)
{
    static_assert(board::kMaxSensors <= 9, "a sensor's number is one digit");
    if (text.size() != 1 || text[0] < u'1' || text[0] > QChar(u'0' + board::kMaxSensors))
        return std::nullopt;
    return text[0].unicode() - u'0';
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

} // namespace

QByteArray limitsJson(const SensorProfile& profile)
{
    QByteArray json = "{";
    const auto add = [&json](const char* key, double value) {
        if (json.size() > 1)
            json += ',';
        json += '"';
        json += key;
        json += "\":";
        json += celsiusText(value);
    };
    if (profile.low)
        add("low", *profile.low);
    if (profile.high)
        add("high", *profile.high);
    add("hysteresis", profile.hysteresis);
    add("for", static_cast<double>(profile.delay.count()) / 1000);
    add("lost_after", profile.lostAfter);
    return json + '}';
}

bool readLimitsJson(const QByteArray& json, SensorProfile& profile)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return false;
    const QJsonObject limits = document.object();
    const auto number = [&limits](const char* key) -> std::optional<double> {
        const QJsonValue value = limits.value(QLatin1String(key));
        return value.isDouble() && std::isfinite(value.toDouble()) ? std::optional(value.toDouble())
                                                                   : std::nullopt;
    };
    profile.low = number("low");
    profile.high = number("high");
    profile.hysteresis = number("hysteresis").value_or(SensorProfile::kDefaultHysteresis);
    profile.delay = std::chrono::milliseconds{qRound64(number("for").value_or(0) * 1000)};
    profile.lostAfter = static_cast<int>(number("lost_after").value_or(SensorProfile::kDefaultLostAfter));
    return true;
}

std::optional<QString> discoveryPrefixProblem(const QString& prefix)
{
    const bool fine = !prefix.isEmpty() && prefix.size() <= Topics::kLongestDiscoveryPrefix &&
                      !prefix.startsWith(u'/') && !prefix.endsWith(u'/') && !prefix.startsWith(u'$') &&
                      !prefix.contains(u'+') && !prefix.contains(u'#') &&
                      std::none_of(prefix.begin(), prefix.end(), isControl);
    if (fine)
        return std::nullopt;
    QString shown = printable(prefix.left(kShownPrefix));
    if (prefix.size() > kShownPrefix)
        shown += QStringLiteral("…");
    return Topics::tr("The Home Assistant discovery prefix \"%1\" cannot be used: a prefix is one or more "
                      "topic levels such as \"homeassistant\" or \"ha/discovery\", without \"+\", \"#\" or "
                      "control characters, neither beginning nor ending with \"/\", not beginning with "
                      "\"$\", and at most %2 characters long.")
        .arg(shown)
        .arg(Topics::kLongestDiscoveryPrefix);
}

Topics::Topics(const QString& discoveryPrefix) : prefix_(discoveryPrefix)
{
    if (const auto problem = calimbra::discoveryPrefixProblem(prefix_))
        throw Error(*problem);
}

QString Topics::status(const QString& board)
{
    return QStringLiteral("calimbra/%1/status").arg(board);
}

QString Topics::reading(const QString& board, int sensor)
{
    return QStringLiteral("calimbra/%1/sensor/%2").arg(board).arg(sensor);
}

QString Topics::alarm(const QString& board, int sensor, AlarmKind kind)
{
    return reading(board, sensor) + QStringLiteral("/alarm/") + alarmKindName(kind);
}

QString Topics::limits(const QString& board, int sensor)
{
    return reading(board, sensor) + QStringLiteral("/limits");
}

QString Topics::sensorId(const QString& board, int sensor)
{
    return QStringLiteral("calimbra_%1_s%2").arg(board).arg(sensor);
}

QString Topics::alarmId(const QString& board, int sensor, AlarmKind kind)
{
    return sensorId(board, sensor) + u'_' + alarmKindName(kind);
}

QString Topics::sensorConfig(const QString& board, int sensor) const
{
    return QStringLiteral("%1/sensor/%2/config").arg(prefix_, sensorId(board, sensor));
}

QString Topics::alarmConfig(const QString& board, int sensor, AlarmKind kind) const
{
    return QStringLiteral("%1/binary_sensor/%2/config").arg(prefix_, alarmId(board, sensor, kind));
}

QString Topics::homeAssistantStatus() const
{
    return prefix_ + QStringLiteral("/status");
}

QString Topics::statusFilter()
{
    return QStringLiteral("calimbra/+/status");
}

QString Topics::sensorConfigFilter() const
{
    return prefix_ + QStringLiteral("/sensor/+/config");
}

QString Topics::readingsFilter(const QString& board)
{
    return QStringLiteral("calimbra/%1/sensor/+").arg(board);
}

QString Topics::alarmsFilter(const QString& board)
{
    return QStringLiteral("calimbra/%1/sensor/+/alarm/+").arg(board);
}

QString Topics::limitsFilter(const QString& board)
{
    return QStringLiteral("calimbra/%1/sensor/+/limits").arg(board);
}

Topics::Parsed Topics::parse(const QString& topic) const
{
    // Discovery first: a prefix may itself begin with "calimbra/".
    if (topic.size() > prefix_.size() && topic.startsWith(prefix_) && topic.at(prefix_.size()) == u'/') {
        const Parsed discovery = parseDiscovery(QStringView(topic).sliced(prefix_.size() + 1));
        if (discovery.kind != Kind::Other)
            return discovery;
    }
    const QList<QStringView> levels = QStringView(topic).split(u'/');
    if (levels.size() < 3 || levels.at(0) != kRoot)
        return {};
    Parsed parsed;
    parsed.board = levels.at(1).toString();
    if (levels.size() == 3 && levels.at(2) == QLatin1String("status")) {
        parsed.kind = Kind::Status;
        return parsed;
    }
    if (levels.at(2) != QLatin1String("sensor"))
        return {};
    const bool readingShape = levels.size() == 4;
    const bool alarmShape = levels.size() == 6 && levels.at(4) == QLatin1String("alarm");
    const bool limitsShape = levels.size() == 5 && levels.at(4) == QLatin1String("limits");
    if (!readingShape && !alarmShape && !limitsShape)
        return {};
    parsed.kind = Kind::Malformed;
    const std::optional<int> sensor = sensorNumber(levels.at(3));
    if (!sensor)
        return parsed;
    parsed.sensor = *sensor;
    if (readingShape || limitsShape) {
        parsed.kind = readingShape ? Kind::Reading : Kind::Limits;
        return parsed;
    }
    const std::optional<AlarmKind> kind = alarmKindFromName(levels.at(5));
    if (kind) {
        parsed.kind = Kind::Alarm;
        parsed.alarm = *kind;
    }
    return parsed;
}

Topics::Parsed Topics::parseDiscovery(QStringView rest) const
{
    Parsed parsed;
    if (rest == QLatin1String("status")) {
        parsed.kind = Kind::HomeAssistantStatus;
        return parsed;
    }
    const QList<QStringView> levels = rest.split(u'/');
    if (levels.size() != 3 || levels.at(2) != QLatin1String("config") || !levels.at(1).startsWith(kIdPrefix))
        return {};
    const bool sensorDomain = levels.at(0) == QLatin1String("sensor");
    if (!sensorDomain && levels.at(0) != QLatin1String("binary_sensor"))
        return {};
    QStringView id = levels.at(1).sliced(kIdPrefix.size());
    if (!sensorDomain) {
        const qsizetype cut = id.lastIndexOf(u'_');
        const std::optional<AlarmKind> kind = cut < 0 ? std::nullopt : alarmKindFromName(id.sliced(cut + 1));
        if (!kind)
            return {};
        parsed.alarm = *kind;
        id = id.first(cut);
    }
    // The board's name may hold "_s" itself: the sensor is the last one.
    const qsizetype cut = id.lastIndexOf(QLatin1String("_s"));
    const std::optional<int> sensor = cut <= 0 ? std::nullopt : sensorNumber(id.sliced(cut + 2));
    if (!sensor)
        return {};
    parsed.kind = sensorDomain ? Kind::SensorConfig : Kind::AlarmConfig;
    parsed.board = id.first(cut).toString();
    parsed.sensor = *sensor;
    return parsed;
}

} // namespace calimbra
