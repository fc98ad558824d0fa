// SPDX-License-Identifier: MIT
#include "PortAdvice.h"

#include "Text.h"

#include <optional>

namespace calimbra {
namespace {

// One program, one vocabulary: set once by main, read when a message is made.
std::optional<PortAdvice>& chosenAdvice()
{
    static std::optional<PortAdvice> advice;
    return advice;
}

} // namespace

PortAdvice portAdvice()
{
    if (const auto& chosen = chosenAdvice())
        return *chosen;
    return {tr("Choose the board's port with \"Configurar Serial\"."), tr("Then send the request again.")};
}

void setPortAdvice(const PortAdvice& advice)
{
    chosenAdvice() = advice;
}

QString withAdvice(const QString& message, const QString& advice)
{
    return advice.isEmpty() ? message : message + u' ' + advice;
}

} // namespace calimbra
