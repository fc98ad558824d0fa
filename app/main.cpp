#include "CalimbraUnit1.h"
#include "ErrorHandler.h"
#include "Fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdlib>

namespace {

void parseCommandLine(QCommandLineParser& parser, const QCommandLineOption& port)
{
    parser.setApplicationDescription(QApplication::translate(
        "main", "Control panel for the Calimbra measuring board: switches its two LEDs, "
                "shows how many 1-Wire temperature sensors are active and reads their "
                "temperatures over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(port);
    parser.process(*qApp);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("calimbra"));
    QApplication::setApplicationDisplayName(QStringLiteral("Calimbra"));
    QApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("calimbra"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/calimbra.png")));

    QCommandLineParser parser;
    const QCommandLineOption port(
        QStringLiteral("port"),
        QApplication::translate("main",
                                "Serial port to use for this run instead of COM1 (/dev/ttyS0): a device "
                                "such as /dev/ttyUSB0, or the path the simulated board prints."),
        QApplication::translate("main", "name"));
    parseCommandLine(parser, port);

    calimbra::installFontSubstitutes();
    try {
        TForm1 Form1;
        if (parser.isSet(port))
            Form1.usePort(parser.value(port));
        Form1.show();
        return QApplication::exec();
    } catch (...) {
        calimbra::ErrorHandler::instance().handle(std::current_exception());
        return EXIT_FAILURE;
    }
}
