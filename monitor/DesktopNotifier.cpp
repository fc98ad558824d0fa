// SPDX-License-Identifier: MIT
#include "DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace calimbra {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr uchar kCritical = 2; // the urgency an alarm has: it stays until it is seen
constexpr int kServerDefaultTimeout = -1;

// Looked for before the bus is asked, so that no bus is started for a program without one.
bool sessionBusExpected()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

DesktopNotifier::DesktopNotifier(QString application, QObject* parent)
    : QObject(parent), application_(std::move(application))
{}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    if (busFailed_ || !sessionBusExpected() || !QDBusConnection::sessionBus().isConnected()) {
        showInTray(summary, body);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(kCritical)},
                            {QStringLiteral("desktop-entry"), QStringLiteral("io.github.calimbra.monitor")}};
    call << application_ << 0U << QStringLiteral("calimbra-monitor") << summary << body << QStringList()
         << hints << kServerDefaultTimeout;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, body] {
        watcher->deleteLater();
        if (!watcher->isError())
            return;
        // No notification service on this bus: the tray from now on.
        busFailed_ = true;
        showInTray(summary, body);
    });
}

void DesktopNotifier::showInTray(const QString& summary, const QString& body)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!tray_) {
        tray_ = std::make_unique<QSystemTrayIcon>(QApplication::windowIcon());
        tray_->setToolTip(application_);
        tray_->show();
    }
    tray_->showMessage(summary, body, QSystemTrayIcon::Warning);
}

} // namespace calimbra
