// A stop asked for from outside while the job runs (SIGINT, SIGTERM; see
// stop_signals.h), and the one failure line the job then ends with.
#pragma once

#include <cstdio>

namespace vornax {

void requestStop();
bool stopRequested();

// The job is about to run the step that fails with this line.
void enterStep(const char* failureText);
// The failure line of the step running now; null before the first.
const char* currentStepFailure();

// Prints the failure line and flushes it, unless a stop was asked for and a
// failure line was printed already: the job and the signal watcher may then
// both come to it.
void reportFailure(std::FILE* out, const char* failureText);

} // namespace vornax
