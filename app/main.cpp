// SPDX-License-Identifier: MIT
#include "CalimbraUnit1.h"
#include "ErrorHandler.h"
#include "Fonts.h"
#include "Translations.h"
#include "UnixSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

void reportNoDisplay()
{
    std::fputs(qPrintable(QCoreApplication::translate(
                   "main", "calimbra: no display could be opened; run it in a desktop session, or set "
                           "DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) to a display you may use.\n")),
               stderr);
}

// Qt's own answer to a missing display is an abort that advises reinstalling; an operator on a
// terminal without a desktop needs to hear what is missing instead.
bool displayIsMissing(const QCommandLineParser& parser)
{
    const QByteArray platforms = parser.isSet(QStringLiteral("platform"))
                                     ? parser.value(QStringLiteral("platform")).toLocal8Bit()
                                     : qgetenv("QT_QPA_PLATFORM");
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        // Platforms such as offscreen or vnc need neither.
        for (const QByteArray& platform : (platforms.isEmpty() ? QByteArray("xcb") : platforms).split(';')) {
            if (!platform.startsWith("xcb") && !platform.startsWith("wayland"))
                return false;
        }
        return true;
    }
    return false;
}

// A display that is named but cannot be reached ends in a fatal message, advising a reinstall,
// while the application starts; this says instead what is missing.
void explainFatalStart(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        std::fputs(qPrintable(qFormatLogMessage(type, context, message) + u'\n'), stderr);
        return;
    }
    reportNoDisplay();
    std::_Exit(EXIT_FAILURE);
}

void describeApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("calimbra"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
}

void parseCommandLine(QCommandLineParser& parser, const QCommandLineOption& port)
{
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Control panel for the Calimbra measuring board: switches its two LEDs, "
                "shows how many 1-Wire temperature sensors are active and reads their "
                "temperatures over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(port);
    // The options every Qt program takes are read by QApplication; known here so they are not
    // mistaken for typing errors.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet", "session",
          "display", "geometry", "qwindowgeometry", "qwindowicon", "qwindowtitle"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    parser.process(*QCoreApplication::instance());
}

QCommandLineOption portOption()
{
    return QCommandLineOption(
        QStringLiteral("port"),
        QCoreApplication::translate("main",
                                    "Serial port to use for this run instead of COM1 (/dev/ttyS0): a device "
                                    "such as /dev/ttyUSB0, or the path the simulated board prints."),
        QCoreApplication::translate("main", "name"));
}

} // namespace

int main(int argc, char* argv[])
{
    describeApplication();
    QCommandLineParser parser;
    QCommandLineOption port(QStringLiteral("port"));
    {
        // The command line is judged without a display: --help, --version and a mistyped option
        // answer in a terminal over ssh too.
        const QCoreApplication text(argc, argv);
        calimbra::installTranslations();
        port = portOption();            // its help in the user's language
        parseCommandLine(parser, port); // prints and exits for those
        if (displayIsMissing(parser)) {
            reportNoDisplay();
            return EXIT_FAILURE;
        }
    }

    const QtMessageHandler previousHandler = qInstallMessageHandler(explainFatalStart);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    calimbra::installTranslations();
    // The layout was fitted to Fusion; other styles draw its controls larger than their boxes.
    QApplication::setStyle(QStringLiteral("Fusion"));
    // No application display name: X11 window managers would show it after the window's own title.
    QApplication::setDesktopFileName(QStringLiteral("io.github.calimbra.calimbra"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/calimbra.png")));

    calimbra::installFontSubstitutes();
    try {
        TForm1 Form1;
        if (parser.isSet(port))
            Form1.usePort(parser.value(port));
        Form1.show();
        // Ended from outside: the window still closes the port, so no lock or exclusive hold is left.
        int signalled = 0;
        const calimbra::UnixSignalWatcher stopSignals{SIGINT, SIGTERM, SIGHUP};
        QObject::connect(&stopSignals, &calimbra::UnixSignalWatcher::received, &app,
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
