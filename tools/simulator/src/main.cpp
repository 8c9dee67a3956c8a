// cfcsim: the module simulator on a pseudo-terminal, for the demo and for
// runs of the real programs. The first output line is the terminal's path.
#include "command_line.h"
#include "sim/simulator.h"
#include "stop_request.h"

#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    sim::Config config;
    if (const std::string error = sim::parseArguments(argc, argv, config); !error.empty()) {
        // One line: forty lines of usage would push the mistake off the screen.
        std::cerr << error << '\n';
        return 2;
    }
    if (config.help) {
        std::cout << sim::kUsage;
        return 0;
    }

    // Before any thread starts, so that none of them takes the signals.
    sim::holdStopSignals();

    std::string slavePath;
    int sysError = 0;
    auto transport = sim::openPtyTransport(&slavePath, &sysError);
    if (!transport) {
        std::cerr << "cfcsim: cannot open a pseudo-terminal: " << std::strerror(sysError) << '\n';
        return 1;
    }

    sim::Simulator simulator(std::move(transport), config.options);
    simulator.setMode(config.mode);
    if (config.verbose)
        simulator.setTrace(
            [](const std::string& line) { std::cerr << "cfcsim: " << line << '\n'; });
    if (!simulator.start()) {
        std::cerr << "cfcsim: cannot start the simulator's threads\n";
        return 1;
    }

    if (config.mode == sim::Mode::Off)
        std::cerr << "cfcsim: note: the module is off; a host boots it through DTR, which a "
                     "pseudo-terminal does not carry, so it stays silent\n";
    std::cout << slavePath << '\n' << std::flush;
    sim::waitForStopRequest();
    simulator.stop();
    return 0;
}
