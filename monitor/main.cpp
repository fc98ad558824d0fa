// SPDX-License-Identifier: MIT
#include "GuiStart.h"
#include "MonitorWindow.h"
#include "PortAdvice.h"
#include "Text.h"
#include "UnixSignals.h"

#include <QApplication>
#include <QIcon>

#include <csignal>

namespace calimbra {
namespace {

void describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        tr("Live chart of the Calimbra board's temperature sensors, with a CSV record of every reading; "
           "or the chart of a log written by calimbra-cli log or by the monitor, followed as it grows."));
    parser.addOption(QCommandLineOption(
        QStringLiteral("port"), tr("Serial port to use instead of the one remembered from the last run."),
        tr("name")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("config"),
        tr("The board's file: its sensors' names, offsets and alarms, and its port, baud rate, interval, "
           "sensors, broker and board. Remembered for the next runs."),
        tr("file")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("mqtt"),
        tr("Watch a board through this MQTT broker, mqtt://[user[:password]@]host[:port] or mqtts://...; "
           "the board's service publishes to it with calimbra-cli log --mqtt."),
        tr("url")));
    parser.addOption(QCommandLineOption(QStringLiteral("board"),
                                        tr("The board to watch through the broker, by the name it "
                                           "publishes under (calimbra-cli log --board)."),
                                        tr("name")));
    parser.addPositionalArgument(QStringLiteral("file"),
                                 tr("A log to show (CSV or JSON Lines) instead of reading the board."),
                                 QStringLiteral("[file]"));
}

} // namespace
} // namespace calimbra

int main(int argc, char* argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("calimbra"));
    QCoreApplication::setApplicationName(QStringLiteral("calimbra-monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
    calimbra::GuiStart start(QStringLiteral("calimbra-monitor"), calimbra::describe);
    if (const auto status = start.judgeCommandLine(argc, argv))
        return *status;
    const auto app = start.application(argc, argv, QStringLiteral("io.github.calimbra.monitor"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/calimbra-monitor.svg")));
    // The port's messages close with the monitor's own controls, and the monitor retries by itself.
    calimbra::setPortAdvice({calimbra::tr("Choose the board's port in the Port field."),
                             calimbra::tr("The monitor keeps trying to reopen it by itself.")});

    calimbra::MonitorWindow window;
    const QCommandLineParser& options = start.options();
    if (options.isSet(QStringLiteral("config")))
        window.useBoardFile(options.value(QStringLiteral("config")), true);
    else if (!window.boardFile().isEmpty())
        window.useBoardFile(window.boardFile(), false);
    if (options.isSet(QStringLiteral("port")))
        window.usePort(options.value(QStringLiteral("port")));
    const bool watchBroker = options.isSet(QStringLiteral("mqtt")) || options.isSet(QStringLiteral("board"));
    if (watchBroker)
        window.useBroker(options.value(QStringLiteral("mqtt")), options.value(QStringLiteral("board")));
    window.show();
    if (const QStringList files = options.positionalArguments(); !files.isEmpty())
        window.openLog(files.first());
    else if (watchBroker)
        // Asked for on the command line: watched at once, as a log named there is opened at once.
        window.setRunning(true);
    int signalled = 0;
    const calimbra::UnixSignalWatcher stopSignals{SIGINT, SIGTERM, SIGHUP};
    QObject::connect(&stopSignals, &calimbra::UnixSignalWatcher::received, app.get(), [&](int number) {
        signalled = number;
        window.close();
    });
    const int status = QApplication::exec();
    return signalled != 0 ? calimbra::UnixSignalWatcher::exitStatus(signalled) : status;
}
