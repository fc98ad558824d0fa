// SPDX-License-Identifier: MIT
#include "PortComboBox.h"

#include "PortName.h"

#include <QSerialPortInfo>
#include <QTimer>

namespace calimbra {

void PortComboBox::showPopup()
{
    const QString typed = currentText();
    clear();
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        addItem(info.systemLocation(), info.description());
    setEditText(typed);
    QComboBox::showPopup();
}

void PortComboBox::chooseSoleAdapterSoon()
{
    QTimer::singleShot(kLookForAdapter, this, [this, typed = currentText()] {
        if (currentText() != typed || !isEnabled())
            return;
        if (const QString sole = soleUsbAdapter(); !sole.isEmpty())
            setEditText(sole);
    });
}

QString PortComboBox::soleUsbAdapter()
{
    QString sole;
    int found = 0;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (!info.hasVendorIdentifier())
            continue;
        ++found;
        sole = stableName(info.systemLocation());
        if (sole.isEmpty())
            sole = info.systemLocation();
    }
    return found == 1 ? sole : QString();
}

} // namespace calimbra
