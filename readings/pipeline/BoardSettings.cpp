// SPDX-License-Identifier: MIT
#include "BoardSettings.h"

#include "BoardName.h"
#include "Reading.h"
#include "Text.h"

#include <QProcess>

namespace calimbra {

QString judgeBoardName(const QString& text)
{
    if (!isValidBoardName(text))
        throw SettingError(
            tr("takes letters, digits, '_' and '-' only, at most 64 of them, like kitchen-1."));
    return text;
}

namespace board_settings {
namespace {

constexpr int kMostBaud = 4'000'000;
constexpr int kLongestTimeout = 3'600'000; // ms
constexpr double kShortestInterval = 0.1;  // s
constexpr double kLongestInterval = 86400; // s
constexpr int kMostRounds = 1'000'000'000;

QList<int> judgeSensors(const QString& text)
{
    const auto sensors = sensorList(text);
    if (!sensors || sensors->isEmpty())
        throw SettingError(tr("takes sensors from 1 to 9, like 1,3,5-7."));
    return *sensors;
}

QString judgeCommand(const QString& text)
{
    if (QProcess::splitCommand(text).isEmpty())
        throw SettingError(tr("names no program to run."));
    return text;
}

} // namespace

const SettingTable& table()
{
    static const SettingTable settings{{
        setting(
            kPort, QStringLiteral("port"), tr("name"),
            tr("Serial port: COM1 to COMn, a device such as /dev/ttyUSB0, or any path to one (default "
               "COM1, that is /dev/ttyS0)."),
            [](const QString& text) { return judge::nonEmpty(text, tr("takes the board's serial port.")); }),
        setting(
            kBaud, QStringLiteral("baud"), tr("rate"), tr("Baud rate (default 9600; 8N1, no flow control)."),
            [](const QString& text) {
                return judge::whole(
                    text, 1, kMostBaud,
                    tr("takes a whole number of bits per second from 1 to %1, like 9600.").arg(kMostBaud));
            }),
        setting(kTimeout, QStringLiteral("timeout"), tr("ms"),
                tr("How long to wait for each reply, in milliseconds (default 2000)."),
                [](const QString& text) {
                    return std::chrono::milliseconds{
                        judge::whole(text, 1, kLongestTimeout,
                                     tr("takes a whole number of milliseconds from 1 to %1, like 2000.")
                                         .arg(kLongestTimeout))};
                }),
        setting(
            kInterval, QStringLiteral("interval"), tr("seconds"),
            tr("log: seconds from the start of one round to the next, 0.1 to 86400 (default 10)."),
            [](const QString& text) { return judge::seconds(text, kShortestInterval, kLongestInterval); }),
        commandLineOnly(setting(
            kCount, QStringLiteral("count"), tr("rounds"),
            tr("log: stop after this many rounds; gives up (status 2 or 3) when they are not "
               "done within count x interval + 30 s + 10 x timeout."),
            [](const QString& text) {
                return judge::whole(text, 1, kMostRounds,
                                    tr("takes a whole number of rounds from 1 to %1.").arg(kMostRounds));
            })),
        setting(kSensors, QStringLiteral("sensors"), tr("list"),
                tr("log: the sensors to read, e.g. 1,3,5-7 (default: all active ones)."), judgeSensors),
        setting(
            kBoard, QStringLiteral("board"), tr("name"),
            tr("log: the board's name in topics, ids and metrics (letters, digits, _ and -; default: from "
               "the port's stable name)."),
            judgeBoardName),
        setting(kOnAlarm, QStringLiteral("on-alarm"), tr("command"),
                tr("log: run this command (without a shell) when an alarm is raised or cleared."),
                judgeCommand),
    }};
    return settings;
}

} // namespace board_settings
} // namespace calimbra
