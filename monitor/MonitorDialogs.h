// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

namespace calimbra {

// The monitor's questions for a file: where to record, which log to open, where to export. Each
// starts in `folder` and leaves there the folder chosen; empty when the question was dismissed.
[[nodiscard]] QString askRecordFile(QWidget* parent, QString& folder);
[[nodiscard]] QString askLogFile(QWidget* parent, QString& folder);
[[nodiscard]] QString askExportFile(QWidget* parent, QString& folder);

// A board's file that could not be read, said over the window once it is up.
void showBoardFileProblem(QWidget* parent, const QString& message);

} // namespace calimbra
