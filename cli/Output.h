// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace calimbra::cli {

// Standard output and error as a command-line tool needs them: SIGPIPE and SIGXFSZ off, so that a
// reader going away or a file at its size limit is an error the program handles (closing its port
// and locks) instead of a death by signal;
// and the three standard descriptors held, so that a file opened later never takes over the number
// of a closed standard output.
void prepareStandardStreams();

// True when the program was started with standard output closed (`>&-`).
[[nodiscard]] bool standardOutputIsClosed();

// A line on standard output, whole, checked: throws Error when it cannot be written (a full disk,
// a closed descriptor), OutputClosed when the reader went away.
void printLine(const QString& line);

// A message on standard error, prefixed with the program's name. Nothing is left to do when
// standard error itself fails.
void printError(const QString& message);

} // namespace calimbra::cli
