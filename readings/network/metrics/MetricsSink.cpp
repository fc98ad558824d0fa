// SPDX-License-Identifier: MIT
#include "MetricsSink.h"

#include <array>
#include <charconv>
#include <cmath>

namespace calimbra {
namespace {

// Family texts stay in English whatever the locale: they are read by tools and dashboards, and a
// scrape must not change with the language the service was started in.
struct Family
{
    const char* name;
    const char* type;
    const char* help;
};

constexpr Family kBuildInfo{"calimbra_build_info", "gauge", "The program's version, in its label; always 1."};
constexpr Family kBoardUp{"calimbra_board_up", "gauge",
                          "1 while the board answers, 0 while the port is lost or nothing answers."};
constexpr Family kTemperature{"calimbra_temperature_celsius", "gauge",
                              "The sensor's latest temperature, calibrated; absent while it has no value."};
constexpr Family kTimestamp{"calimbra_reading_timestamp_seconds", "gauge",
                            "When the sensor's latest reading was taken, with or without a value."};
constexpr Family kReadings{"calimbra_readings_total", "counter",
                           "Readings taken of the sensor, with a value or without."};
constexpr Family kReadErrorsFamily{"calimbra_read_errors_total", "counter",
                                   "Readings of the sensor without a value, by why there was none."};
constexpr Family kAlarm{"calimbra_alarm_active", "gauge",
                        "1 while the sensor's alarm is raised, 0 once cleared."};
constexpr Family kMqttConnected{"calimbra_mqtt_connected", "gauge", "1 while connected to the MQTT broker."};
constexpr Family kOutboxReadings{"calimbra_outbox_readings", "gauge",
                                 "Readings kept in the outbox until the MQTT broker takes them."};
constexpr Family kOutboxDropped{"calimbra_outbox_dropped_total", "counter",
                                "Readings dropped from a full outbox, the oldest first."};

void appendFamily(QByteArray& out, const Family& family)
{
    out += "# HELP ";
    out += family.name;
    out += ' ';
    out += family.help;
    out += "\n# TYPE ";
    out += family.name;
    out += ' ';
    out += family.type;
    out += '\n';
}

// name{labels} value
void appendSample(QByteArray& out, const Family& family, const QByteArray& labels, const QByteArray& value)
{
    out += family.name;
    out += '{';
    out += labels;
    out += "} ";
    out += value;
    out += '\n';
}

QByteArray decimal(double value)
{
    if (std::isnan(value))
        return QByteArrayLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QByteArrayLiteral("+Inf") : QByteArrayLiteral("-Inf");
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
    return QByteArray(text.data(), result.ptr - text.data());
}

// Seconds with the milliseconds, from whole numbers: no binary fraction to round.
QByteArray seconds(qint64 ms)
{
    const qint64 whole = ms / 1000;
    const qint64 rest = ms % 1000;
    QByteArray text = QByteArray::number(whole);
    if (ms < 0 && whole == 0)
        text.prepend('-');
    text += '.';
    text += QByteArray::number(rest < 0 ? -rest : rest).rightJustified(3, '0');
    return text;
}

QByteArray flag(bool on)
{
    return on ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

} // namespace

QByteArray metricsLabelValue(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size() + 2);
    for (const char c : utf8) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

MetricsSink::MetricsSink(const QString& board, const QString& version, QObject* parent)
    : Sink(parent), boardLabel_("board=\"" + metricsLabelValue(board) + '"'),
      buildInfo_("version=\"" + metricsLabelValue(version) + '"')
{}

QString MetricsSink::description() const
{
    return tr("Prometheus metrics");
}

void MetricsSink::take(const Reading& reading)
{
    SensorState& sensor = sensors_[reading.sensor];
    if (sensor.errors.empty()) {
        // Every kind starts at zero once a sensor has reported, so that a first error is an increase
        // a rate() sees rather than a new series.
        for (const ReadError kind : kReadErrors)
            sensor.errors[kind] = 0;
    }
    sensor.name = reading.name;
    sensor.celsius = reading.celsius;
    sensor.timeMs = reading.time.toMSecsSinceEpoch();
    ++sensor.readings;
    if (reading.error)
        ++sensor.errors[*reading.error];
}

void MetricsSink::boardAvailable(bool available)
{
    boardUp_ = available;
}

void MetricsSink::alarmChanged(const AlarmEvent& event)
{
    alarms_[{event.sensor, event.kind}] = event.raised;
}

void MetricsSink::setMqttEnabled(bool enabled)
{
    mqttEnabled_ = enabled;
}

void MetricsSink::setMqttConnected(bool connected)
{
    mqttConnected_ = connected;
}

void MetricsSink::setOutboxReadings(qint64 readings)
{
    outboxReadings_ = readings;
}

void MetricsSink::addOutboxDropped(quint64 readings)
{
    outboxDropped_ += readings;
}

QByteArray MetricsSink::exposition() const
{
    QByteArray out;
    out.reserve(4096 + static_cast<qsizetype>(sensors_.size()) * 1024);

    appendFamily(out, kBuildInfo);
    appendSample(out, kBuildInfo, buildInfo_, "1");
    appendFamily(out, kBoardUp);
    appendSample(out, kBoardUp, boardLabel_, flag(boardUp_));

    // board="b",sensor="3" and the same with the name, once per sensor for every family.
    std::map<int, std::pair<QByteArray, QByteArray>> labels;
    for (const auto& [number, sensor] : sensors_) {
        QByteArray plain = boardLabel_ + ",sensor=\"" + QByteArray::number(number) + '"';
        QByteArray named = plain + ",name=\"" + metricsLabelValue(sensor.name) + '"';
        labels.emplace(number, std::pair{std::move(plain), std::move(named)});
    }

    bool anyValue = false;
    for (const auto& [number, sensor] : sensors_)
        anyValue = anyValue || sensor.celsius.has_value();
    if (anyValue) {
        appendFamily(out, kTemperature);
        for (const auto& [number, sensor] : sensors_) {
            if (sensor.celsius)
                appendSample(out, kTemperature, labels[number].second, decimal(*sensor.celsius));
        }
    }
    if (!sensors_.empty()) {
        appendFamily(out, kTimestamp);
        for (const auto& [number, sensor] : sensors_)
            appendSample(out, kTimestamp, labels[number].second, seconds(sensor.timeMs));
        appendFamily(out, kReadings);
        for (const auto& [number, sensor] : sensors_)
            appendSample(out, kReadings, labels[number].second, QByteArray::number(sensor.readings));
        appendFamily(out, kReadErrorsFamily);
        for (const auto& [number, sensor] : sensors_) {
            for (const auto& [kind, count] : sensor.errors) {
                appendSample(out, kReadErrorsFamily,
                             labels[number].first + ",kind=\"" + readErrorName(kind).toLatin1() + '"',
                             QByteArray::number(count));
            }
        }
    }
    if (!alarms_.empty()) {
        appendFamily(out, kAlarm);
        for (const auto& [key, raised] : alarms_) {
            const QByteArray alarmLabels = boardLabel_ + ",sensor=\"" + QByteArray::number(key.first) +
                                           "\",alarm=\"" + alarmKindName(key.second).toLatin1() + '"';
            appendSample(out, kAlarm, alarmLabels, flag(raised));
        }
    }
    if (mqttEnabled_) {
        appendFamily(out, kMqttConnected);
        appendSample(out, kMqttConnected, boardLabel_, flag(mqttConnected_));
        appendFamily(out, kOutboxReadings);
        appendSample(out, kOutboxReadings, boardLabel_, QByteArray::number(outboxReadings_));
        appendFamily(out, kOutboxDropped);
        appendSample(out, kOutboxDropped, boardLabel_, QByteArray::number(outboxDropped_));
    }
    return out;
}

} // namespace calimbra
