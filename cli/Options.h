// SPDX-License-Identifier: MIT
#pragma once

#include "BoardSettings.h"
#include "Error.h"
#include "Profile.h"
#include "Settings.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>

class QCoreApplication;

namespace calimbra::cli {

// A command line or configuration file that cannot be followed: exit status 1.
class UsageError : public Error
{
public:
    using Error::Error;
};

// Everything a command may be told, from the command line and the board's configuration file;
// the command line wins. Each setting was judged by the table of the part that owns it.
struct Options
{
    QString command;
    QStringList arguments;
    QString configFile;
    Settings settings;
    QMap<int, SensorProfile> profiles; // names, calibration, fault values and alarms, by sensor

    [[nodiscard]] QString port() const
    {
        return settings.value(board_settings::kPort, QStringLiteral("COM1"));
    }
    [[nodiscard]] qint32 baud() const { return settings.value(board_settings::kBaud, 9600); }
    [[nodiscard]] std::chrono::milliseconds timeout() const
    {
        return settings.value(board_settings::kTimeout, std::chrono::milliseconds{2000});
    }
    [[nodiscard]] std::chrono::milliseconds interval() const
    {
        return settings.value(board_settings::kInterval, board_settings::kDefaultInterval);
    }
    // Rounds; 0: until stopped.
    [[nodiscard]] int count() const { return settings.value(board_settings::kCount, 0); }
    // Empty: every sensor the board reports.
    [[nodiscard]] QList<int> sensors() const
    {
        return settings.value(board_settings::kSensors, QList<int>());
    }
    // Empty: derived from the port's stable name.
    [[nodiscard]] QString board() const { return settings.value(board_settings::kBoard, QString()); }
    [[nodiscard]] QString onAlarm() const { return settings.value(board_settings::kOnAlarm, QString()); }
};

// Reads the command line (and the file named by --config). --help and --version print and exit
// here. Throws UsageError.
[[nodiscard]] Options parseCommandLine(const QCoreApplication& app);

} // namespace calimbra::cli
