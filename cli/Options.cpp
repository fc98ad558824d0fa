// SPDX-License-Identifier: MIT
#include "Options.h"

#include "Outputs.h"
#include "Text.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <utility>
#include <vector>

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

[[noreturn]] void wrong(const QString& message)
{
    throw UsageError(message);
}

// What the board's file says, before the command line has its say.
BoardFile readConfig(const QString& path)
{
    try {
        return readBoardFile(path);
    } catch (const Error& error) {
        wrong(error.message());
    }
}

} // namespace

Options parseCommandLine(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption config{
        QStringLiteral("config"),
        calimbra::tr(
            "Read the options and the sensors' names, calibration and alarms from this INI file (see "
            "calimbra.conf(5)); options given here win."),
        calimbra::tr("file")};
    parser.addOption(config);
    // Every setting a part lists with an option, judged on the command line as in the board's file.
    std::vector<std::pair<QCommandLineOption, const Setting*>> options;
    for (const SettingTable* table : settingTables()) {
        for (const Setting& setting : table->settings) {
            if (setting.option.isEmpty())
                continue;
            QCommandLineOption option(setting.option, setting.help);
            if (setting.form != Setting::Form::Flag)
                option.setValueName(setting.valueName);
            parser.addOption(option);
            options.emplace_back(option, &setting);
        }
    }
    parser.addPositionalArgument(calimbra::tr("command"), calimbra::tr("ports, info, read, led or log."),
                                 calimbra::tr("command [arguments]"));
    parser.process(app);

    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        wrong(calimbra::tr("No command given."));
    Options result;
    result.command = words.first();
    result.arguments = words.mid(1);
    if (parser.isSet(config)) {
        result.configFile = parser.value(config);
        BoardFile file = readConfig(result.configFile);
        result.settings = std::move(file.settings);
        result.profiles = std::move(file.profiles);
    }
    for (const auto& [option, setting] : options) {
        if (!parser.isSet(option))
            continue;
        if (setting->form == Setting::Form::Flag) {
            result.settings.setJudged(setting->name, setting->flagValue);
            continue;
        }
        const QString text = parser.value(option);
        try {
            result.settings.setJudged(setting->name, setting->judge(text));
        } catch (const SettingError& error) {
            wrong(calimbra::tr("--%1 \"%2\": %3").arg(setting->option, printable(text), error.message()));
        }
    }
    return result;
}

} // namespace calimbra::cli
