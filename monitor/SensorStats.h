// SPDX-License-Identifier: MIT
#pragma once

#include "BoardProtocol.h"
#include "Reading.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace calimbra {

// What the table says of each sensor: its latest reading (value or why there is none, reply, time)
// and the lowest, highest and mean of every value it gave.
class SensorStats
{
public:
    struct Sensor
    {
        qint64 readings = 0; // with or without a value
        qint64 values = 0;
        double min = 0;
        double max = 0;
        double sum = 0;

        // The latest reading by its time: one read back out of order does not replace it.
        qint64 ms = 0;
        qint64 roundMs = 0; // 0 when the round is not known (a log in CSV)
        std::optional<double> celsius;
        std::optional<ReadError> error;
        QString reply;
        QString name;

        [[nodiscard]] bool seen() const { return readings > 0; }
        [[nodiscard]] std::optional<double> mean() const
        {
            return values > 0 ? std::optional<double>(sum / static_cast<double>(values)) : std::nullopt;
        }
    };

    void clear() { sensors_ = {}; }
    void take(const Reading& reading);
    void take(int sensor, qint64 ms, std::optional<double> celsius, std::optional<ReadError> error,
              const QString& reply, const QString& name, qint64 roundMs = 0);

    // The sensor is called so from now on, or by its number alone when the name is empty.
    void setName(int sensor, const QString& name)
    {
        sensors_.at(static_cast<std::size_t>(sensor - 1)).name = name;
    }

    [[nodiscard]] const Sensor& at(int sensor) const
    {
        return sensors_.at(static_cast<std::size_t>(sensor - 1));
    }
    // The sensors that gave a reading, in order.
    [[nodiscard]] QList<int> seen() const;

private:
    std::array<Sensor, board::kMaxSensors> sensors_;
};

} // namespace calimbra
