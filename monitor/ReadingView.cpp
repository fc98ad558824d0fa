// SPDX-License-Identifier: MIT
#include "ReadingView.h"

#include "SensorTable.h"
#include "TemperatureChart.h"

#include <QSplitter>

using namespace std::chrono;

namespace calimbra {
namespace {

constexpr milliseconds kRowsDelay{50};
constexpr int kMostTablePercent = 45; // of the height the chart and the table share

QString sensorLabel(int sensor, const QString& name)
{
    return name.isEmpty() ? QStringLiteral("S%1").arg(sensor)
                          : QStringLiteral("S%1 %2").arg(sensor).arg(name);
}

bool isSensor(int sensor)
{
    return sensor >= 1 && sensor <= board::kMaxSensors;
}

std::size_t slotOf(int sensor)
{
    return static_cast<std::size_t>(sensor - 1);
}

} // namespace

ReadingView::ReadingView(ReadingHistory& history, TemperatureChart& chart, SensorTable& table,
                         QSplitter& splitter, QObject* parent)
    : Sink(parent), chart_(chart), table_(table), splitter_(splitter), history_(history),
      notifier_(tr("Calimbra Monitor"))
{
    rowsTimer_.setSingleShot(true);
    rowsTimer_.setInterval(kRowsDelay);
    connect(&rowsTimer_, &QTimer::timeout, this, &ReadingView::updateRows);
}

ReadingView::~ReadingView() = default;

QString ReadingView::description() const
{
    return tr("The chart");
}

void ReadingView::restart(bool live)
{
    history_.clear();
    table_.clear();
    chart_.hideSensors();
    chart_.setLive(live);
    activeAlarms_.fill({});
    shown_.reset();
    publishedLimits_.clear();
    lastRound_ = QDateTime();
    live_ = live;
    away_ = false;
    chart_.replot();
}

void ReadingView::setLive(bool live)
{
    live_ = live;
    chart_.setLive(live);
    markAllRows();
}

void ReadingView::take(const Reading& reading)
{
    if (!isSensor(reading.sensor) || !history_.take(reading))
        return;
    if (reading.celsius)
        away_ = false;
    // A log brings millions: the sensor's line and row are made once, its name follows in updateRows.
    if (!shown_.test(slotOf(reading.sensor)))
        showSensor(reading.sensor);
    markRow(reading.sensor);
    chart_.scheduleReplot();
}

void ReadingView::boardAvailable(bool available)
{
    if (!available && !away_)
        history_.addBreak(QDateTime::currentMSecsSinceEpoch());
    away_ = !available;
    markAllRows();
    chart_.scheduleReplot();
}

void ReadingView::roundFinished(const QDateTime& start)
{
    lastRound_ = start;
    // A sensor read before but not in this round has stopped answering: marked, not frozen.
    markAllRows();
    updateRows();
}

void ReadingView::alarmChanged(const AlarmEvent& event)
{
    if (!isSensor(event.sensor))
        return;
    activeAlarms_.at(slotOf(event.sensor)).set(static_cast<std::size_t>(event.kind), event.raised);
    markRow(event.sensor);
    if (!event.raised || !notifying_)
        return;
    const QString when =
        event.time.isValid() ? shownTime(event.time.toMSecsSinceEpoch()) : QStringLiteral("—");
    const QString value =
        event.celsius ? tr("%1 °C at %2").arg(shownCelsius(*event.celsius), when) : tr("at %1").arg(when);
    notifier_.notify(tr("Alarm on %1").arg(sensorLabel(event.sensor, event.name)),
                     tr("%1 — %2").arg(alarmText(event.sensor, event.kind), value));
}

void ReadingView::setLimits(const QMap<int, SensorProfile>& limits)
{
    limits_ = limits;
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor)
        showLimits(sensor);
}

void ReadingView::setPublishedLimits(int sensor, const SensorProfile& limits)
{
    if (!isSensor(sensor))
        return;
    publishedLimits_.insert(sensor, limits);
    showLimits(sensor);
}

void ReadingView::showLimits(int sensor)
{
    const SensorProfile limits = this->limits(sensor);
    chart_.setLimits(sensor, limits.low, limits.high);
    markRow(sensor);
}

SensorProfile ReadingView::limits(int sensor) const
{
    const SensorProfile own = limits_.value(sensor);
    return own.low || own.high ? own : publishedLimits_.value(sensor, own);
}

void ReadingView::rename(int sensor, const QString& name)
{
    if (!isSensor(sensor))
        return;
    history_.rename(sensor, name);
    markRow(sensor);
}

void ReadingView::showSensor(int sensor)
{
    shown_.set(slotOf(sensor));
    chart_.showSensor(sensor, history_.stats().at(sensor).name);
    if (!table_.show(sensor))
        return;
    markRow(sensor);
    // Every sensor's row in sight when the window allows, the rest for the chart.
    const QList<int> sizes = splitter_.sizes();
    const int shared = sizes.value(0) + sizes.value(1);
    if (shared <= 0)
        return;
    const int height = std::min(table_.wholeHeight(), shared * kMostTablePercent / 100);
    splitter_.setSizes({shared - height, height});
}

void ReadingView::refresh()
{
    chart_.replot();
    markAllRows();
    updateRows();
}

void ReadingView::markRow(int sensor)
{
    dirtyRows_.set(slotOf(sensor));
    if (!rowsTimer_.isActive())
        rowsTimer_.start();
}

void ReadingView::markAllRows()
{
    dirtyRows_.set();
    if (!rowsTimer_.isActive())
        rowsTimer_.start();
}

void ReadingView::updateRows()
{
    rowsTimer_.stop();
    dirtyRows_ |= history_.takeChanged();
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        if (!dirtyRows_.test(slotOf(sensor)))
            continue;
        const SensorStats::Sensor& stats = history_.stats().at(sensor);
        if (stats.seen())
            chart_.showSensor(sensor, stats.name); // under its name, once it has one
        const bool missing = live_ && stats.seen() &&
                             (away_ || (lastRound_.isValid() && stats.roundMs > 0 &&
                                        stats.roundMs < lastRound_.toMSecsSinceEpoch()));
        table_.update(sensor, stats, missing, alarmText(sensor));
    }
    dirtyRows_.reset();
    emit rowsUpdated();
}

QString ReadingView::alarmText(int sensor, std::optional<AlarmKind> only) const
{
    const auto& active = activeAlarms_.at(slotOf(sensor));
    const SensorProfile limits = this->limits(sensor);
    QStringList named;
    for (const AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Lost}) {
        if (only ? kind != *only : !active.test(static_cast<std::size_t>(kind)))
            continue;
        switch (kind) {
        case AlarmKind::High:
            named << (limits.high ? tr("high: above %1 °C").arg(shownCelsius(*limits.high))
                                  : tr("high: above the limit"));
            break;
        case AlarmKind::Low:
            named << (limits.low ? tr("low: below %1 °C").arg(shownCelsius(*limits.low))
                                 : tr("low: below the limit"));
            break;
        case AlarmKind::Lost:
            named << tr("lost: no value");
            break;
        }
    }
    return named.join(QStringLiteral("; "));
}

} // namespace calimbra
