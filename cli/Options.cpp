// SPDX-License-Identifier: MIT
#include "Options.h"

#include "BoardConfig.h"
#include "Reading.h"
#include "Text.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>

using namespace std::chrono;

namespace calimbra::cli {
namespace {

QString description()
{
    return calimbra::tr(
        "Asks the Calimbra measuring board for its sensors' temperatures, once or at an interval, and\n"
        "publishes them to files, an MQTT broker and Prometheus.\n\n"
        "Commands:\n"
        "  ports                  serial ports present: path, description, maker, serial number and\n"
        "                         stable /dev/serial/by-id name, tab-separated\n"
        "  info                   the board's sensor-count reply and the count, tab-separated\n"
        "  read [SENSOR...|all]   temperatures of the given sensors (1 to 9; default: all active\n"
        "                         ones): sensor, degrees Celsius (empty when none), the reply and\n"
        "                         the sensor's name when it has one\n"
        "  led                    send the LED command; the board is told only \"&a\", so which LED\n"
        "                         and state it switches is the board's own choice\n"
        "  log                    read all active sensors (or --sensors) every --interval seconds\n"
        "                         and write a line per reading, until stopped or --count rounds\n\n"
        "Exit status: 0 done, 1 usage or configuration error, 2 the port could not be opened or was\n"
        "lost, 3 no reply within the time-out, 4 an output could not be opened or written (or its\n"
        "reader went away). log goes on through faults and exits 0 on SIGINT or SIGTERM; SIGHUP\n"
        "reopens its output file.");
}

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption port{
        QStringLiteral("port"),
        calimbra::tr("Serial port: COM1 to COMn, a device such as /dev/ttyUSB0, or any path "
                     "to one (default COM1, that is /dev/ttyS0)."),
        calimbra::tr("name")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            calimbra::tr("Baud rate (default 9600; 8N1, no flow control)."),
                            calimbra::tr("rate")};
    QCommandLineOption timeout{
        QStringLiteral("timeout"),
        calimbra::tr("How long to wait for each reply, in milliseconds (default 2000)."), calimbra::tr("ms")};
    QCommandLineOption config{
        QStringLiteral("config"),
        calimbra::tr("Read the options and the sensors' names, calibration and alarms from "
                     "this INI file (see calimbra.conf(5)); options given here win."),
        calimbra::tr("file")};
    QCommandLineOption interval{
        QStringLiteral("interval"),
        calimbra::tr("log: seconds from the start of one round to the next, 0.1 to 86400 (default 10)."),
        calimbra::tr("seconds")};
    QCommandLineOption count{
        QStringLiteral("count"),
        calimbra::tr("log: stop after this many rounds; gives up (status 2 or 3) when they are "
                     "not done within count x interval + 30 s + 10 x timeout."),
        calimbra::tr("rounds")};
    QCommandLineOption sensors{
        QStringLiteral("sensors"),
        calimbra::tr("log: the sensors to read, e.g. 1,3,5-7 (default: all active ones)."),
        calimbra::tr("list")};
    QCommandLineOption format{
        QStringLiteral("format"),
        calimbra::tr("log: csv (time, sensor, celsius, reply, name, with a header in a new "
                     "file), json (JSON Lines) or influx (InfluxDB line protocol). Default "
                     "csv."),
        calimbra::tr("format")};
    QCommandLineOption output{QStringLiteral("output"),
                              calimbra::tr("log: append to this file instead of writing to standard output."),
                              calimbra::tr("file")};
    QCommandLineOption mqtt{
        QStringLiteral("mqtt"),
        calimbra::tr("log: publish to this MQTT broker, mqtt://[user[:password]@]host[:port] "
                     "or mqtts://... for TLS."),
        calimbra::tr("url")};
    QCommandLineOption board{
        QStringLiteral("board"),
        calimbra::tr("log: the board's name in topics, ids and metrics (letters, digits, _ "
                     "and -; default: from the port's stable name)."),
        calimbra::tr("name")};
    QCommandLineOption discoveryPrefix{QStringLiteral("discovery-prefix"),
                                       calimbra::tr("log: Home Assistant's discovery prefix (default "
                                                    "homeassistant)."),
                                       calimbra::tr("prefix")};
    QCommandLineOption noDiscovery{QStringLiteral("no-discovery"),
                                   calimbra::tr("log: do not announce the sensors to Home Assistant.")};
    QCommandLineOption outbox{QStringLiteral("outbox"),
                              calimbra::tr("log: the folder of the readings waiting for the broker (default "
                                           "$STATE_DIRECTORY, or ~/.local/state/calimbra/BOARD)."),
                              calimbra::tr("folder")};
    QCommandLineOption outboxLimit{
        QStringLiteral("outbox-limit"),
        calimbra::tr("log: readings kept while the broker is away; beyond it the oldest "
                     "are dropped (default 1000000)."),
        calimbra::tr("readings")};
    QCommandLineOption metrics{
        QStringLiteral("metrics"),
        calimbra::tr("log: serve Prometheus metrics at http://HOST:PORT/metrics (default "
                     "host 127.0.0.1)."),
        calimbra::tr("[host:]port")};
    QCommandLineOption onAlarm{
        QStringLiteral("on-alarm"),
        calimbra::tr("log: run this command (without a shell) when an alarm is raised or "
                     "cleared."),
        calimbra::tr("command")};

    Parser()
    {
        parser.setApplicationDescription(description());
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({port, baud, timeout, config, interval, count, sensors, format, output, mqtt, board,
                           discoveryPrefix, noDiscovery, outbox, outboxLimit, metrics, onAlarm});
        parser.addPositionalArgument(calimbra::tr("command"), calimbra::tr("ports, info, read, led or log."),
                                     calimbra::tr("command [arguments]"));
    }
};

[[noreturn]] void wrong(const QString& message)
{
    throw UsageError(message);
}

int wholeNumber(const QString& text, const QString& option, int low, int high)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        wrong(calimbra::tr("--%1 takes a whole number from %2 to %3, not \"%4\".")
                  .arg(option)
                  .arg(low)
                  .arg(high)
                  .arg(printable(text)));
    return value;
}

milliseconds parseInterval(const QString& text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    // Written so that NaN fails too: it compares false with everything.
    if (!ok || !std::isfinite(seconds) || !(seconds >= 0.1 && seconds <= 86400))
        wrong(calimbra::tr("--interval takes a number of seconds from 0.1 to 86400, not \"%1\".")
                  .arg(printable(text)));
    return milliseconds{qRound64(seconds * 1000)};
}

LogFormat parseFormat(const QString& text)
{
    if (text == QLatin1String("csv"))
        return LogFormat::Csv;
    if (text == QLatin1String("json"))
        return LogFormat::JsonLines;
    if (text == QLatin1String("influx"))
        return LogFormat::Influx;
    wrong(calimbra::tr("--format takes csv, json or influx, not \"%1\".").arg(printable(text)));
}

// What the board's file says, before the command line has its say.
void applyConfig(Options& options)
{
    BoardConfig config;
    try {
        config = readBoardConfig(options.configFile);
    } catch (const Error& error) {
        wrong(error.message());
    }
    options.port = config.port.value_or(options.port);
    options.baud = config.baud.value_or(options.baud);
    options.timeout = config.timeout.value_or(options.timeout);
    options.interval = config.interval.value_or(options.interval);
    options.sensors = config.sensors.value_or(options.sensors);
    options.format = config.format.value_or(options.format);
    if (config.output)
        options.output = config.output;
    options.mqtt = config.mqtt.value_or(options.mqtt);
    options.mqttPasswordFile = config.mqttPasswordFile.value_or(options.mqttPasswordFile);
    options.mqttCaFile = config.mqttCaFile.value_or(options.mqttCaFile);
    options.board = config.board.value_or(options.board);
    options.discovery = config.discovery.value_or(options.discovery);
    options.discoveryPrefix = config.discoveryPrefix.value_or(options.discoveryPrefix);
    options.outbox = config.outbox.value_or(options.outbox);
    options.outboxLimit = config.outboxLimit.value_or(options.outboxLimit);
    options.metrics = config.metrics.value_or(options.metrics);
    options.onAlarm = config.onAlarm.value_or(options.onAlarm);
    options.profiles = config.profiles;
}

} // namespace

Options parseCommandLine(const QCoreApplication& app)
{
    Parser p;
    p.parser.process(app);
    const QStringList words = p.parser.positionalArguments();
    if (words.isEmpty())
        wrong(calimbra::tr("No command given."));
    Options options;
    options.command = words.first();
    options.arguments = words.mid(1);
    const QCommandLineParser& given = p.parser;
    if (given.isSet(p.config)) {
        options.configFile = given.value(p.config);
        applyConfig(options);
    }
    if (given.isSet(p.port))
        options.port = given.value(p.port);
    if (given.isSet(p.baud))
        options.baud = wholeNumber(given.value(p.baud), QStringLiteral("baud"), 1, 4'000'000);
    if (given.isSet(p.timeout))
        options.timeout =
            milliseconds{wholeNumber(given.value(p.timeout), QStringLiteral("timeout"), 1, 3'600'000)};
    if (given.isSet(p.interval))
        options.interval = parseInterval(given.value(p.interval));
    if (given.isSet(p.count))
        options.count = wholeNumber(given.value(p.count), QStringLiteral("count"), 1, 1'000'000'000);
    if (given.isSet(p.sensors)) {
        const auto chosen = sensorList(given.value(p.sensors));
        if (!chosen || chosen->isEmpty())
            wrong(calimbra::tr("--sensors takes sensors from 1 to 9, e.g. 1,3,5-7."));
        options.sensors = *chosen;
    }
    if (given.isSet(p.format))
        options.format = parseFormat(given.value(p.format));
    if (given.isSet(p.output))
        options.output = given.value(p.output);
    if (given.isSet(p.mqtt))
        options.mqtt = given.value(p.mqtt);
    if (given.isSet(p.board))
        options.board = given.value(p.board);
    if (given.isSet(p.discoveryPrefix))
        options.discoveryPrefix = given.value(p.discoveryPrefix);
    if (given.isSet(p.noDiscovery))
        options.discovery = false;
    if (given.isSet(p.outbox))
        options.outbox = given.value(p.outbox);
    if (given.isSet(p.outboxLimit))
        options.outboxLimit =
            wholeNumber(given.value(p.outboxLimit), QStringLiteral("outbox-limit"), 1, 1'000'000'000);
    if (given.isSet(p.metrics))
        options.metrics = given.value(p.metrics);
    if (given.isSet(p.onAlarm))
        options.onAlarm = given.value(p.onAlarm);
    return options;
}

} // namespace calimbra::cli
