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

constexpr int kRowPadding = 8; // pixels above and below a row's text

enum Column { SensorColumn, LastColumn, ReplyColumn, MinColumn, MaxColumn, MeanColumn, TimeColumn };

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

void SensorTable::update(int sensor, const SensorStats::Sensor& stats, bool missing)
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
        }
    }
    const auto mean = stats.mean();
    const bool faint = missing || (stats.seen() && !stats.celsius);
    const std::array<QString, TimeColumn + 1> cells = {
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
    };
    // Each change of a cell lays out the table's columns again: only what changed is set.
    for (int column = SensorColumn; column <= TimeColumn; ++column) {
        QTableWidgetItem* item = table_.item(row, column);
        const QString& text = cells.at(static_cast<std::size_t>(column));
        if (item->text() != text)
            item->setText(text);
        if (column == SensorColumn || item->font().italic() == faint)
            continue;
        QFont font = item->font();
        font.setItalic(faint);
        item->setFont(font);
        item->setForeground(faint ? table_.palette().color(QPalette::Disabled, QPalette::Text)
                                  : table_.palette().color(QPalette::Text));
    }
}

int SensorTable::wholeHeight() const
{
    return table_.horizontalHeader()->height() + 2 * table_.frameWidth() +
           table_.rowCount() * table_.verticalHeader()->defaultSectionSize();
}

} // namespace calimbra
