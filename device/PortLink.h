// SPDX-License-Identifier: MIT
#pragma once

#include "PortIo.h"

#include <QObject>

namespace calimbra {

// What a conversation with the board needs of a serial port: the calls of PortIo, and word of
// arrivals and of a failed line. The real port and the test doubles both implement it, so the
// conversation and the sampling session can be tried without a terminal.
class PortLink : public QObject, public PortIo
{
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    // Bytes are waiting and the line has gone quiet after them (or has not paused for a long while).
    void arrived();
    // The line failed while open (device unplugged, other side hung up). The port has already been
    // closed; raised once, from the event loop.
    void lineFailed(const QString& message);
};

} // namespace calimbra
