// What a command found, in both forms: lines for a person, and the JSON
// document --json prints instead.
#pragma once

#include "command_line.h"

#include <nlohmann/json.hpp>

#include <string>

namespace cfctool {

struct Report {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    std::string text; // whole lines, each ending in '\n'
    // A command that did part of its job prints what it has and ends with
    // this code and reason (on standard error).
    int exitCode = 0;
    std::string reason;
};

// The commands. Each throws Failure when it cannot do its job.
Report runInfo(const Invocation& invocation);
Report runAutoStart(const Invocation& invocation);
Report runNvram(const Invocation& invocation);
Report runBackup(const Invocation& invocation);
Report runRestore(const Invocation& invocation);
Report runAt(const Invocation& invocation);
Report runTraceCapture(const Invocation& invocation);
Report runTraceDecode(const Invocation& invocation);
Report runPorts(const Invocation& invocation);

} // namespace cfctool
