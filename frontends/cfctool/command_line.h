// cfctool's command line: `cfctool <com-port> <command> [arguments]`, and the
// commands that need no module without a port. Built on CLI11, which gives
// every command its --help.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cfctool {

enum class Command {
    Info,
    AutoStart,
    UserRead,
    UserWrite,
    UserDelete,
    UserEraseAll,
    CalCheck,
    CalRead,
    CalWrite,
    CalEraseAll,
    Backup,
    Restore,
    At,
    TraceCapture,
    TraceDecode,
    Ports,
};

// Whether the command talks to a module (and so needs a COM port).
bool needsModule(Command command);

struct Invocation {
    Command command = Command::Info;
    int port = 0; // 0: none given
    bool json = false;
    bool verbose = false;

    // Numbers as checked on the command line; the command's own range.
    uint64_t id = 0;
    uint64_t value = 0;
    std::optional<uint64_t> size;
    bool qv = false;
    std::string file;   // input file, backup directory, trace file
    std::string output; // -o
    bool on = false;
    bool verifyImei = false;
    uint64_t firstId = 0;
    std::optional<uint64_t> lastId;
    std::string text;
    unsigned waitSeconds = 0;
    unsigned seconds = 0;
    std::string format = "text";
    bool all = false;
};

// What parsing decided: run `invocation`, or end at once with `exitCode`
// after what was printed (help, or a usage error on standard error).
struct Parsed {
    std::optional<Invocation> invocation;
    int exitCode = 0;
};

Parsed parseCommandLine(int argc, const char* const argv[]);

} // namespace cfctool
