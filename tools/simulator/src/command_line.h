// The cfcsim program's options: the module's state, behaviours and faults.
#pragma once

#include "sim/options.h"

#include <string>
#include <string_view>

namespace sim {

struct Config {
    Mode mode = Mode::At;
    Options options;
    bool verbose = false;
    bool help = false;
};

extern const std::string_view kUsage;

// Empty when the arguments are fine, else one line saying what is wrong and
// where the options are listed.
std::string parseArguments(int argc, char** argv, Config& config);

} // namespace sim
