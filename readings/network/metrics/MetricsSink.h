// SPDX-License-Identifier: MIT
#pragma once

#include "Figures.h"
#include "Sink.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace calimbra {

// The board's state as Prometheus metrics: fed like any output, read by a scrape (MetricsServer).
// It keeps only the latest readings and running counts, so its size does not grow with time; the
// other parts' figures (alarms, the broker's output) are theirs, asked for at each scrape.
class MetricsSink : public Sink, public FigureGatherer
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

    // A part whose figures every scrape shows from now on, after the sink's own, each with the
    // board's label. It must outlive the sink, or be removed first.
    void addSource(const FigureSource* source) override;
    void removeSource(const FigureSource* source) override;

    // Every series in the Prometheus text format 0.0.4, UTF-8, one HELP and TYPE per family.
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
    std::vector<const FigureSource*> sources_;
    bool boardUp_ = false;
};

// A label value as the text format wants it: backslash, double quote and line feed escaped.
[[nodiscard]] QByteArray metricsLabelValue(const QString& value);

} // namespace calimbra
