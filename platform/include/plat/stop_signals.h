// The signals that ask a program to stop (SIGINT, SIGTERM, SIGHUP, SIGQUIT),
// taken by a thread that waits for them rather than by a handler: the
// program then decides on an ordinary thread what a stop does, such as
// releasing the port it holds, which a handler could not. POSIX systems
// only; on Windows the console's control handler plays this part.
#pragma once

#include <chrono>
#include <optional>

namespace plat {

// Holds the stop signals back from the calling thread and every thread it
// starts afterwards, so that only the waits below take them. Call it before
// any other thread exists, or one of those may still be ended by a signal.
void blockStopSignals();

// Lets the stop signals reach the calling thread again, as they did before
// blockStopSignals: for a program whose waiting thread could not start,
// which would otherwise never stop at all.
void unblockStopSignals();

// Waits for the next stop signal and returns the exit code shells report for
// a program that signal ended: 128 and its number (130 SIGINT, 143 SIGTERM,
// 129 SIGHUP, 131 SIGQUIT).
int waitForStopSignal();

// The same within `bound`; nothing when none came in time.
std::optional<int> waitForStopSignal(std::chrono::milliseconds bound);

} // namespace plat
