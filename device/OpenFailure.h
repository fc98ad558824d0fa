// SPDX-License-Identifier: MIT
#pragma once

#include "PortLock.h"

#include <QSerialPort>
#include <QString>

#include <optional>

namespace calimbra {

// Qt reports a port held by another program and a device the user may not open with the same
// error, so the cause is told apart from what the file system shows.
struct DeviceFacts
{
    bool exists = false;
    bool accessible = true; // this user may read and write the node
    QString owner;          // the user that owns the node
    QString group;          // the group that owns the node
    bool groupMayReadWrite = true;
    std::optional<LockOwner> lockOwner;
};

// Joining a group is advice worth giving only for a group that exists to share devices: one that
// may read and write the node and is not an administrators' group.
[[nodiscard]] bool isDeviceGroup(const DeviceFacts& facts);

// Longer lock names than a file system takes make Qt report the port as in use.
[[nodiscard]] bool lockNameTooLong(const QString& path);
[[nodiscard]] QString lockNameTooLongMessage(const QString& portName, const QString& path);

[[nodiscard]] DeviceFacts inspectDevice(const QString& path);

[[nodiscard]] QString openFailureMessage(const QString& portName, const QString& path,
                                         QSerialPort::SerialPortError error, const QString& systemText,
                                         const DeviceFacts& facts);

} // namespace calimbra
