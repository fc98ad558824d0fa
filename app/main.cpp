// SPDX-License-Identifier: MIT
#include "CalimbraUnit1.h"
#include "ErrorHandler.h"
#include "Fonts.h"
#include "GuiStart.h"
#include "Text.h"
#include "UnixSignals.h"

#include <QApplication>
#include <QIcon>

#include <csignal>
#include <cstdlib>

namespace calimbra {
namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        tr("Control panel for the Calimbra measuring board: switches its two LEDs, "
           "shows how many 1-Wire temperature sensors are active and reads their "
           "temperatures over a serial line."));
    parser.addOption(QCommandLineOption(QStringLiteral("port"),
                                        tr("Serial port to use for this run instead of COM1 (/dev/ttyS0): a "
                                           "device such as /dev/ttyUSB0, or the path the simulated board "
                                           "prints."),
                                        tr("name")));
}

} // namespace
} // namespace calimbra

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("calimbra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
    calimbra::GuiStart start(QStringLiteral("calimbra"), calimbra::describe);
    if (const auto status = start.judgeCommandLine(argc, argv))
        return *status;
    const auto app = start.application(argc, argv, QStringLiteral("io.github.calimbra.calimbra"));
    // The layout was fitted to Fusion; other styles draw its controls larger than their boxes.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/calimbra.png")));

    calimbra::installFontSubstitutes();
    try {
        TForm1 Form1;
        if (start.options().isSet(QStringLiteral("port")))
            Form1.usePort(start.options().value(QStringLiteral("port")));
        Form1.show();
        // Ended from outside: the window still closes the port, so no lock or exclusive hold is left.
        int signalled = 0;
        const calimbra::UnixSignalWatcher stopSignals{SIGINT, SIGTERM, SIGHUP};
        QObject::connect(&stopSignals, &calimbra::UnixSignalWatcher::received, app.get(),
                         [&signalled](int number) {
                             signalled = number;
                             QApplication::quit();
                         });
        const int status = QApplication::exec();
        return signalled != 0 ? calimbra::UnixSignalWatcher::exitStatus(signalled) : status;
    } catch (...) {
        // Start-up failed: shown like any other error, and reported to the shell as a failure.
        calimbra::ErrorHandler::instance().handle(std::current_exception());
        return EXIT_FAILURE;
    }
}
