// What suite-cli's exit status means; scripts rely on these numbers (docs/cli.md).
#pragma once

namespace suite::cli {

enum ExitCode {
    kExitOk = 0,           // done
    kExitObservations = 1, // done, and the run (or its preview) has observations
    kExitUsage = 2,        // a wrong command line: nothing was asked of the server
    kExitRefused = 3,      // the service refused (rights, a wrong branch or dish, an undo that would lose work)
    kExitNoServer = 4,     // no session, an expired one, or the server could not be reached
    kExitServerFailure = 5 // the server failed (see its log for the id printed)
};

} // namespace suite::cli
