// SPDX-License-Identifier: MIT
#include "SensorTable.h"

#include "TemperatureChart.h"
#include "Text.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QTableWidget>

#include <algorithm>
#include <array>

namespace calimbra {
namespace {

constexpr int kRowPadding = 8;      // pixels above and below a row's text
constexpr int kDarkerInAlarm = 150; // percent: a sensor's colour on the alarm's red

enum Column {
    SensorColumn,
    LastColumn,
    ReplyColumn,
    MinColumn,
    MaxColumn,
    MeanColumn,
    TimeColumn,
    AlarmColumn
};

// Dark text on a light red, readable whatever the desktop's colours.
const QColor kAlarmBackground(0xf6, 0xc1, 0xc1);
const QColor kAlarmText(0x20, 0x00, 0x00);

} // namespace

QString shownTime(qint64 ms)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms);
    return time.date() == QDate::currentDate() ? time.toString(QStringLiteral("HH:mm:ss"))
                                               : QLocale().toString(time, QStringLiteral("dd/MM HH:mm:ss"));
}

QString shownCelsius(double value)
{
    return QLocale().toString(value, 'f', 2);
}

SensorTable::SensorTable(QTableWidget& table) : table_(table)
{
    QHeaderView* header = table_.horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(ReplyColumn, QHeaderView::Stretch);
    table_.verticalHeader()->setDefaultSectionSize(table_.fontMetrics().lineSpacing() + kRowPadding);
}

void SensorTable::clear()
{
    sensors_.clear();
    table_.setRowCount(0);
}

bool SensorTable::show(int sensor)
{
    if (rowOf(sensor) >= 0)
        return false;
    const auto at = std::lower_bound(sensors_.begin(), sensors_.end(), sensor);
    const int row = static_cast<int>(at - sensors_.begin());
    sensors_.insert(at, sensor);
    table_.insertRow(row);
    for (int column = 0; column < table_.columnCount(); ++column)
        table_.setItem(row, column, new QTableWidgetItem);
    table_.item(row, SensorColumn)->setText(QStringLiteral("S%1").arg(sensor));
    table_.item(row, SensorColumn)->setForeground(sensorColour(sensor));
    for (const int column : {LastColumn, MinColumn, MaxColumn, MeanColumn})
        table_.item(row, column)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return true;
}

void SensorTable::update(int sensor, const SensorStats::Sensor& stats, bool missing, const QString& alarms)
{
    const int row = rowOf(sensor);
    if (row < 0)
        return;
    QString last;
    if (stats.celsius) {
        last = shownCelsius(*stats.celsius);
    } else if (stats.seen()) {
        switch (stats.error.value_or(stats.reply.isEmpty() ? ReadError::Timeout : ReadError::NoValue)) {
        case ReadError::Timeout:
            last = tr("no reply");
            break;
        case ReadError::Garbled:
            last = tr("garbled");
            break;
        case ReadError::NoValue:
            last = tr("no value");
            break;
        case ReadError::PowerOn:
            last = tr("85 °C at power-on");
            break;
        case ReadError::Disconnected:
            last = tr("disconnected");
            break;
        case ReadError::PortUnavailable:
            last = tr("port not open");
            break;
        case ReadError::LineLost:
            last = tr("line lost");
            break;
        case ReadError::NoReply:
            last = tr("board not answering");
            break;
        }
    }
    const auto mean = stats.mean();
    const bool faint = missing || (stats.seen() && !stats.celsius);
    const bool alarmed = !alarms.isEmpty();
    const std::array<QString, AlarmColumn + 1> cells = {
        stats.name.isEmpty() ? QStringLiteral("S%1").arg(sensor)
                             : QStringLiteral("S%1 %2").arg(sensor).arg(stats.name),
        last,
        stats.reply.isEmpty() && stats.seen() ? tr("(no reply)") : printable(stats.reply),
        stats.values ? shownCelsius(stats.min) : QString(),
        stats.values ? shownCelsius(stats.max) : QString(),
        mean ? shownCelsius(*mean) : QString(),
        !stats.seen() ? QString()
        : missing     ? tr("%1 — not answering").arg(shownTime(stats.ms))
                      : shownTime(stats.ms),
        alarms,
    };
    const QBrush background = alarmed ? QBrush(kAlarmBackground) : QBrush();
    // Each change of a cell lays out the table's columns again: only what changed is set.
    for (int column = SensorColumn; column <= AlarmColumn; ++column) {
        QTableWidgetItem* item = table_.item(row, column);
        const QString& text = cells.at(static_cast<std::size_t>(column));
        if (item->text() != text)
            item->setText(text);
        if (item->background() != background)
            item->setBackground(background);
        QFont font = item->font();
        QColor colour;
        if (column == SensorColumn) {
            font.setBold(alarmed);
            colour = alarmed ? sensorColour(sensor).darker(kDarkerInAlarm) : sensorColour(sensor);
        } else {
            font.setItalic(faint && column != AlarmColumn);
            font.setBold(alarmed && column == AlarmColumn);
            colour = alarmed ? kAlarmText
                     : faint ? table_.palette().color(QPalette::Disabled, QPalette::Text)
                             : table_.palette().color(QPalette::Text);
        }
        if (item->font() != font)
            item->setFont(font);
        if (item->foreground().color() != colour)
            item->setForeground(colour);
    }
}

int SensorTable::wholeHeight() const
{
    return table_.horizontalHeader()->height() + 2 * table_.frameWidth() +
           table_.rowCount() * table_.verticalHeader()->defaultSectionSize();
}

} // namespace calimbra
