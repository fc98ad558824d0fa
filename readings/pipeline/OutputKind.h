// SPDX-License-Identifier: MIT
#pragma once

#include "Profile.h"
#include "Settings.h"

#include <QMap>
#include <QString>

#include <chrono>
#include <memory>

namespace calimbra {

class Sink;

// What an output is told when a service makes it, beside its own settings.
struct OutputContext
{
    QString board;       // the board's name, already judged
    QString stateFolder; // the service's own folder: the outbox's unless told otherwise
    std::chrono::milliseconds interval{};
    QString version;                   // the program's
    QMap<int, SensorProfile> profiles; // the sensors' names and limits
};

// One kind of output: the table of its settings (read alike by the command line and the board's
// file) and how it is made from them. A new output is a folder holding these, and a line in the
// list of outputs.
struct OutputKind
{
    const SettingTable& (*settings)();
    // The sink the settings ask for, to be started once wired; none when they do not ask for this
    // output. Throws
    // Error (status 4: it cannot be opened) or SettingError (status 1: the settings are wrong).
    std::unique_ptr<Sink> (*make)(const Settings& settings, const OutputContext& context);
};

} // namespace calimbra
