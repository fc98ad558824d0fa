// SPDX-License-Identifier: MIT
#pragma once

#include "Error.h"
#include "Profile.h"
#include "ReadingLog.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QCoreApplication;

namespace calimbra::cli {

// A command line or configuration file that cannot be followed: exit status 1.
class UsageError : public Error
{
public:
    using Error::Error;
};

// Everything a command may be told, from the command line and the board's configuration file;
// the command line wins.
struct Options
{
    QString command;
    QStringList arguments;

    QString port = QStringLiteral("COM1");
    qint32 baud = 9600;
    std::chrono::milliseconds timeout{2000};

    // log
    std::chrono::milliseconds interval{10000};
    int count = 0; // rounds; 0: until stopped
    QList<int> sensors;
    LogFormat format = LogFormat::Csv;
    // Standard output when none is named, unless a network output is and no file is asked for.
    std::optional<QString> output;
    QString configFile;
    QString board; // empty: derived from the port's stable name
    QString mqtt;  // the broker's URL; empty: none
    QString mqttPasswordFile;
    QString mqttCaFile;
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    QString outbox; // empty: the default place
    qint64 outboxLimit = 1'000'000;
    QString metrics; // [HOST:]PORT; empty: none
    QString onAlarm;
    QMap<int, SensorProfile> profiles; // names, calibration, fault values and alarms, by sensor
};

// Reads the command line (and the file named by --config). --help and --version print and exit
// here. Throws UsageError.
[[nodiscard]] Options parseCommandLine(const QCoreApplication& app);

} // namespace calimbra::cli
