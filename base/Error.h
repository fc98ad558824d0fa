// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <stdexcept>

namespace calimbra {

// A failure told to the person running the program: the message says what happened and what to do,
// in the program's own terms. Kinds of failure that callers tell apart derive from it.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}

    [[nodiscard]] QString message() const { return QString::fromStdString(what()); }
};

} // namespace calimbra
