// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace calimbra {

// The closing advice of the port's messages, in the words of the program that shows them: the panel
// has its "Configurar Serial" button, the command line its --port option, the monitor its port field
// and retries of its own. Each is a whole sentence, or empty for nothing to add.
struct PortAdvice
{
    QString choosePort; // how to pick another port
    QString tryAgain;   // what to do once the line is back
};

// The panel's words, until a program says its own.
[[nodiscard]] PortAdvice portAdvice();
void setPortAdvice(const PortAdvice& advice);

// The message with the advice sentence after it.
[[nodiscard]] QString withAdvice(const QString& message, const QString& advice);

} // namespace calimbra
