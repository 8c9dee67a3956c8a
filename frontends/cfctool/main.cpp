// cfctool: service commands for a radio module on a serial port.
#include "command_line.h"
#include "failure.h"
#include "module.h"
#include "report.h"

#include <cstdio>

namespace {

using namespace cfctool;

Report run(const Invocation& invocation)
{
    switch (invocation.command) {
    case Command::Info: return runInfo(invocation);
    case Command::AutoStart: return runAutoStart(invocation);
    case Command::UserRead:
    case Command::UserWrite:
    case Command::UserDelete:
    case Command::UserEraseAll:
    case Command::CalCheck:
    case Command::CalRead:
    case Command::CalWrite:
    case Command::CalEraseAll: return runNvram(invocation);
    case Command::Backup: return runBackup(invocation);
    case Command::Restore: return runRestore(invocation);
    case Command::At: return runAt(invocation);
    case Command::TraceCapture: return runTraceCapture(invocation);
    case Command::TraceDecode: return runTraceDecode(invocation);
    case Command::Ports: return runPorts(invocation);
    }
    failUsage("unknown command");
}

void print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

} // namespace

int main(int argc, char* argv[])
{
    const Parsed parsed = parseCommandLine(argc, argv);
    if (!parsed.invocation)
        return parsed.exitCode;
    const Invocation& invocation = *parsed.invocation;
    if (invocation.verbose)
        enableLibraryTrace();
    try {
        const Report report = run(invocation);
        print(invocation.json ? report.json.dump(2) + "\n" : report.text);
        if (!report.reason.empty())
            std::fprintf(stderr, "cfctool: %s\n", report.reason.c_str());
        return report.exitCode;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "cfctool: %s\n", failure.what());
        if (invocation.json) {
            nlohmann::ordered_json error = {{"message", failure.what()}};
            error["library_error"] = failure.libraryError()
                                         ? nlohmann::ordered_json(*failure.libraryError())
                                         : nlohmann::ordered_json();
            print(nlohmann::ordered_json{{"error", error}}.dump(2) + "\n");
        }
        return failure.exitCode();
    }
}
