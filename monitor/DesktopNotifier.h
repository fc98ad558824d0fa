// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSystemTrayIcon;

namespace calimbra {

// Tells the desktop, outside the window: through the freedesktop notification service on the
// session bus where one answers, else as a message of a tray icon, else not at all (a bare X
// server, a test) and without complaint, since the window shows the same.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    // `application`: the program's name, as the desktop shows it beside each notification.
    explicit DesktopNotifier(QString application, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    void notify(const QString& summary, const QString& body);

private:
    void showInTray(const QString& summary, const QString& body);

    QString application_;
    bool busFailed_ = false;
    std::unique_ptr<QSystemTrayIcon> tray_;
};

} // namespace calimbra
