// SPDX-License-Identifier: MIT
#include "CliCommands.h"

#include "BoardConversation.h"
#include "Error.h"
#include "ReadingLog.h"
#include "SamplingSession.h"
#include "TComPort.h"
#include "UnixSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

using namespace std::chrono;

namespace calimbra::cli {
namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("calimbra::cli", text);
}

void printOut(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void printError(const QString& message)
{
    const QByteArray bytes = QStringLiteral("calimbra-cli: %1\n").arg(message).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

QString timeText(const QDateTime& time)
{
    return time.toString(Qt::ISODate);
}

QString noCountMessage(const QString& reply)
{
    return tr("The board's sensor-count reply \"%1\" carries no count.").arg(reply);
}

int statusOf(ConversationFailure failure)
{
    return failure == ConversationFailure::NoReply ? NoReply : PortFailed;
}

// The name under /dev/serial/by-id that udev keeps for a device, whichever ttyUSBn it gets today.
QString stableName(const QString& systemLocation)
{
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    const QString device = QFileInfo(systemLocation).canonicalFilePath();
    for (const QFileInfo& link : byId.entryInfoList(QDir::Files | QDir::System)) {
        if (link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    }
    return {};
}

int listPorts()
{
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        printOut(QStringList{port.systemLocation(), port.description(), port.manufacturer(),
                             port.serialNumber(), stableName(port.systemLocation())}
                     .join(u'\t'));
    }
    return Done;
}

// One-shot questions: each answer printed as it comes, the status decided by the first failure.
class Questions : public QObject
{
public:
    Questions(BoardConversation& conversation, QCoreApplication& app) : conversation_(conversation), app_(app)
    {
        connect(&conversation_, &BoardConversation::failed, this, &Questions::onFailed);
        connect(&conversation_, &BoardConversation::sensorCountReceived, this, &Questions::onCount);
        connect(&conversation_, &BoardConversation::temperatureReceived, this, &Questions::onTemperature);
        connect(&conversation_, &BoardConversation::ledCommandSent, this, [this] { app_.exit(status_); });
    }

    void info()
    {
        printCount_ = true;
        conversation_.askSensorCount();
    }

    void read(const QList<int>& sensors)
    {
        toRead_ = sensors;
        if (sensors.isEmpty())
            conversation_.askSensorCount();
        else
            next();
    }

    void led() { conversation_.sendLedCommand(); }

private:
    void onCount(const SensorCountReply& reply)
    {
        if (printCount_) {
            printOut(reply.text + u'\t' + (reply.count ? QString::number(*reply.count) : QString()));
            app_.exit(reply.count ? Done : NoReply);
            return;
        }
        if (!reply.count) {
            printError(noCountMessage(reply.text));
            app_.exit(NoReply);
            return;
        }
        for (int sensor = 1; sensor <= *reply.count; ++sensor)
            toRead_ << sensor;
        next();
    }

    void onTemperature(int sensor, const QString& text)
    {
        const auto value = temperatureValue(text);
        printOut(QStringLiteral("%1\t%2\t%3")
                     .arg(sensor)
                     .arg(value ? QString::number(*value, 'g', 15) : QString())
                     .arg(text));
        next();
    }

    void onFailed(ConversationFailure failure, const QString& message)
    {
        printError(message);
        if (failure != ConversationFailure::NoReply || toRead_.isEmpty()) {
            app_.exit(statusOf(failure));
            return;
        }
        // One silent sensor does not keep the others from being read.
        status_ = NoReply;
        next();
    }

    void next()
    {
        if (toRead_.isEmpty()) {
            app_.exit(status_);
            return;
        }
        conversation_.askTemperature(toRead_.takeFirst());
    }

    BoardConversation& conversation_;
    QCoreApplication& app_;
    QList<int> toRead_;
    bool printCount_ = false;
    int status_ = Done;
};

struct LogOptions
{
    milliseconds interval{10000};
    int count = 0;
    QList<int> sensors;
    LogFormat format = LogFormat::Csv;
    QString output;
};

int logReadings(BoardConversation& conversation, QCoreApplication& app, const LogOptions& options)
{
    std::unique_ptr<LogFile> file;
    try {
        file = std::make_unique<LogFile>(options.output, options.format);
    } catch (const Error& error) {
        printError(error.message());
        return Usage;
    }
    SamplingSession session(conversation);
    session.setInterval(options.interval);
    session.setSensors(options.sensors);
    session.setRoundLimit(options.count);
    int status = Done;
    QObject::connect(&session, &SamplingSession::readingTaken, &app, [&](const Reading& reading) {
        try {
            file->append(reading);
        } catch (const Error& error) {
            printError(error.message());
            status = Usage;
            session.stop();
            app.exit(status);
        }
    });
    QObject::connect(&session, &SamplingSession::troubleStarted, &app,
                     [](const QString& message, const QDateTime& when) {
                         printError(tr("%1: %2 Trying again until it answers.").arg(timeText(when), message));
                     });
    QObject::connect(
        &session, &SamplingSession::resumed, &app, [](const QDateTime& when, const QDateTime& since) {
            printError(tr("%1: readings resumed (missing since %2).").arg(timeText(when), timeText(since)));
        });
    QObject::connect(&session, &SamplingSession::finished, &app, [&app] { app.exit(Done); });
    // Lines are written whole from the event loop, so stopping here never cuts one.
    const UnixSignalWatcher stopSignals{SIGINT, SIGTERM, SIGHUP};
    QObject::connect(&stopSignals, &UnixSignalWatcher::received, &app, [&](int) {
        session.stop();
        app.exit(Done);
    });
    session.start();
    return QCoreApplication::exec();
}

} // namespace

int run(QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Asks the Calimbra measuring board for its sensors' temperatures, once or at an interval.\n\n"
           "Commands:\n"
           "  ports                  serial ports present: path, description, maker, serial number and\n"
           "                         stable /dev/serial/by-id name, tab-separated\n"
           "  info                   the board's sensor-count reply and the count, tab-separated\n"
           "  read [SENSOR...|all]   temperatures of the given sensors (1 to 9; default: all active\n"
           "                         ones): sensor, degrees Celsius (empty when none) and the reply\n"
           "  led                    send the LED command; the board is told only \"&a\", so which LED\n"
           "                         and state it switches is the board's own choice\n"
           "  log                    read all active sensors (or --sensors) every --interval seconds\n"
           "                         and write a line per reading, until stopped or --count rounds\n\n"
           "Exit status: 0 done, 1 usage error, 2 the port could not be opened or was lost,\n"
           "3 no reply within the time-out. log goes on through faults and exits 0 on SIGINT or SIGTERM."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  tr("Serial port: COM1 to COMn, a device such as /dev/ttyUSB0, or any path "
                                     "to one (default COM1, that is /dev/ttyS0)."),
                                  tr("name"), QStringLiteral("COM1"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  tr("Baud rate (default 9600; 8N1, no flow control)."), tr("rate"),
                                  QStringLiteral("9600"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     tr("How long to wait for each reply, in milliseconds (default 2000)."),
                                     tr("ms"), QStringLiteral("2000"));
    const QCommandLineOption interval(
        QStringLiteral("interval"), tr("log: seconds from the start of one round to the next (default 10)."),
        tr("seconds"), QStringLiteral("10"));
    const QCommandLineOption count(QStringLiteral("count"), tr("log: stop after this many rounds."),
                                   tr("rounds"));
    const QCommandLineOption sensors(QStringLiteral("sensors"),
                                     tr("log: the sensors to read, e.g. 1,3,5-7 (default: all active ones)."),
                                     tr("list"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        tr("log: csv (time, sensor, celsius, reply, with a header in a new file), "
           "json (JSON Lines) or influx (InfluxDB line protocol). Default csv."),
        tr("format"), QStringLiteral("csv"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    tr("log: append to this file instead of writing to standard output."),
                                    tr("file"));
    parser.addOptions({port, baud, timeout, interval, count, sensors, format, output});
    parser.addPositionalArgument(QStringLiteral("command"), tr("ports, info, read, led or log."));
    parser.process(app);

    const QStringList words = parser.positionalArguments();
    const auto usage = [](const QString& message) {
        printError(message + u' ' + tr("See calimbra-cli --help."));
        return Usage;
    };
    if (words.isEmpty())
        return usage(tr("No command given."));
    const QString command = words.first();
    const QStringList arguments = words.mid(1);

    bool ok = false;
    const qint32 baudRate = parser.value(baud).toInt(&ok);
    if (!ok || baudRate <= 0)
        return usage(tr("--baud takes a positive whole number."));
    const int timeoutMs = parser.value(timeout).toInt(&ok);
    if (!ok || timeoutMs <= 0)
        return usage(tr("--timeout takes a positive number of milliseconds."));

    if (command == QLatin1String("ports"))
        return arguments.isEmpty() ? listPorts() : usage(tr("ports takes no arguments."));

    TComPort comPort;
    comPort.setPortName(parser.value(port));
    comPort.setBaudRate(baudRate);
    BoardConversation conversation(comPort);
    conversation.setTimeout(milliseconds{timeoutMs});

    if (command == QLatin1String("log")) {
        if (!arguments.isEmpty())
            return usage(tr("log takes options only."));
        LogOptions options;
        const double seconds = parser.value(interval).toDouble(&ok);
        if (!ok || seconds < 0.1 || seconds > 86400)
            return usage(tr("--interval takes a number of seconds from 0.1 to 86400."));
        options.interval = milliseconds{qRound64(seconds * 1000)};
        if (parser.isSet(count)) {
            options.count = parser.value(count).toInt(&ok);
            if (!ok || options.count < 1)
                return usage(tr("--count takes a positive whole number."));
        }
        if (parser.isSet(sensors)) {
            const auto chosen = sensorList(parser.value(sensors));
            if (!chosen || chosen->isEmpty())
                return usage(tr("--sensors takes sensors from 1 to 9, e.g. 1,3,5-7."));
            options.sensors = *chosen;
        }
        const QString formatName = parser.value(format);
        if (formatName == QLatin1String("csv"))
            options.format = LogFormat::Csv;
        else if (formatName == QLatin1String("json"))
            options.format = LogFormat::JsonLines;
        else if (formatName == QLatin1String("influx"))
            options.format = LogFormat::Influx;
        else
            return usage(tr("--format takes csv, json or influx."));
        options.output = parser.value(output);
        return logReadings(conversation, app, options);
    }

    Questions questions(conversation, app);
    if (command == QLatin1String("info")) {
        if (!arguments.isEmpty())
            return usage(tr("info takes no arguments."));
        questions.info();
    } else if (command == QLatin1String("read")) {
        QList<int> chosen;
        if (!(arguments.size() == 1 && arguments.first() == QLatin1String("all"))) {
            const auto parsed = sensorList(arguments.join(u','));
            if (!parsed)
                return usage(tr("read takes sensors from 1 to 9, or all."));
            chosen = *parsed;
        }
        questions.read(chosen);
    } else if (command == QLatin1String("led")) {
        if (!arguments.isEmpty())
            return usage(tr("led takes no arguments."));
        questions.led();
    } else {
        return usage(tr("Unknown command \"%1\".").arg(command));
    }
    return QCoreApplication::exec();
}

} // namespace calimbra::cli
