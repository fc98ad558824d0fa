// SPDX-License-Identifier: MIT
#include "Profile.h"

#include "Celsius.h"

#include <cmath>
#include <limits>

namespace calimbra {

void BoardProfile::apply(Reading& reading)
{
    const SensorProfile profile = sensor(reading.sensor);
    reading.name = profile.name;
    if (!reading.celsius)
        return;
    const double raw = *reading.celsius;
    // The jump to 85.0 is judged against the board's previous value; none counts as a jump.
    double jump = std::numeric_limits<double>::infinity();
    if (reading.sensor >= 1 && reading.sensor <= board::kMaxSensors) {
        std::optional<double>& previous = previous_[static_cast<std::size_t>(reading.sensor - 1)];
        if (previous)
            jump = std::abs(raw - *previous);
        previous = raw;
    }

    if (profile.faultValues) {
        if (std::abs(raw - kDisconnectedValue) <= kFaultTolerance) {
            reading.celsius.reset();
            reading.error = ReadError::Disconnected;
            return;
        }
        // A DS18B20 read before its first conversion says 85.0; a sensor that got there by warming up
        // was close to it the round before.
        if (std::abs(raw - kPowerOnValue) <= kFaultTolerance && jump > kPowerOnJump) {
            reading.celsius.reset();
            reading.error = ReadError::PowerOn;
            return;
        }
    }
    reading.celsius = withOffset(raw, reading.decimals, profile.offset);
}

} // namespace calimbra
