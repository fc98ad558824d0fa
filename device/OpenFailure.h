#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace calimbra {

// Qt reports a port held by another program and a device the user may not open with the same
// error, so the cause is told apart from what the file system shows.
struct LockOwner
{
    qint64 pid = 0;
    QString program;
};

struct DeviceFacts
{
    bool exists = false;
    bool accessible = true; // this user may read and write the node
    QString group;          // the group that owns the node
    std::optional<LockOwner> lockOwner;
};

[[nodiscard]] DeviceFacts inspectDevice(const QString& path);

[[nodiscard]] QString openFailureMessage(const QString& portName, const QString& path,
                                         QSerialPort::SerialPortError error, const QString& systemText,
                                         const DeviceFacts& facts);

} // namespace calimbra
