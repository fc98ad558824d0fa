// SPDX-License-Identifier: MIT
#pragma once

#include "ComPortSettings.h"
#include "Settings.h"

#include <QByteArray>
#include <QString>

namespace calimbra {

// What the monitor remembers from one run to the next (~/.config/calimbra/calimbra-monitor.conf):
// its source, the port and its line, the interval and sensors, the broker (never its password) and
// board, the board's file, the span shown, the last folder and the window's place.
struct MonitorSettings
{
    ComPortSettings line;
    bool portRemembered = false;
    int intervalSeconds = 10;
    QString sensors;
    bool broker = false; // the broker, not the port, is the source
    QString brokerUrl;
    QString board;
    QString boardFile;
    int spanSeconds = 10 * 60; // 0: everything
    QString lastFolder;
    QByteArray geometry;
    // This user's monitor, to the broker: its sessions are kept under it (see BrokerSource).
    QString monitorId;

    [[nodiscard]] static MonitorSettings load();
    // What a board's file says of the port, its line, the interval, the sensors, the broker and the
    // board, over what was remembered.
    void take(const Settings& file);
    void save() const;
};

} // namespace calimbra
