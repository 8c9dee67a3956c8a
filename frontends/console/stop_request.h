// A stop asked for from outside while the job runs (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, or the console's Ctrl+C and close on Windows; see
// stop_signals.h), and the last words the job then ends with: the failure
// line of the step it was in, on standard output as any failure, and one
// line on standard error that says it was interrupted.
#pragma once

#include <cstdio>

namespace vornax {

// `exitCode` is what the stopped job ends with (128 and the signal's number,
// as shells report a program a signal ended).
void requestStop(int exitCode);
bool stopRequested();
int stopExitCode();

// The job is about to run the step named `stepName` ("the switch-off"),
// which fails with `failureText`; null when the step has no failure line of
// its own (the close after a job that succeeded).
void enterStep(const char* failureText, const char* stepName);
// The failure line of the step running now; null before the first.
const char* currentStepFailure();

// What a stop from outside does at once: the request is noted and the
// job's port fails (not WComClose: the job's thread is inside the library
// with the port in use), so that the job ends on its own path.
void stopJob(int exitCode);
// The end of a job that did not end within the grace time: its failure line
// and the interrupt's, unless printed already, and the interrupt's exit code.
[[noreturn]] void endStoppedJob(std::FILE* out, std::FILE* err);

// Prints the failure line and flushes it, unless a stop was asked for and a
// failure line was printed already: the job and the signal watcher may then
// both come to it.
void reportFailure(std::FILE* out, const char* failureText);
// "vornax: interrupted during <step>", once.
void reportInterrupted(std::FILE* err);

} // namespace vornax
