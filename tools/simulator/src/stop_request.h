// How the simulator program learns that it should end.
#pragma once

namespace sim {

// Holds SIGINT and SIGTERM back from this thread and every thread started
// after it, so that only waitForStopRequest() ever sees them.
void holdStopSignals();

// Returns at SIGINT or SIGTERM, or when standard input ends while it is a
// pipe, socket or terminal (a parent that dies closes its end). Standard
// input from /dev/null or a file, as background jobs of scripts get it, is
// not watched.
void waitForStopRequest();

} // namespace sim
