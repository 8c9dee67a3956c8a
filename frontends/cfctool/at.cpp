// at TEXT: one AT command through the firmware, the module's texts printed.
#include "failure.h"
#include "module.h"
#include "report.h"

#include "cfc.h"

#include <array>
#include <string_view>

namespace cfctool {

namespace {

// What the firmware takes in one command line.
constexpr size_t kMaxCommand = 126;

// The library hands line ends back as "<CR>" and "<LF>"; the lines between
// them, empty ones left out.
std::vector<std::string> linesOf(std::string_view escaped)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < escaped.size();) {
        if (escaped.substr(i, 4) == "<CR>" || escaped.substr(i, 4) == "<LF>") {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
            i += 4;
            continue;
        }
        line += escaped[i++];
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// A line that ends an AT command's answer.
bool isFinal(std::string_view line)
{
    for (const std::string_view code :
         {"OK", "ERROR", "NO CARRIER", "BUSY", "NO ANSWER", "NO DIALTONE", "CONNECT"})
        if (line == code || (code == "CONNECT" && line.rfind("CONNECT ", 0) == 0))
            return true;
    return line.rfind("+CME ERROR", 0) == 0 || line.rfind("+CMS ERROR", 0) == 0;
}

} // namespace

Report runAt(const Invocation& invocation)
{
    if (invocation.text.size() > kMaxCommand)
        failUsage("an AT command takes at most " + std::to_string(kMaxCommand) + " characters");
    Module module(invocation.port);
    std::array<char, CFC_AT_RESPONSE_SIZE> response{};
    module.require(WSendAtCommand(module.handle(), invocation.text.c_str(), response.data()),
                   "the module did not take \"" + invocation.text + "\"");
    std::vector<std::string> lines = linesOf(response.data());
    // Each further reception waits about a second for the next text.
    for (unsigned waited = 0; waited < invocation.waitSeconds; ++waited) {
        if (!lines.empty() && isFinal(lines.back()))
            break;
        response.fill(0);
        if (WReceiveAtCommand(module.handle(), response.data()))
            for (std::string& line : linesOf(response.data()))
                lines.push_back(std::move(line));
    }

    Report report;
    report.json["command"] = invocation.text;
    report.json["lines"] = lines;
    report.json["final"] = !lines.empty() && isFinal(lines.back())
                               ? nlohmann::ordered_json(lines.back())
                               : nlohmann::ordered_json();
    for (const std::string& line : lines)
        report.text += line + "\n";
    // The texts are printed either way; a script still learns that the
    // command was refused.
    if (!lines.empty() && (lines.back() == "ERROR" || lines.back().rfind("+CM", 0) == 0)) {
        report.exitCode = kExitFailed;
        report.reason = "the module answered \"" + invocation.text + "\" with " + lines.back();
    }
    return report;
}

} // namespace cfctool
