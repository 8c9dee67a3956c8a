// A stop asked for from outside while the job runs (SIGINT, SIGTERM, or the
// console's Ctrl+C and close on Windows; see stop_signals.h), and the one failure line the job then
// ends with.
#pragma once

#include <cstdio>

namespace vornax {

void requestStop();
bool stopRequested();

// The job is about to run the step that fails with this line.
void enterStep(const char* failureText);
// The failure line of the step running now; null before the first.
const char* currentStepFailure();

// What a stop from outside does at once: the request is noted and the
// job's port fails (not WComClose: the job's thread is inside the library
// with the port in use), so that the job ends on its own path.
void stopJob();
// The end of a job that did not end within the grace time: its failure line
// unless printed already, and the exit code of a failure.
[[noreturn]] void endStoppedJob(std::FILE* out);

// Prints the failure line and flushes it, unless a stop was asked for and a
// failure line was printed already: the job and the signal watcher may then
// both come to it.
void reportFailure(std::FILE* out, const char* failureText);

} // namespace vornax
