// SPDX-License-Identifier: MIT
#pragma once

namespace calimbra {

// The forms a log of readings is written in.
enum class LogFormat {
    Csv,       // RFC 4180 quoting: time, sensor, celsius, reply, name
    JsonLines, // one JSON object a line
    Influx,    // InfluxDB line protocol, for Telegraf's exec input and time-series stores
};

} // namespace calimbra
