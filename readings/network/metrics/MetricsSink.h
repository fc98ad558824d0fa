// SPDX-License-Identifier: MIT
#pragma once

#include "Sink.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <utility>

namespace calimbra {

// The board's state as Prometheus metrics: fed like any output, read by a scrape (MetricsServer).
// It keeps only the latest state and running counts, so its size does not grow with time.
class MetricsSink : public Sink
{
    Q_OBJECT

public:
    // The media type of exposition(), for the HTTP reply.
    static constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";

    // `board` is the value of every series' board label; `version` the program's, for build_info.
    MetricsSink(const QString& board, const QString& version, QObject* parent = nullptr);

    [[nodiscard]] QString description() const override;
    void take(const Reading& reading) override;
    void boardAvailable(bool available) override;
    void alarmChanged(const AlarmEvent& event) override;

    // The MQTT output's state, told by its owner. Its series are exposed only while an MQTT output is
    // configured, so that a logger without one does not show a broker that is never connected.
    void setMqttEnabled(bool enabled);
    void setMqttConnected(bool connected);
    void setOutboxReadings(qint64 readings);
    // A count of readings dropped since the last call: the total only grows, as a counter must.
    void addOutboxDropped(quint64 readings);

    // Every series in the Prometheus text format 0.0.4, UTF-8.
    [[nodiscard]] QByteArray exposition() const;

private:
    struct SensorState
    {
        QString name;                  // from the latest reading: a renamed sensor keeps one series
        std::optional<double> celsius; // from the latest reading
        qint64 timeMs{};
        quint64 readings{};
        std::map<ReadError, quint64> errors;
    };

    QByteArray boardLabel_; // board="...", escaped once
    QByteArray buildInfo_;
    std::map<int, SensorState> sensors_;
    std::map<std::pair<int, AlarmKind>, bool> alarms_;
    bool boardUp_ = false;
    bool mqttEnabled_ = false;
    bool mqttConnected_ = false;
    qint64 outboxReadings_ = 0;
    quint64 outboxDropped_ = 0;
};

// A label value as the text format wants it: backslash, double quote and line feed escaped.
[[nodiscard]] QByteArray metricsLabelValue(const QString& value);

} // namespace calimbra
