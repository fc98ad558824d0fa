// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace calimbra {

// A board's name in MQTT topics, Home Assistant ids and metrics labels: letters, digits, '_' and
// '-', at most 64 characters.
[[nodiscard]] bool isValidBoardName(const QString& name);

// The name a board gets when none is given, from the port it is on: the stable name udev keeps
// under /dev/serial/by-id for a USB adapter (so it survives a reboot and a replug), without its
// "usb-" and "-ifNN-portN" parts; otherwise the device's own name ("ttyS0"). Characters outside the
// valid set become '_'.
[[nodiscard]] QString boardNameFromPort(const QString& portPath,
                                        const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));

} // namespace calimbra
