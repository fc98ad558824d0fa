// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace calimbra {

// Where a port name leads on this system. On Linux "COM1".."COMn" stand for /dev/ttyS0..ttyS(n-1),
// a bare name such as "ttyUSB0" lives under /dev, and any path is taken as it is. On Windows names
// stay native.
[[nodiscard]] QString systemLocation(const QString& portName);

// The port name as a message can show it: control characters escaped, a long name shortened.
[[nodiscard]] QString printablePortName(const QString& portName);

// The name under /dev/serial/by-id that udev keeps for a device, whichever ttyUSBn it gets today;
// empty when it has none.
[[nodiscard]] QString stableName(const QString& systemLocation);

// Throws ComError when the name cannot be a port: empty, absurdly long, or holding control characters.
void checkPortName(const QString& portName);

} // namespace calimbra
