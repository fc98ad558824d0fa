// SPDX-License-Identifier: MIT
#pragma once

#include "SensorStats.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

class QTableWidget;

namespace calimbra {

// A time of a reading as the monitor shows it: the clock time today, the date too otherwise.
[[nodiscard]] QString shownTime(qint64 ms);
[[nodiscard]] QString shownCelsius(double value);

// The summary table: a row for each sensor read (or chosen), in the sensors' order, with its latest
// reading (or why it has none), its lowest, highest and mean value, the time of its latest reading
// and its alarms, the row red while it has one. The reply takes the width the numbers leave.
class SensorTable
{
    Q_DECLARE_TR_FUNCTIONS(calimbra::SensorTable)

public:
    explicit SensorTable(QTableWidget& table);

    void clear();
    // A row for the sensor, unless it has one; true when one was added.
    bool show(int sensor);
    // `missing`: the sensor was read before but not in the last round, or the board is not answering.
    // `alarms`: the alarms active, named; empty when none is.
    void update(int sensor, const SensorStats::Sensor& stats, bool missing, const QString& alarms = {});
    // The height that shows every row.
    [[nodiscard]] int wholeHeight() const;

private:
    [[nodiscard]] int rowOf(int sensor) const { return static_cast<int>(sensors_.indexOf(sensor)); }

    QTableWidget& table_;
    QList<int> sensors_; // the sensor of each row
};

} // namespace calimbra
