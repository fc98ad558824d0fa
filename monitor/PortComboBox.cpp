// SPDX-License-Identifier: MIT
#include "PortComboBox.h"

#include <QSerialPortInfo>

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

} // namespace calimbra
