// kestrix stopped by SIGINT, SIGTERM, SIGHUP or SIGQUIT. A switch-off that
// runs ends the way a failed step does, without a message box nobody will
// press: the port is left with DTR low and out of exclusive mode at once,
// the running step fails, the port is closed, the step's failure line goes
// to standard error and the program exits with the shell's code for the
// signal (128 and its number: 130 for SIGINT, 143 for SIGTERM). Without a
// switch-off running the program quits as if its window were closed. A
// switch-off that does not come to its end within a grace time (a fixed wait
// of the library), or a second signal, ends the process from the watcher
// with the same line and code.
//
// The window closed during a switch-off ends it the same way, quietly: the
// port released, the window closed once the switch-off has ended (or the
// program ended after the grace time), and the exit code of a closed window.
#pragma once

#include "module_library.h"

#include <functional>

namespace kestrix {

// Call first in main, before any thread exists (the GUI toolkit starts some
// of its own): the signals are then blocked in every thread.
void blockStopSignals();

// The library the window is to use: `library` with its calls watched, and a
// watcher thread taking the signals. `quitWhenIdle` is called on the
// watcher's thread and must hand the quitting to the window's thread.
ModuleLibrary& stopOnSignal(ModuleLibrary& library, std::function<void()> quitWhenIdle);

} // namespace kestrix
