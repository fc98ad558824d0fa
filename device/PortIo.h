// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <span>

namespace calimbra {

// What the protocol needs of a serial port. The real component and the test doubles both
// implement it, so every test runs the protocol code that ships.
class PortIo
{
public:
    virtual ~PortIo() = default;

    // Opening an open port leaves it open.
    virtual void Open() = 0;
    // Closing a closed port does nothing.
    virtual void Close() = 0;
    virtual void ClearBuffer(bool input, bool output) = 0;
    [[nodiscard]] virtual qint64 InputCount() = 0;
    // Reads at most into.size() bytes; never asked for more than InputCount() reported.
    virtual qint64 Read(std::span<char> into) = 0;
    // The bytes reach the line even when Close() follows at once.
    virtual qint64 Write(QByteArrayView bytes) = 0;

protected:
    PortIo() = default;
    PortIo(const PortIo&) = default;
    PortIo& operator=(const PortIo&) = default;
};

} // namespace calimbra
