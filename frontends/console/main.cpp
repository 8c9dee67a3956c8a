// vornax: switches the Java autostart of a module on a COM port off.
#include "actions.h"
#include "arguments.h"
#include "progress_line.h"
#include "stop_signals.h"

#include "cfc.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[])
{
    // Whole lines go out at once even into a pipe, so what was printed is not
    // lost when the library below hangs or the process is killed.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    vornax::watchStopSignals(stdout, stderr);
    // A console run has no test case: the test system's libraries, should
    // the loader find them, stay out of this process.
    WSetTestSystemBinding(0);

    std::string problem;
    const auto commandLine = vornax::scanArguments(argc, argv, &problem);
    if (!commandLine) {
        std::fprintf(stderr, "vornax: %s\n", problem.c_str());
        vornax::printUsage(stdout);
        std::exit(vornax::exitFailure);
    }

    // A fixed order, whatever the order on the command line.
    if (commandLine->has(vornax::Option::Version))
        vornax::printVersion(stdout);
    if (commandLine->has(vornax::Option::Query))
        vornax::printUsage(stdout);
    if (commandLine->has(vornax::Option::Help))
        vornax::printUsage(stdout);
    if (commandLine->has(vornax::Option::Port)) {
        vornax::showWaitProgress(stderr);
        std::exit(vornax::switchAutoExecOff(stdout, stderr, commandLine->port));
    }
    std::exit(vornax::exitSuccess);
}
