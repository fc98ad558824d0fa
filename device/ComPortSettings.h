// SPDX-License-Identifier: MIT
#pragma once

#include <QSerialPort>
#include <QString>

namespace calimbra {

// The line settings of the panel's port; changed in the setup dialog for the current run only.
struct ComPortSettings
{
    QString portName = QStringLiteral("COM1");
    qint32 baudRate = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;

    friend bool operator==(const ComPortSettings&, const ComPortSettings&) = default;
};

} // namespace calimbra
