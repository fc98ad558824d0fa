// SPDX-License-Identifier: MIT
#include "MetricsSink.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace calimbra {
namespace {

constexpr FigureFamily kBuildInfo{"calimbra_build_info", "gauge",
                                  "The program's version, in its label; always 1."};
constexpr FigureFamily kBoardUp{"calimbra_board_up", "gauge",
                                "1 while the board answers, 0 while the port is lost or nothing answers."};
constexpr FigureFamily kTemperature{
    "calimbra_temperature_celsius", "gauge",
    "The sensor's latest temperature, calibrated; absent while it has no value."};
constexpr FigureFamily kTimestamp{"calimbra_reading_timestamp_seconds", "gauge",
                                  "When the sensor's latest reading was taken, with or without a value."};
constexpr FigureFamily kReadings{"calimbra_readings_total", "counter",
                                 "Readings taken of the sensor, with a value or without."};
constexpr FigureFamily kReadErrorsFamily{"calimbra_read_errors_total", "counter",
                                         "Readings of the sensor without a value, by why there was none."};

// The shortest text that reads back as the same double: a value rounded to the board's decimals
// (22.47 - 0.30 kept as the double nearest 22.17) shows as 22.17, never 22.169999999999998; and
// milliseconds over 1000 show as the whole milliseconds they were.
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

// One scrape's samples, kept together by family, the families in the order they first came.
class Exposition final : public FigureWriter
{
public:
    explicit Exposition(const QByteArray& boardLabel) : boardLabel_(boardLabel) {}

    void add(const FigureFamily& family, std::initializer_list<FigureLabel> labels, double value) override
    {
        QByteArray& out = samples(family);
        out += family.name;
        out += '{';
        out += boardLabel_;
        for (const FigureLabel& label : labels) {
            out += ',';
            out += label.name;
            out += "=\"";
            out += metricsLabelValue(label.value);
            out += '"';
        }
        out += "} ";
        out += decimal(value);
        out += '\n';
    }

    // With these labels alone, not the board's.
    void addBare(const FigureFamily& family, const QByteArray& labels, QByteArrayView value)
    {
        QByteArray& out = samples(family);
        out += family.name;
        out += '{';
        out += labels;
        out += "} ";
        out += value;
        out += '\n';
    }

    [[nodiscard]] QByteArray text() const
    {
        qsizetype size = 0;
        for (const Group& group : groups_)
            size += group.samples.size() + 256;
        QByteArray out;
        out.reserve(size);
        for (const Group& group : groups_) {
            out += "# HELP ";
            out += group.family->name;
            out += ' ';
            out += group.family->help;
            out += "\n# TYPE ";
            out += group.family->name;
            out += ' ';
            out += group.family->type;
            out += '\n';
            out += group.samples;
        }
        return out;
    }

private:
    struct Group
    {
        const FigureFamily* family;
        QByteArray samples;
    };

    QByteArray& samples(const FigureFamily& family)
    {
        // Mostly the family of the sample before.
        if (last_ < groups_.size() && std::strcmp(groups_[last_].family->name, family.name) == 0)
            return groups_[last_].samples;
        const auto found = std::find_if(groups_.begin(), groups_.end(), [&family](const Group& group) {
            return std::strcmp(group.family->name, family.name) == 0;
        });
        if (found == groups_.end()) {
            groups_.push_back({&family, {}});
            last_ = groups_.size() - 1;
        } else {
            last_ = static_cast<std::size_t>(found - groups_.begin());
        }
        return groups_[last_].samples;
    }

    const QByteArray& boardLabel_;
    std::vector<Group> groups_;
    std::size_t last_ = 0;
};

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

void MetricsSink::addSource(const FigureSource* source)
{
    if (source && std::find(sources_.begin(), sources_.end(), source) == sources_.end())
        sources_.push_back(source);
}

void MetricsSink::removeSource(const FigureSource* source)
{
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

QByteArray MetricsSink::exposition() const
{
    Exposition out(boardLabel_);
    out.addBare(kBuildInfo, buildInfo_, "1");
    out.add(kBoardUp, {}, boardUp_ ? 1 : 0);

    std::vector<QString> numbers;
    numbers.reserve(sensors_.size());
    for (const auto& [number, sensor] : sensors_)
        numbers.push_back(QString::number(number));
    // A sensor without a value has no temperature: a stale one would look current.
    auto number = numbers.cbegin();
    for (const auto& [unused, sensor] : sensors_) {
        if (sensor.celsius)
            out.add(kTemperature, {{"sensor", *number}, {"name", sensor.name}}, *sensor.celsius);
        ++number;
    }
    number = numbers.cbegin();
    for (const auto& [unused, sensor] : sensors_) {
        const std::initializer_list<FigureLabel> named{{"sensor", *number}, {"name", sensor.name}};
        out.add(kTimestamp, named, static_cast<double>(sensor.timeMs) / 1000.0);
        out.add(kReadings, named, static_cast<double>(sensor.readings));
        for (const auto& [kind, count] : sensor.errors)
            out.add(kReadErrorsFamily, {{"sensor", *number}, {"kind", readErrorName(kind)}},
                    static_cast<double>(count));
        ++number;
    }
    for (const FigureSource* source : sources_)
        source->writeFigures(out);
    return out.text();
}

} // namespace calimbra
