#include "command_line.h"

#include <charconv>
#include <limits>
#include <optional>
#include <utility>

namespace sim {

const std::string_view kUsage =
    "usage: cfcsim [options]\n"
    "Plays a radio module's side of a serial line, so vornax and kestrix can be\n"
    "tried without one: its AT mode (at, at^sqwe=1), the EMMI frames with their\n"
    "acknowledgements, the firmware's remote procedure calls (version, operation\n"
    "mode, Java autostart, switch-off) and the faults chosen below. It opens a new\n"
    "pseudo-terminal and prints the terminal's path as its first line. Runs until\n"
    "SIGINT or SIGTERM, or until standard input ends when that is a pipe or a\n"
    "terminal.\n"
    "\n"
    "Point vornax at it through the port map:\n"
    "  cfcsim --mode=at </dev/null &    prints e.g. /dev/pts/4, runs until killed\n"
    "  CFC_COM3=/dev/pts/4 vornax com3\n"
    "  kill %1\n"
    "\n"
    "A pseudo-terminal has no modem lines: DTR, the module's ignition, cannot be\n"
    "set on it, so a module that must be booted (--mode=off, and the bootloader\n"
    "options --no-firmware, --service-boot, --pattern-answer, --boot-version)\n"
    "cannot be booted through it. Those scenarios run on the in-memory line of\n"
    "the tests; here, start the module in at or emmi mode.\n"
    "\n"
    "The module:\n"
    "  --mode=at|emmi|off        state of its serial side at the start (default at)\n"
    "  --no-firmware             only the bootloader works: after a boot nothing answers\n"
    "  --service-boot=emmi|at    serial mode the firmware starts in after the\n"
    "                            bootloader dialogue (default emmi)\n"
    "  --at-answers=normal|switch-error|upper-echo\n"
    "                            answer at^sqwe=1 with ERROR, or echo in capitals\n"
    "  --pattern-answer=N|never  answer the Nth bootloader start pattern (default 1)\n"
    "  --boot-version=M.N|refused|silent\n"
    "                            answer to the bootloader's version command (default 1.3)\n"
    "  --version-text=TEXT       the firmware's version text\n"
    "  --operation-mode=normal|service|test|airplane\n"
    "                            operation mode at every start of the firmware\n"
    "  --keep-operation-mode     confirm a change of operation mode, but stay\n"
    "  --autostart=on|off        Java autostart setting at the start (default on)\n"
    "  --autostart-result=N      result byte of the autostart confirm (default 0)\n"
    "  --autostart-confirm=at-once|after-fallback|never\n"
    "                            after-fallback: no confirm until the request comes\n"
    "                            again under its fallback id\n"
    "  --never-silent            keep answering after the switch-off request\n"
    "  --calibrated              hold the calibration items of a calibrated module\n"
    "                            (ids 0 to 7 and 18) from the start\n"
    "\n"
    "Faults on the EMMI line:\n"
    "  --nak-first[=N]           answer the first transmission of N host frames with NAK\n"
    "  --corrupt-bcc[=N]         send N module frames with a wrong check byte\n"
    "  --drop-frame[=N]          leave N module frames out\n"
    "  --repeat-frame[=N]        send N acknowledged module frames once more\n"
    "  --interleave-trace[=N]    put a signal-trace frame between two frames of a\n"
    "                            module message, N times\n"
    "  --stray-text=TEXT         send TEXT before every module message\n"
    "N is a count or \"all\"; without it a fault strikes once.\n"
    "\n"
    "  --verbose                 trace the line on standard error\n"
    "  --help                    show this text\n";

namespace {

constexpr const char* kHelpPointer = " (cfcsim --help lists the options)";

template <class T>
struct Choice {
    std::string_view name;
    T value;
};

template <class T, size_t N>
bool choose(std::string_view text, const Choice<T> (&choices)[N], T& out)
{
    for (const auto& [name, value] : choices) {
        if (text == name) {
            out = value;
            return true;
        }
    }
    return false;
}

template <class T>
std::optional<T> parseNumber(std::string_view text)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<uint32_t> parseCount(std::string_view text)
{
    return text == "all" ? std::optional<uint32_t>(kEveryTime) : parseNumber<uint32_t>(text);
}

bool parseBootVersion(std::string_view text, BootloaderOptions& bootloader)
{
    if (text == "refused" || text == "silent") {
        bootloader.versionAnswer =
            text == "refused" ? BootVersionAnswer::Refused : BootVersionAnswer::Silent;
        return true;
    }
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos)
        return false;
    const auto major = parseNumber<uint8_t>(text.substr(0, dot));
    const auto minor = parseNumber<uint8_t>(text.substr(dot + 1));
    if (!major || !minor)
        return false;
    bootloader.versionAnswer = BootVersionAnswer::Valid;
    bootloader.versionMajor = *major;
    bootloader.versionMinor = *minor;
    return true;
}

constexpr Choice<Mode> kModes[] = {{"at", Mode::At}, {"emmi", Mode::Emmi}, {"off", Mode::Off}};
constexpr Choice<Mode> kServiceBootModes[] = {{"emmi", Mode::Emmi}, {"at", Mode::At}};
constexpr Choice<AtAnswers> kAtAnswers[] = {{"normal", AtAnswers::Normal},
                                            {"switch-error", AtAnswers::SwitchRefused},
                                            {"upper-echo", AtAnswers::UpperCaseEcho}};
constexpr Choice<OperationMode> kOperationModes[] = {{"normal", OperationMode::Normal},
                                                     {"service", OperationMode::Service},
                                                     {"test", OperationMode::Test},
                                                     {"airplane", OperationMode::Airplane}};
constexpr Choice<bool> kOnOff[] = {{"on", true}, {"off", false}};
constexpr Choice<AutoStartConfirm> kAutoStartConfirms[] = {
    {"at-once", AutoStartConfirm::AtOnce},
    {"after-fallback", AutoStartConfirm::AfterFallback},
    {"never", AutoStartConfirm::Never}};

// One option that takes a value: true when the value was good.
bool takeValue(std::string_view name, std::string_view value, Config& config)
{
    FirmwareOptions& firmware = config.options.firmware;
    BootloaderOptions& bootloader = config.options.bootloader;
    if (name == "--mode")
        return choose(value, kModes, config.mode);
    if (name == "--service-boot")
        return choose(value, kServiceBootModes, firmware.serviceBootMode);
    if (name == "--at-answers")
        return choose(value, kAtAnswers, firmware.atAnswers);
    if (name == "--operation-mode")
        return choose(value, kOperationModes, firmware.operationMode);
    if (name == "--autostart")
        return choose(value, kOnOff, firmware.javaAutoStart);
    if (name == "--autostart-confirm")
        return choose(value, kAutoStartConfirms, firmware.autoStartConfirm);
    if (name == "--boot-version")
        return parseBootVersion(value, bootloader);
    if (name == "--version-text") {
        firmware.versionText = std::string(value);
        return true;
    }
    if (name == "--stray-text") {
        config.options.faults.strayText = std::string(value);
        config.options.faults.strayTextBefore = {0, kEveryTime};
        return true;
    }
    if (name == "--pattern-answer") {
        const auto at =
            value == "never" ? std::optional<uint32_t>(0) : parseNumber<uint32_t>(value);
        bootloader.patternAnswerAt = at.value_or(0);
        return at.has_value();
    }
    if (name == "--autostart-result") {
        const auto result = parseNumber<uint8_t>(value);
        firmware.autoStartResult = result.value_or(0);
        return result.has_value();
    }
    return false;
}

// One switch without a value: true when it is one.
bool takeSwitch(std::string_view name, Config& config)
{
    FirmwareOptions& firmware = config.options.firmware;
    if (name == "--help")
        config.help = true;
    else if (name == "--verbose")
        config.verbose = true;
    else if (name == "--no-firmware")
        firmware.present = false;
    else if (name == "--keep-operation-mode")
        firmware.keepsOperationMode = true;
    else if (name == "--never-silent")
        firmware.silentAfterSwitchOff = false;
    else if (name == "--calibrated")
        firmware.calibrationItems = factoryCalibrationItems();
    else
        return false;
    return true;
}

// A fault with an optional count: nullopt when `name` is none, else whether
// the count was good.
std::optional<bool> takeFault(std::string_view name, std::optional<std::string_view> value,
                              Faults& faults)
{
    const std::pair<std::string_view, FaultPlan Faults::*> countedFaults[] = {
        {"--nak-first", &Faults::nakFirstTransmission},
        {"--corrupt-bcc", &Faults::corruptBcc},
        {"--drop-frame", &Faults::dropFrame},
        {"--repeat-frame", &Faults::repeatFrame},
        {"--interleave-trace", &Faults::interleaveSignalTrace},
    };
    for (const auto& [faultName, plan] : countedFaults) {
        if (name != faultName)
            continue;
        const std::optional<uint32_t> count = value ? parseCount(*value) : 1;
        if (count)
            faults.*plan = {0, *count};
        return count.has_value();
    }
    return std::nullopt;
}

} // namespace

std::string parseArguments(int argc, char** argv, Config& config)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        std::optional<std::string_view> value;
        if (equals != std::string_view::npos)
            value = argument.substr(equals + 1);

        if (const auto fault = takeFault(name, value, config.options.faults)) {
            if (!*fault)
                return "cfcsim: not a count: " + std::string(argument) + kHelpPointer;
            continue;
        }
        const bool taken = value ? takeValue(name, *value, config) : takeSwitch(name, config);
        if (!taken)
            return "cfcsim: unknown option or value: " + std::string(argument) + kHelpPointer;
    }
    return {};
}

} // namespace sim
