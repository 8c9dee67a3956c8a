// vornax: switches the Java autostart of a module on a COM port off.
#include "actions.h"
#include "arguments.h"
#include "stop_signals.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    // Whole lines go out at once even into a pipe, so what was printed is not
    // lost when the library below hangs or the process is killed.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    vornax::watchStopSignals(stdout);

    const auto commandLine = vornax::scanArguments(argc, argv);
    if (!commandLine) {
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
    if (commandLine->has(vornax::Option::Port))
        std::exit(vornax::switchAutoExecOff(stdout, commandLine->port));
    std::exit(vornax::exitSuccess);
}
