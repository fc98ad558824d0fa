// SPDX-License-Identifier: MIT
#include "SensorStats.h"

#include <algorithm>

namespace calimbra {

void SensorStats::take(const Reading& reading)
{
    take(reading.sensor, reading.time.toMSecsSinceEpoch(), reading.celsius, reading.error, reading.text,
         reading.name, reading.roundStart.isValid() ? reading.roundStart.toMSecsSinceEpoch() : 0);
}

void SensorStats::take(int sensor, qint64 ms, std::optional<double> celsius, std::optional<ReadError> error,
                       const QString& reply, const QString& name, qint64 roundMs)
{
    Sensor& s = sensors_.at(static_cast<std::size_t>(sensor - 1));
    if (celsius) {
        s.min = s.values == 0 ? *celsius : std::min(s.min, *celsius);
        s.max = s.values == 0 ? *celsius : std::max(s.max, *celsius);
        s.sum += *celsius;
        ++s.values;
    }
    if (s.readings++ > 0 && ms < s.ms)
        return;
    s.ms = ms;
    s.roundMs = roundMs;
    s.celsius = celsius;
    s.error = celsius ? std::nullopt : error;
    s.reply = reply;
    if (!name.isEmpty() || s.name.isEmpty())
        s.name = name;
}

QList<int> SensorStats::seen() const
{
    QList<int> sensors;
    for (int sensor = 1; sensor <= board::kMaxSensors; ++sensor) {
        if (at(sensor).seen())
            sensors << sensor;
    }
    return sensors;
}

} // namespace calimbra
