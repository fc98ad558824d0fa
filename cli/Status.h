// SPDX-License-Identifier: MIT
#pragma once

namespace calimbra::cli {

// Exit statuses, as --help and the manual give them.
enum Status {
    Done = 0,
    Usage = 1,        // the command line or the configuration file is wrong
    PortFailed = 2,   // the port could not be opened, or was lost
    NoReply = 3,      // the board did not answer within the time-out, or not as a board does
    OutputFailed = 4, // an output could not be opened or written, or its reader went away
};

} // namespace calimbra::cli
