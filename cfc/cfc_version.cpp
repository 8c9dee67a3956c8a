#include "cfc_version.h"

#include "cfc.h"
#include "cfc_arguments.h"
#include "cfc_banner.h"
#include "cfc_connection.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace cfc {

namespace {

constexpr char kItemSeparator = '&';
constexpr std::string_view kBootloaderTag = "Bln-Bootloader";
// A number above this would come out negative as a signed 16-bit value, and
// could then switch on a workaround meant for old firmware.
constexpr int32_t kLargestNumber = INT16_MAX;

// The library's own versions, as traced beside the module's.
constexpr uint16_t kHostRpcMajor = 1;
constexpr uint16_t kHostRpcMinor = 0;

struct WorkaroundEntry {
    std::string_view project;
    int16_t firstWithout; // versions below this need the workaround
};
constexpr WorkaroundEntry kDelayWorkaround[] = {
    {"ZEPHIN", 72},
    {"MARLO", 78},
    {"TIRVAN", 76},
};

template <size_t N>
void copyCut(std::array<char, N>& to, std::string_view from)
{
    to.fill('\0');
    std::copy_n(from.begin(), std::min(from.size(), N - 1), to.begin());
}

template <size_t N>
std::string_view textOf(const std::array<char, N>& field)
{
    return {field.data(), ::strnlen(field.data(), N)};
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int16_t decimalValue(std::string_view digits)
{
    int32_t value = 0;
    for (char c : digits)
        value = std::min(value * 10 + (c - '0'), kLargestNumber);
    return static_cast<int16_t>(value);
}

bool inRange(const TargetVersionInfo& version, std::string_view project, int16_t first,
             int16_t last)
{
    return textOf(version.project) == project && version.versionNumber >= first &&
           version.versionNumber <= last;
}

// Everything before a zero byte; the module's text may carry one early.
std::string_view untilZero(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

void traceItems(const TraceChannel& trace, std::string_view text)
{
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find(kItemSeparator, start), text.size());
        const std::string item(text.substr(start, end - start));
        TraceLine(trace, 2, TargetBannerText(item.c_str()));
        start = end + 1;
    }
}

void traceVersions(const TraceChannel& trace, uint32_t hardwareId, uint32_t rpcVersion)
{
    TraceLineF(trace, 2, "(CFC ) Host  : CFC %04x.%04x", kLibraryVersionMajor,
               kLibraryVersionMinor);
    TraceLineF(trace, 2, "(CFC ) Host  : RPC %04x.%04x", kHostRpcMajor, kHostRpcMinor);
    OpTrace(trace, "(CFC )", "Target")
        .step(2, "RPC %04x.%04x", rpcVersion >> 16, rpcVersion & 0xFFFFu);
    OpTrace(trace, "(CFC )", "Target").step(2, "HW  %08x", hardwareId);
}

void evaluate(Connection& connection, std::string_view text)
{
    const TraceChannel& trace = connection.trace;
    TargetVersionInfo& version = connection.target.version;
    version.project.fill('\0');
    version.postfix.fill('\0');
    const FirmwareName name = EvaluateFirmwareName(text);
    if (name.evaluated) {
        version.project = name.project;
        version.postfix = name.postfix;
        version.versionNumber = name.number;
    }
    traceItems(trace, text);

    if (!textOf(version.project).empty())
        OpTrace(trace, "(CFC )", "GetTargetVersion")
            .step(2, "SW project evaluated to '%s'", version.project.data());
    if (version.versionNumber != 0)
        OpTrace(trace, "(CFC )", "GetTargetVersion")
            .step(2, "SW version number evaluated to %d", version.versionNumber);
    if (!textOf(version.postfix).empty())
        OpTrace(trace, "(CFC )", "GetTargetVersion")
            .step(2, "SW postfix evaluated to '%s'", version.postfix.data());

    const bool workaround = NeedsDelayWorkaround(textOf(version.project), version.versionNumber);
    if (workaround)
        TraceLine(trace, 2, "SW version requires DelayNextSend WA");
    connection.pacer.setDelayWorkaround(workaround);
}

} // namespace

FirmwareName EvaluateFirmwareName(std::string_view text)
{
    FirmwareName name;
    text = untilZero(text);
    const size_t itemEnd = text.find(kItemSeparator);
    if (itemEnd == std::string_view::npos)
        return name;
    const std::string_view item = text.substr(0, itemEnd);
    const size_t colon = item.find(':');
    if (colon == std::string_view::npos)
        return name;
    const std::string_view part = item.substr(0, colon);
    // Without "_" the number has no start; such a name is not evaluated.
    const size_t lastUnderscore = part.rfind('_');
    if (lastUnderscore == std::string_view::npos)
        return name;

    const std::string_view tail = part.substr(lastUnderscore + 1);
    const size_t digits =
        static_cast<size_t>(std::find_if_not(tail.begin(), tail.end(), isDigit) - tail.begin());
    name.evaluated = true;
    name.number = decimalValue(tail.substr(0, digits));
    copyCut(name.postfix, tail.substr(digits));
    copyCut(name.project, part.substr(0, part.find('_')));
    return name;
}

std::string_view FindBootloaderItem(std::string_view text)
{
    text = untilZero(text);
    const size_t start = text.find(kBootloaderTag);
    if (start == std::string_view::npos)
        return {};
    const size_t end = text.find(kItemSeparator, start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

bool NeedsDelayWorkaround(std::string_view project, int16_t number)
{
    return std::any_of(std::begin(kDelayWorkaround), std::end(kDelayWorkaround),
                       [&](const WorkaroundEntry& entry) {
                           return entry.project == project && number < entry.firstWithout;
                       });
}

bool NeedsGprsDetach(const TargetVersionInfo& version)
{
    const std::string_view postfix = textOf(version.postfix);
    const bool detachBuiltIn = textOf(version.project) == "ZEPHIN" &&
                               version.versionNumber == 232 && postfix.size() == 1 &&
                               postfix[0] >= 'A' && postfix[0] <= 'G';
    return !detachBuiltIn;
}

bool NeedsTestModeFinish(const TargetVersionInfo& version)
{
    const std::string_view project = textOf(version.project);
    const bool oldFirmware = (project == "ZEPHIN" || project == "TIRVAN" || project == "MARLO") &&
                             version.versionNumber < 136;
    return !oldFirmware;
}

bool ConfirmsAutoStartWhenAskedAgain(const TargetVersionInfo& version)
{
    return inRange(version, "MARLO", 207, 229) || inRange(version, "OSKEL", 3, 27);
}

void EvaluateTargetVersion(Connection& connection, std::string_view text, uint32_t hardwareId,
                           uint32_t rpcVersion)
{
    const TraceChannel& trace = connection.trace;
    TargetVersionInfo& version = connection.target.version;
    text = untilZero(text);
    const std::string_view bootloader = FindBootloaderItem(text);
    // Without an item the text is emptied rather than kept: what it held came
    // from the module of an earlier connection of the slot.
    copyCut(version.bootloader, bootloader);
    if (bootloader.empty())
        TraceLine(trace, 2, "(CFC) Bootloader info not found");
    version.rpcVersion = static_cast<uint8_t>(rpcVersion & 0xFF);
    version.rpcVersionWord = rpcVersion;
    traceVersions(trace, hardwareId, rpcVersion);
    evaluate(connection, text);
}

} // namespace cfc

extern "C" int32_t WGetBootloaderVersion(uint32_t handle, char* text)
{
    cfc::Connection* connection = cfc::ConnectionOf(handle);
    if (connection == nullptr)
        return 0;
    if (cfc::RefuseBadArgument(*connection, "WGetBootloaderVersion",
                               {cfc::Argument::needed(text, "text")}))
        return 0;
    if (connection->target.version.gotTargetVersion == 0) {
        connection->storeError(EMMIERR_VERSION_UNKNOWN);
        std::memset(text, 0, cfc::kBootloaderTextSize);
        return 0;
    }
    std::memcpy(text, connection->target.version.bootloader.data(), cfc::kBootloaderTextSize);
    return 1;
}

extern "C" int32_t WGetTargetVersion(uint32_t handle, char* project, uint32_t projectSize,
                                     int16_t* pNumber, char* postfix, uint32_t postfixSize,
                                     uint32_t* pRpcVersion)
{
    const cfc::Connection* connection = cfc::ConnectionOf(handle);
    const bool known = connection != nullptr && connection->target.version.gotTargetVersion != 0;
    const cfc::TargetVersionInfo unknown{};
    const cfc::TargetVersionInfo& version = known ? connection->target.version : unknown;
    const auto copyText = [](char* to, uint32_t size, const auto& from) {
        if (to == nullptr || size == 0)
            return;
        const size_t held =
            static_cast<size_t>(std::find(from.begin(), from.end(), '\0') - from.begin());
        const size_t length = std::min<size_t>(held, size - 1);
        std::memcpy(to, from.data(), length);
        to[length] = '\0';
    };
    copyText(project, projectSize, version.project);
    copyText(postfix, postfixSize, version.postfix);
    if (pNumber != nullptr)
        *pNumber = version.versionNumber;
    if (pRpcVersion != nullptr)
        *pRpcVersion = version.rpcVersionWord;
    return known ? 1 : 0;
}
