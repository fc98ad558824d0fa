// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

namespace calimbra::cli {

// Tells systemd how the service is (Type=notify): ready once it runs, a status line, stopping; and
// the watchdog's keep-alive from the event loop, so a loop that hangs is restarted. Outside systemd
// (no NOTIFY_SOCKET) it does nothing.
class ServiceManager : public QObject
{
    Q_OBJECT

public:
    explicit ServiceManager(QObject* parent = nullptr);

    void ready(const QString& status);
    void status(const QString& status);
    void stopping();

private:
    QTimer watchdog_;
};

} // namespace calimbra::cli
