// vornax's line on standard error while the library waits long: one line,
// written over in place as the wait goes on and cleared when it ends, and
// only when standard error is a terminal (a log file or a pipe gets nothing
// of it). Standard output is never touched.
#pragma once

#include <cstdio>

namespace vornax {

// Call once before the job; does nothing unless `err` is a terminal.
void showWaitProgress(std::FILE* err);

// Clears a line that is shown and shows no more: the job is being ended
// from outside and its last words are about to be printed. Callable from any
// thread.
void endWaitProgress();

} // namespace vornax
