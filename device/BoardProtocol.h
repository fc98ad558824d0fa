// SPDX-License-Identifier: MIT
#pragma once

// The bytes the board and the panel agree on. Plain constants without Qt, so that the simulated
// board in tools/ speaks exactly the same protocol as the panel.

#include <cstddef>
#include <string_view>

namespace calimbra::board {

inline constexpr std::string_view kLedCommand = "&a";
inline constexpr std::string_view kInformationRequest = "&i";
inline constexpr std::string_view kMeasurementPrefix = "&l=";

// A sensor-count reply: 7 to 12 bytes, "N" and the degree sign at bytes 1 and 2, the count digit at byte 5.
inline constexpr std::size_t kSensorCountMinLength = 7;
inline constexpr std::size_t kSensorCountMaxLength = 12;
inline constexpr std::size_t kSensorCountMarkerAt = 1;
inline constexpr char kSensorCountMarker = 'N';
inline constexpr std::size_t kDegreeSignAt = 2;
inline constexpr unsigned char kDegreeSign = 0xB0; // "°" in Windows-1252
inline constexpr std::size_t kSensorCountDigitAt = 5;
inline constexpr int kMaxSensors = 9;

// A temperature reply: 14 bytes or more, starting with "T".
inline constexpr std::size_t kTemperatureMinLength = 14;
inline constexpr char kTemperatureMarker = 'T';

} // namespace calimbra::board
