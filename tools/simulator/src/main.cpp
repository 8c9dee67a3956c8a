// cfcsim: the module simulator on a pseudo-terminal, for the demo and for
// runs of the real programs. The first output line is the terminal's path.
#include "sim/simulator.h"
#include "stop_request.h"

#include <charconv>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "usage: cfcsim [options]\n"
    "Plays a radio module's side of a serial line on a new pseudo-terminal and\n"
    "prints the terminal's path as its first line. Runs until SIGINT or SIGTERM,\n"
    "or until standard input ends when that is a pipe or a terminal.\n"
    "\n"
    "  --mode=emmi|off         state of the module's serial side (default emmi)\n"
    "  --nak-first[=N]         answer the first transmission of N host frames with NAK\n"
    "  --corrupt-bcc[=N]       send N module frames with a wrong check byte\n"
    "  --drop-frame[=N]        leave N module frames out\n"
    "  --repeat-frame[=N]      send N acknowledged module frames once more\n"
    "  --interleave-trace[=N]  put a signal-trace frame between two frames of a\n"
    "                          module message, N times\n"
    "  --stray-text=TEXT       send TEXT before every module message\n"
    "  --verbose               trace the line on standard error\n"
    "  --help                  show this text\n"
    "N is a count or \"all\"; without it a fault strikes once.\n";

struct Config {
    sim::Mode mode = sim::Mode::Emmi;
    sim::Options options;
    bool verbose = false;
    bool help = false;
};

std::optional<uint32_t> parseCount(std::string_view text)
{
    if (text == "all")
        return sim::kEveryTime;
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Empty when the arguments are fine, else what is wrong.
std::string parseArguments(int argc, char** argv, Config& config)
{
    sim::Faults& faults = config.options.faults;
    const std::pair<std::string_view, sim::FaultPlan sim::Faults::*> countedFaults[] = {
        {"--nak-first", &sim::Faults::nakFirstTransmission},
        {"--corrupt-bcc", &sim::Faults::corruptBcc},
        {"--drop-frame", &sim::Faults::dropFrame},
        {"--repeat-frame", &sim::Faults::repeatFrame},
        {"--interleave-trace", &sim::Faults::interleaveSignalTrace},
    };

    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const size_t equals = argument.find('=');
        const bool hasValue = equals != std::string_view::npos;
        const std::string_view name = argument.substr(0, equals);
        const std::string_view value = hasValue ? argument.substr(equals + 1) : std::string_view{};

        if (name == "--help") {
            config.help = true;
        } else if (name == "--verbose") {
            config.verbose = true;
        } else if (name == "--mode" && value == "emmi") {
            config.mode = sim::Mode::Emmi;
        } else if (name == "--mode" && value == "off") {
            config.mode = sim::Mode::Off;
        } else if (name == "--stray-text" && hasValue) {
            faults.strayText = std::string(value);
            faults.strayTextBefore = {0, sim::kEveryTime};
        } else {
            bool known = false;
            for (const auto& [faultName, plan] : countedFaults) {
                if (name != faultName)
                    continue;
                const std::optional<uint32_t> count = hasValue ? parseCount(value) : 1;
                if (!count)
                    return "cfcsim: not a count: " + std::string(argument);
                faults.*plan = {0, *count};
                known = true;
            }
            if (!known)
                return "cfcsim: unknown option: " + std::string(argument);
        }
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    Config config;
    if (const std::string error = parseArguments(argc, argv, config); !error.empty()) {
        std::cerr << error << '\n' << kUsage;
        return 2;
    }
    if (config.help) {
        std::cout << kUsage;
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
        simulator.setTrace([](const std::string& line) { std::cerr << "cfcsim: " << line << '\n'; });
    if (!simulator.start()) {
        std::cerr << "cfcsim: cannot start the simulator's threads\n";
        return 1;
    }

    std::cout << slavePath << '\n' << std::flush;
    sim::waitForStopRequest();
    simulator.stop();
    return 0;
}
