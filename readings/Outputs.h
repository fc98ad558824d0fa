// SPDX-License-Identifier: MIT
#pragma once

#include "BoardConfig.h"
#include "OutputKind.h"

#include <QList>

namespace calimbra {

// Every output a service can feed, in the order they are made and their options listed.
[[nodiscard]] const QList<const OutputKind*>& outputKinds();

// The board's own settings, then each output's: every key the board's file and the command line know.
[[nodiscard]] QList<const SettingTable*> settingTables();

// The board's file, every setting in it judged. Throws Error naming the file, the line and the key.
[[nodiscard]] BoardFile readBoardFile(const QString& path);
// The same from text in memory; path is only for the messages and relative paths.
[[nodiscard]] BoardFile parseBoardFile(const QByteArray& text, const QString& path);

} // namespace calimbra
