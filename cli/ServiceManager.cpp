// SPDX-License-Identifier: MIT
#include "ServiceManager.h"

#include <systemd/sd-daemon.h>

#include <chrono>

namespace calimbra::cli {
namespace {

void notify(const QByteArray& state)
{
    sd_notify(0, state.constData());
}

QByteArray statusLine(const QString& status)
{
    // One line: systemctl shows it as it is.
    return "STATUS=" + QString(status).replace(u'\n', u' ').toUtf8();
}

} // namespace

ServiceManager::ServiceManager(QObject* parent) : QObject(parent)
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        // Twice per period, as sd_watchdog_enabled(3) advises.
        watchdog_.setInterval(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::microseconds{usec / 2}));
        connect(&watchdog_, &QTimer::timeout, this, [] { notify("WATCHDOG=1"); });
        watchdog_.start();
    }
}

void ServiceManager::ready(const QString& status)
{
    notify("READY=1\n" + statusLine(status));
}

void ServiceManager::status(const QString& status)
{
    notify(statusLine(status));
}

void ServiceManager::stopping()
{
    watchdog_.stop();
    notify("STOPPING=1");
}

} // namespace calimbra::cli
