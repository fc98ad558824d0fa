// SPDX-License-Identifier: MIT
#pragma once

#include "BoardProtocol.h"
#include "Reading.h"

#include <QMap>
#include <QString>

#include <array>
#include <chrono>
#include <optional>

namespace calimbra {

// What the board's owner says about one sensor: what it is called, how far it reads off, and when
// its value is a reason to call someone.
struct SensorProfile
{
    static constexpr double kDefaultHysteresis = 0.5; // °C
    static constexpr int kDefaultLostAfter = 3;       // rounds
    // Characters of a name at most: enough for any label, few enough for a chart's legend, a
    // topic's message and Home Assistant's entity name.
    static constexpr int kLongestName = 64;

    QString name;                           // empty: no name
    double offset{};                        // °C added to the board's value
    std::optional<double> low;              // °C; no low alarm without it
    std::optional<double> high;             // °C; no high alarm without it
    double hysteresis = kDefaultHysteresis; // °C back inside a limit before its alarm clears
    std::chrono::milliseconds delay{0};     // "for": how long beyond a limit before its alarm is raised
    int lostAfter = kDefaultLostAfter;      // rounds in a row without a value before "lost"
    bool faultValues = true;                // 85.0 and -127.0 are the sensor's faults, not temperatures

    [[nodiscard]] bool operator==(const SensorProfile&) const = default;
};

// The profiles of a board's sensors, applied to its readings as they come. A sensor without a
// profile gets the defaults: no name, no offset, fault values recognised.
class BoardProfile
{
public:
    // The board's values are judged within this of 85.0 and -127.0.
    static constexpr double kFaultTolerance = 0.001; // °C
    // 85.0 is real when the sensor's previous value was within this of it: a rise, not a power-on.
    static constexpr double kPowerOnJump = 2.0; // °C
    static constexpr double kPowerOnValue = 85.0;
    static constexpr double kDisconnectedValue = -127.0;

    BoardProfile() = default;
    explicit BoardProfile(const QMap<int, SensorProfile>& sensors) : sensors_(sensors) {}

    // New names, offsets or limits; the sensors' previous values are kept.
    void setSensors(const QMap<int, SensorProfile>& sensors) { sensors_ = sensors; }
    [[nodiscard]] const QMap<int, SensorProfile>& sensors() const { return sensors_; }
    // The sensor's profile, or the defaults when it has none.
    [[nodiscard]] SensorProfile sensor(int sensor) const { return sensors_.value(sensor); }
    // The sensor's name, or none, without copying its profile: asked of every reading.
    [[nodiscard]] QString nameOf(int sensor) const
    {
        const auto found = sensors_.constFind(sensor);
        return found != sensors_.cend() ? found->name : QString();
    }

    // Names the reading, recognises the board's fault values (judged on the board's own value) and
    // applies the offset to the value. The reply text stays as it came.
    void apply(Reading& reading);
    // The board was away (power cut, cable pulled): its next 85.0 °C is a power-on again.
    void forgetPreviousValues() { previous_.fill(std::nullopt); }

private:
    QMap<int, SensorProfile> sensors_;
    std::array<std::optional<double>, board::kMaxSensors> previous_{}; // the board's values, uncalibrated
};

} // namespace calimbra
