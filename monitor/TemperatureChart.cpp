// SPDX-License-Identifier: MIT
#include "TemperatureChart.h"

#include "ReadingStore.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPen>
#include <QSet>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

using namespace std::chrono;

namespace calimbra {
namespace {

constexpr milliseconds kReplotDelay{50};
constexpr milliseconds kLeastMargin{1000};
constexpr qint64 kMarginDivisor = 20; // room either side of the readings: 5 % of what they cover
constexpr qint64 kMsPerDay = 24LL * 60 * 60 * 1000;
// A label every this many pixels at most, so that "dd/MM HH:mm" labels never touch.
constexpr int kPixelsPerTimeLabel = 110;
constexpr double kMostValueIntervals = 7;
constexpr double kNarrowestValues = 0.5; // °C: a flat line is not drawn as noise magnified
constexpr double kWheelZoom = 1.25;      // a notch of the wheel
constexpr double kPanStep = 0.1;         // an arrow key or a notch of Shift+wheel
constexpr int kWheelNotch = 120;
constexpr int kDashColumns = 4; // the width of a reading drawn alone
// A limit is drawn when it lies within half the values' range (1 °C at least) of them.
constexpr double kLimitNearFraction = 0.5;
constexpr double kLimitNearest = 1.0; // °C
constexpr qreal kLimitPenWidth = 2;

const std::array<QColor, board::kMaxSensors> kColours = {
    QColor(0x1f77b4), QColor(0xd62728), QColor(0x2ca02c), QColor(0xff7f0e), QColor(0x9467bd),
    QColor(0x8c564b), QColor(0xe377c2), QColor(0x17becf), QColor(0x7f7f7f)};

constexpr std::array<qint64, 24> kTimeSteps = {
    1'000,         2'000,         5'000,          10'000,         15'000,         30'000,
    60'000,        120'000,       300'000,        600'000,        900'000,        1'800'000,
    3'600'000,     7'200'000,     10'800'000,     21'600'000,     43'200'000,     kMsPerDay,
    2 * kMsPerDay, 7 * kMsPerDay, 14 * kMsPerDay, 28 * kMsPerDay, 91 * kMsPerDay, 364 * kMsPerDay};

qint64 floorTo(qint64 value, qint64 step)
{
    return (value >= 0 ? value : value - step + 1) / step * step;
}

// The finest of 1, 2 or 5 times a power of ten (the steps a person reads a scale in) that cuts
// `width` into at most kMostValueIntervals.
double niceStep(double width)
{
    const double power = std::pow(10.0, std::floor(std::log10(width / kMostValueIntervals)));
    for (const double mantissa : {1.0, 2.0, 5.0}) {
        if (width / (mantissa * power) <= kMostValueIntervals)
            return mantissa * power;
    }
    return 10 * power;
}

QString sensorLabel(int sensor, const QString& name)
{
    return name.isEmpty() ? QStringLiteral("S%1").arg(sensor)
                          : QStringLiteral("S%1 %2").arg(sensor).arg(name);
}

} // namespace

QColor sensorColour(int sensor)
{
    return kColours.at(static_cast<std::size_t>(sensor - 1));
}

TemperatureChart::TemperatureChart(const ReadingStore& store, QChartView& view, QObject* parent)
    : QObject(parent), store_(store), view_(view), chart_(new QChart), timeAxis_(new QCategoryAxis(chart_)),
      valueAxis_(new QValueAxis(chart_)), hint_(new QGraphicsSimpleTextItem(chart_))
{
    hint_->setZValue(1);
    connect(chart_, &QChart::plotAreaChanged, this, [this] { setHint(hint_->text()); });
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setLocalizeNumbers(true);
    chart_->legend()->setAlignment(Qt::AlignRight);
    timeAxis_->setTitleText(tr("Local time"));
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    valueAxis_->setTitleText(tr("°C"));
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        auto* line = new QLineSeries(chart_);
        line->setName(sensorLabel(sensor, {}));
        line->setColor(sensorColour(sensor));
        chart_->addSeries(line);
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxis_);
        lines_.at(static_cast<std::size_t>(sensor - 1)).parts << line;
        // The legend entry switches the sensor's line off and on; a struck-through entry is off.
        for (QLegendMarker* marker : chart_->legend()->markers(line)) {
            connect(marker, &QLegendMarker::clicked, this, [this, sensor] {
                Line& entry = lines_.at(static_cast<std::size_t>(sensor - 1));
                entry.switchedOff = !entry.switchedOff;
                applyVisibility(sensor);
            });
        }
        applyVisibility(sensor);
    }
    // A view hands back the chart it had (its own empty one from the .ui) without deleting it.
    std::unique_ptr<QChart> previous(view_.chart());
    view_.setChart(chart_);
    view_.setRubberBand(QChartView::HorizontalRubberBand);
    view_.setFocusPolicy(Qt::StrongFocus);
    view_.installEventFilter(this);
    view_.viewport()->installEventFilter(this);
    connect(timeAxis_, &QValueAxis::rangeChanged, this, &TemperatureChart::onAxisChanged);

    replotTimer_.setSingleShot(true);
    replotTimer_.setInterval(kReplotDelay);
    connect(&replotTimer_, &QTimer::timeout, this, &TemperatureChart::replot);
    replot();
}

TemperatureChart::~TemperatureChart()
{
    view_.removeEventFilter(this);
    view_.viewport()->removeEventFilter(this);
}

void TemperatureChart::setSpan(milliseconds span)
{
    span_ = span.count();
    setFollowing(true);
}

void TemperatureChart::setFollowing(bool following)
{
    const bool changed = following_ != following;
    following_ = following;
    if (changed)
        emit followingChanged(following_);
    replot();
}

void TemperatureChart::leaveFollowing()
{
    if (!following_)
        return;
    following_ = false;
    emit followingChanged(false);
}

void TemperatureChart::showSensor(int sensor, const QString& name)
{
    Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
    const QString label = sensorLabel(sensor, name);
    if (line.shown && line.parts.first()->name() == label)
        return;
    line.shown = true;
    line.parts.first()->setName(label);
    applyVisibility(sensor);
}

void TemperatureChart::hideSensors()
{
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
        line.shown = false;
        line.switchedOff = false;
        for (QLineSeries* part : line.parts)
            part->clear();
        applyVisibility(sensor);
    }
}

void TemperatureChart::setLimits(int sensor, std::optional<double> low, std::optional<double> high)
{
    Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
    if (line.limits == std::array{low, high})
        return;
    line.limits = {low, high};
    if ((low || high) && !line.limitLines[0]) {
        QPen pen(sensorColour(sensor), kLimitPenWidth, Qt::DashLine);
        for (QLineSeries*& limitLine : line.limitLines)
            limitLine = addSeries(pen);
    }
    scheduleReplot();
}

QList<double> TemperatureChart::drawnLimits() const
{
    QList<double> drawn;
    for (const Line& line : lines_) {
        for (const QLineSeries* limitLine : line.limitLines) {
            if (limitLine && limitLine->count() > 0)
                drawn << limitLine->at(0).y();
        }
    }
    return drawn;
}

QLineSeries* TemperatureChart::addSeries(const QPen& pen)
{
    auto* series = new QLineSeries(chart_);
    series->setPen(pen);
    chart_->addSeries(series);
    series->attachAxis(timeAxis_);
    series->attachAxis(valueAxis_);
    for (QLegendMarker* marker : chart_->legend()->markers(series))
        marker->setVisible(false);
    return series;
}

void TemperatureChart::applyVisibility(int sensor)
{
    const Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
    for (QLineSeries* part : line.parts)
        part->setVisible(line.shown && !line.switchedOff);
    for (QLineSeries* limitLine : line.limitLines) {
        if (!limitLine)
            continue;
        limitLine->setVisible(line.shown && !line.switchedOff);
        // Showing a series shows its legend entry again.
        for (QLegendMarker* marker : chart_->legend()->markers(limitLine))
            marker->setVisible(false);
    }
    // Hiding a series hides its legend entry too; a switched-off line keeps its entry, struck through.
    const auto markers = chart_->legend()->markers(line.parts.first());
    for (QLegendMarker* marker : markers) {
        QFont font = marker->font();
        font.setStrikeOut(line.switchedOff);
        marker->setFont(font);
        marker->setVisible(line.shown);
    }
    for (qsizetype i = 1; i < line.parts.size(); ++i) {
        for (QLegendMarker* marker : chart_->legend()->markers(line.parts[i]))
            marker->setVisible(false);
    }
}

bool TemperatureChart::isVisible(int sensor) const
{
    const Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
    return line.shown && !line.switchedOff;
}

QList<int> TemperatureChart::visibleSensors() const
{
    QList<int> sensors;
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        if (isVisible(sensor))
            sensors << sensor;
    }
    return sensors;
}

void TemperatureChart::scheduleReplot()
{
    if (!replotTimer_.isActive())
        replotTimer_.start();
}

std::pair<qint64, qint64> TemperatureChart::followedRange(int columns) const
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const auto last = store_.lastTime();
    const qint64 present = live_ ? std::max(now, last.value_or(now)) : last.value_or(now);
    const qint64 first = std::min(present, store_.firstTime().value_or(present));
    const qint64 covered = present - first;
    const qint64 margin = std::max<qint64>(kLeastMargin.count(), covered / kMarginDivisor);
    if (span_ <= 0 || covered + 2 * margin < span_) {
        // Not filled yet: the readings there are, with room either side. The ends move by whole
        // steps of about a column, not at every round: moving an axis lays out every line again.
        const auto fine = std::find_if(kTimeSteps.begin(), kTimeSteps.end(),
                                       [&](qint64 step) { return step * std::max(1, columns) >= covered; });
        const qint64 step = fine != kTimeSteps.end() ? *fine : kTimeSteps.back();
        const qint64 from = floorTo(first - margin, step);
        return {from, std::max(floorTo(present + margin, step) + step, from + kNarrowest.count())};
    }
    // The view moves a column at a time, not at every round: moving the axis lays out every line again.
    const qint64 step = std::max<qint64>(1000, span_ / std::max(1, columns));
    const qint64 to = (present / step + 1) * step;
    return {to - span_, to};
}

void TemperatureChart::setHint(const QString& text)
{
    hint_->setText(text);
    const QRectF area = chart_->plotArea();
    const QRectF box = hint_->boundingRect();
    hint_->setPos(area.center() - QPointF(box.width() / 2, box.height() / 2));
    hint_->setVisible(!text.isEmpty() && store_.size() == 0);
}

QString TemperatureChart::hint() const
{
    return hint_->isVisible() ? hint_->text() : QString();
}

void TemperatureChart::replot()
{
    replotTimer_.stop();
    hint_->setVisible(!hint_->text().isEmpty() && store_.size() == 0);
    // Two points (lowest and highest) for every two pixels: as sharp as a line can show, and half
    // the points for the chart to lay out.
    const int columns = std::max(100, static_cast<int>(chart_->plotArea().width()) / 2);
    if (following_)
        std::tie(from_, to_) = followedRange(columns);
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    std::array<QList<QList<QPointF>>, board::kMaxSensors> runs;
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        const Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
        if (!line.shown || line.switchedOff)
            continue;
        auto& sensorRuns = runs.at(static_cast<std::size_t>(sensor - 1));
        sensorRuns = store_.decimated(sensor, from_, to_, columns);
        // A reading alone between two gaps would draw nothing: it is drawn as a short dash.
        const double halfDash = static_cast<double>(to_ - from_) / columns * kDashColumns / 2;
        for (auto& run : sensorRuns) {
            if (run.size() == 1)
                run = {run[0] - QPointF(halfDash, 0), run[0] + QPointF(halfDash, 0)};
        }
        for (const auto& run : sensorRuns) {
            for (const QPointF& point : run) {
                if (point.x() >= static_cast<double>(from_) && point.x() <= static_cast<double>(to_)) {
                    low = std::min(low, point.y());
                    high = std::max(high, point.y());
                }
            }
        }
    }
    // Limits near the values are drawn and taken into the scale; far ones would squash the lines.
    std::array<std::array<bool, 2>, board::kMaxSensors> limitShown{};
    if (low <= high) {
        const double near = std::max((high - low) * kLimitNearFraction, kLimitNearest);
        const double lowest = low - near;
        const double highest = high + near;
        for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
            const Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
            if (!line.shown || line.switchedOff)
                continue;
            for (std::size_t i = 0; i < line.limits.size(); ++i) {
                const std::optional<double> limit = line.limits.at(i);
                if (!limit || *limit < lowest || *limit > highest)
                    continue;
                limitShown.at(static_cast<std::size_t>(sensor - 1)).at(i) = true;
                low = std::min(low, *limit);
                high = std::max(high, *limit);
            }
        }
    }
    const ValueScale scale = valueScale(low, high);
    // The chart lays out every line again at each change of an axis: the old lines go first, so
    // that only the new ones are laid out, once.
    if (from_ != ticksFrom_ || to_ != ticksTo_ || scale != valueScale_) {
        for (Line& line : lines_) {
            for (QLineSeries* part : line.parts) {
                if (part->count() > 0)
                    part->clear();
            }
            for (QLineSeries* limitLine : line.limitLines) {
                if (limitLine && limitLine->count() > 0)
                    limitLine->clear();
            }
        }
        settingRange_ = true;
        setTimeTicks(from_, to_);
        setValueScale(scale);
        settingRange_ = false;
    }
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        Line& line = lines_.at(static_cast<std::size_t>(sensor - 1));
        const auto& sensorRuns = runs.at(static_cast<std::size_t>(sensor - 1));
        while (line.parts.size() < sensorRuns.size())
            line.parts << addSeries(line.parts.first()->pen());
        for (qsizetype i = 0; i < line.parts.size(); ++i) {
            QLineSeries* part = line.parts[i];
            if (i < sensorRuns.size())
                part->replace(sensorRuns[i]);
            else if (part->count() > 0)
                part->clear();
        }
        for (std::size_t i = 0; i < line.limitLines.size(); ++i) {
            QLineSeries* limitLine = line.limitLines.at(i);
            if (!limitLine)
                continue;
            if (limitShown.at(static_cast<std::size_t>(sensor - 1)).at(i)) {
                const double value = *line.limits.at(i);
                limitLine->replace(
                    {QPointF(static_cast<double>(from_), value), QPointF(static_cast<double>(to_), value)});
            } else if (limitLine->count() > 0) {
                limitLine->clear();
            }
        }
    }
}

void TemperatureChart::setTimeTicks(qint64 from, qint64 to)
{
    if (from == ticksFrom_ && to == ticksTo_)
        return;
    ticksFrom_ = from;
    ticksTo_ = to;
    const qint64 width = std::max<qint64>(1, to - from);
    const int labels = std::max(2, static_cast<int>(chart_->plotArea().width()) / kPixelsPerTimeLabel);
    const auto fitting = std::find_if(kTimeSteps.begin(), kTimeSteps.end(),
                                      [&](qint64 step) { return width / step <= labels; });
    const qint64 step = fitting != kTimeSteps.end() ? *fitting : kTimeSteps.back();

    for (const QString& label : timeAxis_->categoriesLabels())
        timeAxis_->remove(label);
    timeAxis_->setRange(static_cast<double>(from), static_cast<double>(to));
    timeAxis_->setStartValue(static_cast<double>(from));

    // Ticks on round local times: whole minutes, hours, midnights.
    const qint64 offset = QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc() * 1000LL;
    const qint64 firstLocal = ((from + offset) / step + ((from + offset) % step > 0 ? 1 : 0)) * step;
    const QLocale locale;
    const QString timeFormat = step < 60'000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const bool manyDays = width > kMsPerDay;
    QSet<QString> used;
    QDate previousDate;
    for (qint64 local = firstLocal; local - offset <= to; local += step) {
        const qint64 at = local - offset;
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(at);
        QString label;
        if (step >= kMsPerDay)
            label = locale.toString(time, QStringLiteral("ddd dd/MM"));
        else if ((previousDate.isValid() && time.date() != previousDate) ||
                 (manyDays && !previousDate.isValid()))
            label = locale.toString(time, QStringLiteral("dd/MM ") + timeFormat);
        else
            label = locale.toString(time, timeFormat);
        if (used.contains(label))
            label = locale.toString(time, QStringLiteral("dd/MM ") + timeFormat);
        if (used.contains(label))
            continue;
        used.insert(label);
        previousDate = time.date();
        timeAxis_->append(label, static_cast<double>(at));
    }
}

TemperatureChart::ValueScale TemperatureChart::valueScale(double low, double high)
{
    if (low > high) {
        // Nothing to show: a room's temperatures, until there is.
        low = 15;
        high = 30;
    }
    const double pad = std::max((high - low) * 0.05, 0.02);
    low -= pad;
    high += pad;
    if (high - low < kNarrowestValues) {
        const double middle = (low + high) / 2;
        low = middle - kNarrowestValues / 2;
        high = middle + kNarrowestValues / 2;
    }
    const double step = niceStep(high - low);
    const double bottom = std::floor(low / step) * step;
    const double top = std::ceil(high / step) * step;
    return {bottom, top, static_cast<int>(std::lround((top - bottom) / step)),
            std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)))};
}

void TemperatureChart::setValueScale(const ValueScale& scale)
{
    if (scale == valueScale_)
        return;
    valueScale_ = scale;
    valueAxis_->setLabelFormat(QStringLiteral("%.%1f").arg(scale.decimals));
    valueAxis_->setTickCount(scale.intervals + 1);
    valueAxis_->setRange(scale.bottom, scale.top);
}

void TemperatureChart::onAxisChanged(qreal min, qreal max)
{
    if (settingRange_)
        return;
    // The operator dragged over the chart or zoomed out: stay there, drawn afresh at this scale.
    showRange(static_cast<qint64>(min), static_cast<qint64>(max));
}

void TemperatureChart::showRange(qint64 from, qint64 to)
{
    if (to - from < kNarrowestZoom.count()) {
        const qint64 middle = from + (to - from) / 2;
        from = middle - kNarrowestZoom.count() / 2;
        to = from + kNarrowestZoom.count();
    }
    from_ = from;
    to_ = to;
    ticksFrom_ = ticksTo_ = -1;
    leaveFollowing();
    replot();
}

void TemperatureChart::pan(double fraction)
{
    const auto shift = static_cast<qint64>(static_cast<double>(to_ - from_) * fraction);
    showRange(from_ + shift, to_ + shift);
}

void TemperatureChart::zoom(double factor, double anchor)
{
    anchor = std::clamp(anchor, 0.0, 1.0);
    const double width = static_cast<double>(to_ - from_);
    const double at = static_cast<double>(from_) + width * anchor;
    const double newWidth = width * factor;
    const auto from = static_cast<qint64>(at - newWidth * anchor);
    showRange(from, from + static_cast<qint64>(newWidth));
}

bool TemperatureChart::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_.viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint angle = wheel->angleDelta();
        if (angle.x() != 0 || wheel->modifiers().testFlag(Qt::ShiftModifier)) {
            const int notches = angle.x() != 0 ? angle.x() : angle.y();
            pan(-kPanStep * notches / kWheelNotch);
        } else if (angle.y() != 0) {
            const QPointF inChart = chart_->mapFromScene(view_.mapToScene(wheel->position().toPoint()));
            const QRectF plot = chart_->plotArea();
            zoom(std::pow(kWheelZoom, -static_cast<double>(angle.y()) / kWheelNotch),
                 (inChart.x() - plot.left()) / std::max(1.0, plot.width()));
        }
        return true;
    }
    if (watched == &view_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Left:
            pan(-kPanStep);
            return true;
        case Qt::Key_Right:
            pan(kPanStep);
            return true;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoom(1 / kWheelZoom);
            return true;
        case Qt::Key_Minus:
            zoom(kWheelZoom);
            return true;
        default:
            break;
        }
    }
    if (watched == view_.viewport() && event->type() == QEvent::Resize) {
        // As many time labels as the new width holds.
        ticksFrom_ = ticksTo_ = -1;
        scheduleReplot();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace calimbra
