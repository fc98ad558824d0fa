// SPDX-License-Identifier: MIT
#include "BoardConversation.h"
#include "ComError.h"
#include "LogService.h"
#include "Options.h"
#include "Output.h"
#include "PortAdvice.h"
#include "Questions.h"
#include "ReadingLog.h"
#include "TComPort.h"
#include "Text.h"
#include "Translations.h"

#include <QCoreApplication>

using namespace calimbra;
using namespace calimbra::cli;

namespace {

int usage(const QString& message)
{
    printError(message + u' ' + calimbra::tr("See calimbra-cli --help."));
    return Usage;
}

// The one-shot commands and log, each once its arguments are judged.
int dispatch(const Options& options)
{
    const QString& command = options.command;
    if (command == QLatin1String("ports")) {
        if (!options.arguments.isEmpty())
            return usage(calimbra::tr("ports takes no arguments."));
        return listPorts();
    }
    if (command != QLatin1String("info") && command != QLatin1String("read") &&
        command != QLatin1String("led") && command != QLatin1String("log"))
        return usage(calimbra::tr("Unknown command \"%1\".").arg(printable(command)));

    QList<int> chosen;
    if (command == QLatin1String("read")) {
        if (!(options.arguments.size() == 1 && options.arguments.first() == QLatin1String("all"))) {
            const auto parsed = sensorList(options.arguments.join(u','));
            if (!parsed)
                return usage(calimbra::tr("read takes sensors from 1 to 9, or all."));
            chosen = *parsed;
        }
    } else if (!options.arguments.isEmpty()) {
        return usage(calimbra::tr("%1 takes no arguments.").arg(command));
    }

    TComPort port;
    port.setPortName(options.port());
    port.setBaudRate(options.baud());
    BoardConversation conversation(port);
    conversation.setTimeout(options.timeout());
    int status = Done;
    const auto finish = [&status](int result) {
        status = result;
        QCoreApplication::exit(result);
    };

    if (command == QLatin1String("log")) {
        LogService service(options, port, conversation);
        QObject::connect(&service, &LogService::finished, finish);
        service.start();
        QCoreApplication::exec();
        return status;
    }
    Questions questions(conversation, BoardProfile(options.profiles));
    QObject::connect(&questions, &Questions::done, finish);
    if (command == QLatin1String("info"))
        questions.info();
    else if (command == QLatin1String("read"))
        questions.read(chosen);
    else
        questions.led();
    QCoreApplication::exec();
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    prepareStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("calimbra-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CALIMBRA_VERSION));
    installTranslations();
    setPortAdvice({calimbra::tr("Give the board's port with --port."), QString()});
    try {
        return dispatch(parseCommandLine(app));
    } catch (const UsageError& error) {
        return usage(error.message());
    } catch (const ComError& error) {
        printError(error.message());
        return PortFailed;
    } catch (const OutputClosed&) {
        return OutputFailed;
    } catch (const Error& error) {
        printError(error.message());
        return OutputFailed;
    }
}
