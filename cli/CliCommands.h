// SPDX-License-Identifier: MIT
#pragma once

class QCoreApplication;

namespace calimbra::cli {

// Exit statuses, as --help and the manual give them.
enum Status {
    Done = 0,
    Usage = 1,
    PortFailed = 2, // could not be opened, or was lost
    NoReply = 3,    // the board did not answer within the time-out
};

// Reads the command line, runs its command on the event loop and returns the exit status.
int run(QCoreApplication& app);

} // namespace calimbra::cli
