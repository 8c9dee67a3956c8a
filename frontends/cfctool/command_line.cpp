#include "command_line.h"

#include "failure.h"
#include "module.h"
#include "numbers.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <set>

namespace cfctool {

namespace {

constexpr uint64_t kMaxU8 = 0xFF;
constexpr uint64_t kMaxU16 = 0xFFFF;
constexpr uint64_t kMaxU32 = 0xFFFFFFFF;

const char* const kDescription =
    "Service commands for a radio module on a serial port: its identity, its NVRAM user\n"
    "and calibration items (with a backup that can be put back and proven the same), AT\n"
    "commands through its firmware, its Java autostart and its signal trace.\n"
    "<com-port> is written as for vornax: com1 up to com99 (CFC_COM<n> or ports.ini\n"
    "map it to a device on Linux). Numbers are decimal or 0x hexadecimal.\n";

const char* const kFooter =
    "Results go to standard output (one JSON document with --json), reasons to standard\n"
    "error. Exit codes: 0 success, 1 the module or the library failed or refused, 2 usage.\n"
    "Each command has its own --help; man cfctool has examples.";

// Puts <com-port> where a module command takes it in every usage line.
class UsageFormatter : public CLI::Formatter {
public:
    std::set<const CLI::App*> moduleCommands;
    const CLI::App* root = nullptr;

    std::string make_usage(const CLI::App* app, std::string name) const override
    {
        if (app == root)
            return "Usage: cfctool [--json] [-v] <com-port> COMMAND [ARGUMENTS]\n"
                   "       cfctool [--json] ports | trace decode FILE\n";
        std::string usage = CLI::Formatter::make_usage(app, std::move(name));
        for (const CLI::App* at = app; at != nullptr; at = at->get_parent()) {
            if (moduleCommands.count(at) != 0) {
                const std::string head = "Usage: cfctool ";
                if (usage.rfind(head, 0) == 0)
                    usage.insert(head.size(), "<com-port> ");
                break;
            }
        }
        return usage;
    }
};

CLI::Validator numberUpTo(uint64_t max, const std::string& name)
{
    return CLI::Validator(
        [max](std::string& text) -> std::string {
            if (parseNumber(text, max))
                return {};
            return "not a number from 0 to " + std::to_string(max) +
                   " (decimal or 0x hexadecimal): " + text;
        },
        name);
}

// A positional or option number, checked by CLI11 and converted after.
struct NumberArgument {
    std::string text;
    uint64_t max;

    uint64_t value() const { return text.empty() ? 0 : *parseNumber(text, max); }
};

struct Builder {
    CLI::App& app;
    UsageFormatter& formatter;
    Invocation& invocation;
    std::optional<Command>& chosen;
    std::vector<std::unique_ptr<NumberArgument>> numbers;

    CLI::App* command(CLI::App* parent, const std::string& name, const std::string& description,
                      std::optional<Command> command, bool module)
    {
        CLI::App* sub = parent->add_subcommand(name, description);
        if (command)
            sub->callback([this, command] { chosen = *command; });
        if (module)
            formatter.moduleCommands.insert(sub);
        return sub;
    }

    NumberArgument* number(CLI::App* sub, const std::string& name, uint64_t max,
                           const std::string& description, bool required = true)
    {
        numbers.push_back(std::make_unique<NumberArgument>(NumberArgument{{}, max}));
        NumberArgument* argument = numbers.back().get();
        CLI::Option* option =
            sub->add_option(name, argument->text, description)->check(numberUpTo(max, "NUMBER"));
        if (required)
            option->required();
        return argument;
    }
};

void addNvram(Builder& b, CLI::App* nvram, NumberArgument*& id, NumberArgument*& value,
              NumberArgument*& size)
{
    Invocation& inv = b.invocation;
    CLI::App* user = b.command(nvram, "user", "NVRAM user items: a 32-bit id and a 16-bit value",
                               std::nullopt, true);
    user->require_subcommand(1);
    CLI::App* read =
        b.command(user, "read", "Read a user item: its bytes in hexadecimal, or into -o FILE",
                  Command::UserRead, true);
    id = b.number(read, "id", kMaxU32, "user item id");
    value = b.number(read, "value", kMaxU16, "16-bit value passed to the firmware");
    size = b.number(read, "--size", kMaxU16, "at most this many bytes (default: as many as fit)",
                    false);
    read->add_option("-o,--output", inv.output, "write the bytes into this file");

    CLI::App* write =
        b.command(user, "write", "Write a user item from a file", Command::UserWrite, true);
    NumberArgument* writeId = b.number(write, "id", kMaxU32, "user item id");
    NumberArgument* writeValue = b.number(write, "value", kMaxU16, "16-bit value");
    write->add_option("file", inv.file, "the item's bytes")->required();
    CLI::App* remove = b.command(user, "delete", "Delete a user item", Command::UserDelete, true);
    NumberArgument* deleteId = b.number(remove, "id", kMaxU32, "user item id");
    NumberArgument* deleteValue = b.number(remove, "value", kMaxU16, "16-bit value");
    b.command(user, "erase-all", "Erase every user item", Command::UserEraseAll, true);
    // Whichever of them ran, one place holds the numbers.
    write->callback([&b, writeId, writeValue, &id, &value] {
        b.chosen = Command::UserWrite;
        id = writeId;
        value = writeValue;
    });
    remove->callback([&b, deleteId, deleteValue, &id, &value] {
        b.chosen = Command::UserDelete;
        id = deleteId;
        value = deleteValue;
    });
}

void addCalibration(Builder& b, CLI::App* nvram, NumberArgument*& id)
{
    Invocation& inv = b.invocation;
    CLI::App* cal = b.command(nvram, "cal",
                              "NVRAM calibration items: 8-bit ids, or 16-bit ids of the QV family "
                              "with --qv",
                              std::nullopt, true);
    cal->require_subcommand(1);
    cal->add_flag("--qv", inv.qv, "the QV family (16-bit ids)");
    cal->fallthrough();
    const uint64_t maxId = kMaxU16; // narrowed to 8 bits after parsing without --qv
    struct Row {
        const char* name;
        const char* description;
        Command command;
    };
    const Row rows[] = {
        {"check", "Say whether the module has the item", Command::CalCheck},
        {"read", "Read an item: its bytes in hexadecimal, or into -o FILE", Command::CalRead},
        {"write", "Write an item from a file", Command::CalWrite},
    };
    for (const Row& row : rows) {
        CLI::App* sub = b.command(cal, row.name, row.description, std::nullopt, true);
        NumberArgument* subId = b.number(sub, "id", maxId, "calibration item id");
        if (row.command == Command::CalRead)
            sub->add_option("-o,--output", inv.output, "write the bytes into this file");
        if (row.command == Command::CalWrite)
            sub->add_option("file", inv.file, "the item's bytes")->required();
        sub->callback([&b, subId, &id, command = row.command] {
            b.chosen = command;
            id = subId;
        });
    }
    b.command(cal, "erase-all", "Erase every calibration item", Command::CalEraseAll, true);
}

} // namespace

bool needsModule(Command command)
{
    return command != Command::TraceDecode && command != Command::Ports;
}

Parsed parseCommandLine(int argc, const char* const argv[])
{
    Invocation inv;
    // The port comes before the command, as for vornax; CLI11 sees the rest.
    std::vector<const char*> rest = {argc > 0 ? argv[0] : "cfctool"};
    bool portSeen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool looksLikePort = argument.size() >= 3 && (argument[0] | 0x20) == 'c' &&
                                   (argument[1] | 0x20) == 'o' && (argument[2] | 0x20) == 'm';
        if (!portSeen && argument[0] != '-' && rest.size() == static_cast<size_t>(i) &&
            looksLikePort) {
            inv.port = parseComPort(argument);
            if (inv.port == 0) {
                std::fprintf(stderr, "cfctool: \"%s\" is not a port: com1 up to com99\n",
                             argument.c_str());
                return {std::nullopt, kExitUsage};
            }
            portSeen = true;
            continue;
        }
        if (argument.empty() || argument[0] != '-')
            portSeen = true; // the command word: a port after it is an argument
        rest.push_back(argv[i]);
    }

    CLI::App app(kDescription, "cfctool");
    auto formatter = std::make_shared<UsageFormatter>();
    formatter->root = &app;
    app.formatter(formatter);
    app.footer(kFooter);
    app.require_subcommand(1);
    app.fallthrough();
    app.add_flag("--json", inv.json, "print one JSON document on standard output");
    app.add_flag("-v,--verbose", inv.verbose,
                 "switch the library's trace file on (tracefiles/tracefile.txt)");

    std::optional<Command> chosen;
    Builder b{app, *formatter, inv, chosen, {}};
    NumberArgument* id = nullptr;
    NumberArgument* value = nullptr;
    NumberArgument* size = nullptr;
    NumberArgument* calId = nullptr;

    b.command(&app, "info",
              "The module's bootloader, firmware version, RPC version, IMEI, serial numbers, "
              "mobile information and operation mode",
              Command::Info, true);

    CLI::App* autostart = b.command(&app, "autostart",
                                    "Switch the Java autostart on or off and the module off, "
                                    "as vornax does",
                                    Command::AutoStart, true);
    std::string state;
    autostart->add_option("state", state, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));

    CLI::App* nvram = b.command(&app, "nvram", "The module's NVRAM items", std::nullopt, true);
    nvram->require_subcommand(1);
    addNvram(b, nvram, id, value, size);
    addCalibration(b, nvram, calId);
    CLI::App* backup = b.command(nvram, "backup",
                                 "Copy every calibration item the module has into DIR, one file "
                                 "an item, with DIR/manifest.json",
                                 Command::Backup, true);
    backup->add_option("dir", inv.file, "a new or empty directory")->required();
    backup->add_flag("--qv", inv.qv, "the QV family (16-bit ids)");
    NumberArgument* first =
        b.number(backup, "--first", kMaxU16, "first id looked for (default 0)", false);
    NumberArgument* last =
        b.number(backup, "--last", kMaxU16, "last id looked for (default 255)", false);
    CLI::App* restore = b.command(nvram, "restore",
                                  "Write the items of a backup back and read each back to prove "
                                  "it the same",
                                  Command::Restore, true);
    restore->add_option("dir", inv.file, "a directory made by nvram backup")->required();
    restore->add_flag("--verify-imei", inv.verifyImei,
                      "refuse a backup taken from a module with another IMEI");

    CLI::App* at = b.command(&app, "at",
                             "Send one AT command through the firmware and print "
                             "the module's texts",
                             Command::At, true);
    at->add_option("text", inv.text, "the command line, e.g. ATI")->required();
    at->add_option("--wait", inv.waitSeconds,
                   "wait up to this many seconds for further texts until OK or ERROR")
        ->check(CLI::Range(0u, 3600u));

    CLI::App* trace = b.command(&app, "trace", "The module's signal trace", std::nullopt, false);
    trace->require_subcommand(1);
    CLI::App* capture =
        b.command(trace, "capture", "Record the signal trace with the settings of an INI file",
                  Command::TraceCapture, true);
    capture->add_option("--ini", inv.file, "the signal-trace settings ([Global] Enable=1, ...)")
        ->required();
    capture->add_option("--seconds", inv.seconds, "how long to record")
        ->required()
        ->check(CLI::Range(1u, 86400u));
    CLI::App* decode = b.command(trace, "decode",
                                 "Print the records of a signal-trace record "
                                 "file (.flg); no module needed",
                                 Command::TraceDecode, false);
    decode->add_option("file", inv.file, "a cfcNNN.flg file")->required();
    decode->add_option("--format", inv.format, "text, csv or json")
        ->check(CLI::IsMember({"text", "csv", "json"}));

    CLI::App* ports = b.command(&app, "ports",
                                "The COM numbers whose devices are there, with those devices; "
                                "no module needed",
                                Command::Ports, false);
    ports->add_flag("--all", inv.all, "every COM number that maps to a device, there or not");

    try {
        app.parse(static_cast<int>(rest.size()), rest.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            app.exit(error, std::cout, std::cerr);
            return {std::nullopt, kExitSuccess};
        }
        std::fprintf(stderr, "cfctool: %s\ncfctool: run cfctool --help for the commands\n",
                     error.what());
        return {std::nullopt, kExitUsage};
    }
    if (!chosen) {
        std::fprintf(stderr, "cfctool: no command given; run cfctool --help for the commands\n");
        return {std::nullopt, kExitUsage};
    }
    inv.command = *chosen;
    inv.on = state == "on";
    if (id != nullptr) {
        inv.id = id->value();
        inv.value = value != nullptr ? value->value() : 0;
    }
    if (size != nullptr && !size->text.empty())
        inv.size = size->value();
    if (calId != nullptr) {
        inv.id = calId->value();
        if (!inv.qv && inv.id > kMaxU8) {
            std::fprintf(stderr, "cfctool: calibration id %llu is above 255; QV ids take --qv\n",
                         static_cast<unsigned long long>(inv.id));
            return {std::nullopt, kExitUsage};
        }
    }
    inv.firstId = first->value();
    if (!last->text.empty())
        inv.lastId = last->value();

    if (needsModule(inv.command) && inv.port == 0) {
        std::fprintf(stderr, "cfctool: this command talks to a module: give its port first, "
                             "e.g. cfctool com3 ...\n");
        return {std::nullopt, kExitUsage};
    }
    if (!needsModule(inv.command) && inv.port != 0) {
        std::fprintf(stderr, "cfctool: this command needs no module; leave the port out\n");
        return {std::nullopt, kExitUsage};
    }
    return {inv, kExitSuccess};
}

} // namespace cfctool
