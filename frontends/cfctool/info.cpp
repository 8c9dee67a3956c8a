// info and autostart: what the module says of itself, and the main job.
#include "failure.h"
#include "module.h"
#include "numbers.h"
#include "report.h"

#include "cfc.h"

#include <array>
#include <cstdio>
#include <functional>

namespace cfctool {

namespace {

constexpr size_t kBootloaderSize = 25;
constexpr size_t kImeiSize = 8;
constexpr size_t kSerialNumberSize = 8;
constexpr size_t kFlashSerialNumberSize = 4;
constexpr size_t kMobileInfoSize = 17;

// Printable bytes as they are, the rest as '.', for the text form beside
// the hexadecimal.
std::string printable(std::span<const uint8_t> bytes)
{
    std::string text;
    for (const uint8_t byte : bytes)
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    return text;
}

struct Lines {
    Report& report;

    void add(const char* key, const char* label, const nlohmann::ordered_json& value,
             const std::string& text)
    {
        report.json[key] = value;
        char line[256];
        std::snprintf(line, sizeof line, "%-22s %s\n", label, text.c_str());
        report.text += line;
    }
};

} // namespace

Report runInfo(const Invocation& invocation)
{
    Module module(invocation.port);
    const uint32_t handle = module.handle();
    Report report;
    Lines lines{report};
    lines.add("port", "port", "COM" + std::to_string(module.port()), portName(module.port()));

    // The version became known with the first call into the firmware.
    char bootloader[kBootloaderSize] = {};
    if (WGetBootloaderVersion(handle, bootloader) && bootloader[0] != '\0')
        lines.add("bootloader", "bootloader", bootloader, bootloader);
    char project[64] = {};
    char postfix[32] = {};
    int16_t number = 0;
    uint32_t rpcVersion = 0;
    if (WGetTargetVersion(handle, project, sizeof project, &number, postfix, sizeof postfix,
                          &rpcVersion)) {
        if (project[0] != '\0') {
            lines.add("project", "project", project, project);
            lines.add("version_number", "version number", number, std::to_string(number));
            lines.add("postfix", "postfix", postfix, postfix[0] != '\0' ? postfix : "(none)");
        }
        const std::string rpc =
            std::to_string(rpcVersion >> 16) + "." + std::to_string(rpcVersion & 0xFFFF);
        lines.add("rpc_version", "RPC version", rpc, rpc);
    }

    // Each identity item the module gives; one it refuses is left out and
    // said on standard error, the others still count.
    struct Item {
        const char* key;
        const char* label;
        size_t size;
        std::function<int32_t(uint8_t*)> read;
        bool withText;
    };
    const Item items[] = {
        {"imei", "IMEI", kImeiSize, [&](uint8_t* to) { return WReadIMEI(handle, to); }, false},
        {"serial_number", "serial number", kSerialNumberSize,
         [&](uint8_t* to) { return WReadSerialNumber(handle, to); }, true},
        {"flash_serial_number", "flash serial number", kFlashSerialNumberSize,
         [&](uint8_t* to) { return WGetFlashSerialNumber(handle, to); }, false},
        {"mobile_information", "mobile information", kMobileInfoSize,
         [&](uint8_t* to) { return WGetMobileInformation(handle, to); }, true},
    };
    for (const Item& item : items) {
        std::array<uint8_t, 32> bytes{};
        if (!item.read(bytes.data())) {
            std::fprintf(stderr, "cfctool: the module gives no %s: %s\n", item.label,
                         module.lastErrorText().c_str());
            continue;
        }
        const std::span<const uint8_t> field(bytes.data(), item.size);
        std::string text = hexText(field);
        if (item.withText)
            text += "  \"" + printable(field) + "\"";
        lines.add(item.key, item.label, hexText(field), text);
    }
    // Every command brings the module into service mode, and the library
    // has read that mode back from the module before it got here.
    lines.add("operation_mode", "operation mode", "service", "service");
    return report;
}

Report runAutoStart(const Invocation& invocation)
{
    Module module(invocation.port);
    const char* state = invocation.on ? "on" : "off";
    module.require(WSwitchJavaAutoStart(module.handle(), invocation.on ? 1 : 0),
                   std::string("the module did not switch its Java autostart ") + state);
    module.require(WSwitchOff(module.handle()), "the module did not switch off");
    Report report;
    report.json["autostart"] = state;
    report.json["switched_off"] = true;
    report.text =
        std::string("Java autostart switched ") + state + "; the module is switched off\n";
    return report;
}

} // namespace cfctool
