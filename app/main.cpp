#include "CalimbraUnit1.h"
#include "ErrorHandler.h"
#include "Fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdlib>

namespace {

// --help and --version answer without a display, as in a terminal over ssh.
bool onlyAsksForText(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (word == "-h" || word == "--help" || word == "--help-all" || word == "-v" || word == "--version")
            return true;
    }
    return false;
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
    const QCommandLineOption port = portOption();
    if (onlyAsksForText(argc, argv)) {
        const QCoreApplication text(argc, argv);
        parseCommandLine(parser, port); // prints and exits
    }

    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Calimbra"));
    QApplication::setDesktopFileName(QStringLiteral("calimbra"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/calimbra.png")));
    parseCommandLine(parser, port);

    calimbra::installFontSubstitutes();
    try {
        TForm1 Form1;
        if (parser.isSet(port))
            Form1.usePort(parser.value(port));
        Form1.show();
        return QApplication::exec();
    } catch (...) {
        // Start-up failed: shown like any other error, and reported to the shell as a failure.
        calimbra::ErrorHandler::instance().handle(std::current_exception());
        return EXIT_FAILURE;
    }
}
