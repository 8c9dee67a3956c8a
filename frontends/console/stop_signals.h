// vornax stopped by SIGINT, SIGTERM, SIGHUP or SIGQUIT (on Windows: Ctrl+C,
// Ctrl+Break, or the console closed) ends its job the way a failed step
// does, but says so: the port is left with DTR low and out of exclusive mode
// at once, the running step fails, its failure line is printed, one line on
// standard error says the job was interrupted (and no module is blamed), the
// port is closed and the exit code is the shell's for that signal (128 and
// its number). A job that does not come to its end within a grace time (a
// fixed wait of the library), or a second signal, ends the process from the
// watcher with the same lines and code.
#pragma once

#include <cstdio>

namespace vornax {

// Call first in main, before any thread exists: the signals are blocked in
// every thread and taken by a watcher thread of their own (on Windows the
// system calls a handler on a thread of its own).
void watchStopSignals(std::FILE* out, std::FILE* err);

} // namespace vornax
