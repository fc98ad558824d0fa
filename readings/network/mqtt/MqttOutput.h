// SPDX-License-Identifier: MIT
#pragma once

#include "OutputKind.h"

namespace calimbra::mqtt_output {

inline constexpr SettingKey<QString> kMqtt{"mqtt"}; // the broker's URL, as written
inline constexpr SettingKey<QString> kPasswordFile{"mqtt_password_file"};
inline constexpr SettingKey<QString> kCaFile{"mqtt_ca_file"};
inline constexpr SettingKey<bool> kDiscovery{"discovery"};
inline constexpr SettingKey<QString> kDiscoveryPrefix{"discovery_prefix"};
inline constexpr SettingKey<QString> kOutbox{"outbox"};
inline constexpr SettingKey<qint64> kOutboxLimit{"outbox_limit"};

// Readings to an MQTT broker through the outbox, with Home Assistant's discovery: its settings and
// its sink.
[[nodiscard]] const OutputKind& kind();

// The judge of a discovery prefix: a topic of its own levels, no wildcards.
[[nodiscard]] QString judgeDiscoveryPrefix(const QString& text);

} // namespace calimbra::mqtt_output
