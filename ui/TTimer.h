// SPDX-License-Identifier: MIT
#pragma once

#include <QTimer>

// A repeating timer that the layout can switch on, as it does the clock.
class TTimer : public QTimer
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isActive WRITE setEnabled)

public:
    explicit TTimer(QObject* parent = nullptr) : QTimer(parent) {}

    void setEnabled(bool enabled)
    {
        if (enabled)
            start();
        else
            stop();
    }
};
