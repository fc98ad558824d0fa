// SPDX-License-Identifier: MIT
#pragma once

#include "BoardProtocol.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <optional>
#include <utility>

class QCategoryAxis;
class QGraphicsSimpleTextItem;
class QChart;
class QChartView;
class QLineSeries;
class QPen;
class QValueAxis;

namespace calimbra {

class ReadingStore;

// Nine colours told apart by most eyes, and in grey print; the table uses them too.
[[nodiscard]] QColor sensorColour(int sensor);

// The chart of a store's readings: a line a sensor, broken where the board could not be read, drawn
// from the store's decimated copy at the chart's present width. It follows the present over a span
// (covering just the readings there are until the span is filled) or stays on a stretch the operator
// picked: a drag over the chart, the wheel to zoom, Shift+wheel or the arrow keys to move.
class TemperatureChart : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kNarrowest{20'000};
    static constexpr std::chrono::milliseconds kNarrowestZoom{5'000};

    TemperatureChart(const ReadingStore& store, QChartView& view, QObject* parent = nullptr);
    ~TemperatureChart() override;

    // The stretch followed, counted back from the present; zero for every reading there is.
    void setSpan(std::chrono::milliseconds span);
    void setFollowing(bool following);
    [[nodiscard]] bool isFollowing() const { return following_; }
    // Live, the present is now; for a log read back it is its newest reading.
    void setLive(bool live) { live_ = live; }

    // A legend entry and a line, for the sensors read only; the name follows the number.
    void showSensor(int sensor, const QString& name);
    void hideSensors();
    // Dashed lines in the sensor's colour at its alarm limits, drawn with its line when they are
    // among or near the values shown; the value axis then takes them in.
    void setLimits(int sensor, std::optional<double> low, std::optional<double> high);
    // The limits drawn now, low and high of each sensor in turn: for tests.
    [[nodiscard]] QList<double> drawnLimits() const;
    // Shown and not switched off at its legend entry.
    [[nodiscard]] bool isVisible(int sensor) const;
    [[nodiscard]] QList<int> visibleSensors() const;
    [[nodiscard]] std::pair<qint64, qint64> shownRange() const { return {from_, to_}; }

    // Words shown in the middle of the chart while it has nothing to draw: what to do next.
    void setHint(const QString& text);
    [[nodiscard]] QString hint() const;

    // Readings come in rounds of a few milliseconds: one redraw serves a round.
    void scheduleReplot();
    void replot();

    // What the operator's moves do: a stretch shown, moved by a fraction of its width, widened by a
    // factor around a point (0 its left edge, 1 its right). Each stops following.
    void showRange(qint64 from, qint64 to);
    void pan(double fraction);
    void zoom(double factor, double anchor = 0.5);

signals:
    void followingChanged(bool following);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Line
    {
        QList<QLineSeries*> parts; // one a stretch without an outage; the first has the legend entry
        std::array<std::optional<double>, 2> limits; // low, high
        std::array<QLineSeries*, 2> limitLines{};    // made at the first limit
        bool shown = false;
        bool switchedOff = false;
    };

    // The value axis: its ends on whole steps of 1, 2 or 5 times a power of ten.
    struct ValueScale
    {
        double bottom = 0;
        double top = 0;
        int intervals = 0;
        int decimals = 0;
        bool operator==(const ValueScale&) const = default;
    };

    [[nodiscard]] std::pair<qint64, qint64> followedRange(int columns) const;
    void applyVisibility(int sensor);
    [[nodiscard]] QLineSeries* addSeries(const QPen& pen);
    void setTimeTicks(qint64 from, qint64 to);
    [[nodiscard]] static ValueScale valueScale(double low, double high);
    void setValueScale(const ValueScale& scale);
    void onAxisChanged(qreal min, qreal max);
    void leaveFollowing();

    const ReadingStore& store_;
    QChartView& view_;
    QChart* chart_;
    QCategoryAxis* timeAxis_;
    QValueAxis* valueAxis_;
    std::array<Line, board::kMaxSensors> lines_;
    qint64 span_ = 10 * 60 * 1000;
    bool following_ = true;
    bool live_ = true;
    bool settingRange_ = false;
    qint64 from_ = 0;
    qint64 to_ = 0;
    qint64 ticksFrom_ = -1;
    qint64 ticksTo_ = -1;
    ValueScale valueScale_;
    QTimer replotTimer_;
    QGraphicsSimpleTextItem* hint_;
};

} // namespace calimbra
