// SPDX-License-Identifier: MIT
#pragma once

#include "Error.h"

namespace calimbra {

// A failure of the serial line: the port could not be opened, read or written, or the line was lost.
class ComError : public Error
{
public:
    using Error::Error;
};

} // namespace calimbra
