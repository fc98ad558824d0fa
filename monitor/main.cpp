// SPDX-License-Identifier: MIT
#include "MonitorWindow.h"
#include "Translations.h"
#include "UnixSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts when it cannot reach a display; one plain line says why instead.
bool displayIsMissing()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool needsDisplay =
        platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    return needsDisplay && qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("calimbra"));
    QCoreApplication::setApplicationName(QStringLiteral("calimbra-monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
    QCommandLineParser parser;
    const QCommandLineOption port(
        QStringLiteral("port"),
        QCoreApplication::translate("calimbra-monitor",
                                    "Serial port to use instead of the one remembered from the last run."),
        QCoreApplication::translate("calimbra-monitor", "name"));
    {
        const QCoreApplication text(argc, argv);
        calimbra::installTranslations();
        parser.setApplicationDescription(QCoreApplication::translate(
            "calimbra-monitor",
            "Live chart of the Calimbra board's temperature sensors, with a CSV record of every reading."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(port);
        parser.process(text);
        if (displayIsMissing()) {
            std::fprintf(
                stderr, "%s\n",
                qPrintable(QCoreApplication::translate(
                    "calimbra-monitor", "calimbra-monitor: no display could be opened; set DISPLAY or "
                                        "WAYLAND_DISPLAY, or run it from a desktop session.")));
            return EXIT_FAILURE;
        }
    }

    QApplication app(argc, argv);
    calimbra::installTranslations();
    QApplication::setDesktopFileName(QStringLiteral("io.github.calimbra.monitor"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/calimbra-monitor.svg")));
    calimbra::MonitorWindow window;
    if (parser.isSet(port))
        window.usePort(parser.value(port));
    window.show();
    int signalled = 0;
    const calimbra::UnixSignalWatcher stopSignals{SIGINT, SIGTERM, SIGHUP};
    QObject::connect(&stopSignals, &calimbra::UnixSignalWatcher::received, &app, [&](int number) {
        signalled = number;
        window.close();
    });
    const int status = QApplication::exec();
    return signalled != 0 ? calimbra::UnixSignalWatcher::exitStatus(signalled) : status;
}
