// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <stdexcept>

namespace calimbra {

// Every failure of the serial line travels as this exception; its message is meant for the operator.
class ComError : public std::runtime_error
{
public:
    explicit ComError(const QString& message) : std::runtime_error(message.toStdString()) {}

    [[nodiscard]] QString message() const { return QString::fromStdString(what()); }
};

} // namespace calimbra
