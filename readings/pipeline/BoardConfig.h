// SPDX-License-Identifier: MIT
#pragma once

#include "Profile.h"
#include "Settings.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <chrono>
#include <optional>

namespace calimbra {

// The board's configuration file, read by every program given --config FILE. UTF-8 text:
//
//     ; the kitchen board
//     port = /dev/serial/by-id/usb-FTDI_FT232R-if00-port0
//     interval = 30            # seconds
//     format = json
//     on_alarm = /usr/local/bin/page-someone --urgent
//
//     [sensor.3]
//     name = "Freezer; door side"
//     offset = -0.25
//     high = -15
//     for = 300
//
// The board's settings are the keys before the first section; there is no [board] section. Then
// one [sensor.N] section for each sensor N from 1 to 9 that has a profile. Keys are lower case.
// A line starting with ';' or '#' is a comment, and so is the rest of a line from a ';' or '#'
// that follows a space or tab. A value wholly in double quotes keeps its spaces, ';' and '#';
// inside the quotes \" is a quote and \\ a backslash. Quotes around part of a value are part of
// it (on_alarm = "/opt/my hooks/page" --urgent). Relative paths are taken from the file's own folder,
// so that a service finds them whatever its working folder. An empty value is refused, except an
// empty name.
//
// Every setting is optional: what the command line sets wins, and what neither sets has the
// program's default. The board's settings are judged by the tables of the parts that own them (the
// board's own, each output's), so that the command line and the file judge a value alike.
struct BoardConfig
{
    // A board's setting as written, not judged yet.
    struct Entry
    {
        QString key;
        QString value;
        int line{};
        int sensor{}; // a key written in a sensor's section: known to no sensor, perhaps the board's
    };

    QString path;
    QList<Entry> entries;
    QMap<int, SensorProfile> profiles;

    // Each entry judged by the table that knows its key, paths taken from the file's folder. Throws
    // Error naming the file, the line and the key for a key no table knows or a value it refuses.
    [[nodiscard]] Settings judge(const QList<const SettingTable*>& tables) const;
};

// A board's file read and judged whole.
struct BoardFile
{
    Settings settings;
    QMap<int, SensorProfile> profiles;
};

// Reads the file's lines and its sensors' profiles; the board's settings are judged later (judge()).
// Throws Error naming the file, the line and the key: "board.conf:12: high: ...".
[[nodiscard]] BoardConfig readBoardConfig(const QString& path);
// The same from text in memory; path is only for the messages and relative paths.
[[nodiscard]] BoardConfig parseBoardConfig(const QByteArray& text, const QString& path);

// Writes the profiles into the configuration file, in place of their [sensor.N] sections' known
// keys: every other line and comment stays as it was. A key already there gets the new value (its
// line goes when a limit or the name is unset); a missing key is added after the section's last
// setting unless it is at its default; a sensor without a section gets one at the end; a section
// of a sensor not among profiles is left alone. The file is replaced whole or not at all, keeping
// its permissions, or made when missing; text that would not read back as these profiles is not
// written. Throws Error.
void saveSensorProfiles(const QString& path, const QMap<int, SensorProfile>& profiles);

// The judge of a sensor's name: one line of printable text, at most SensorProfile::kLongestName
// characters, not ending in a backslash (InfluxDB's line protocol cannot carry that in a tag).
[[nodiscard]] QString judgeSensorName(const QString& text);

// The first line of a password file. A file that other users can read is refused, with the
// chmod 600 that fixes it. Throws Error.
[[nodiscard]] QString readPasswordFile(const QString& path);

// The broker's password as systemd hands it to a service (LoadCredential=mqtt_password:FILE): the
// first line of $CREDENTIALS_DIRECTORY/mqtt_password. None when the service was given no such
// credential. Throws Error when it is there but cannot be read or holds no password.
[[nodiscard]] std::optional<QString> credentialPassword();

} // namespace calimbra
