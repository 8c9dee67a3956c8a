#include "module.h"

#include "failure.h"

#include "cfc.h"

#include "plat/port_probe.h"
#include "plat/portmap.h"

#include <cstdio>
#include <filesystem>

namespace cfctool {

namespace {

constexpr int32_t kBaudRate = 115200;
// No test system's trace sink.
constexpr uint32_t kNoTraceSink = 0;
constexpr int kFirstPort = 1;
constexpr int kLastPort = 99;

std::string openRefusal(int port)
{
    int32_t asked = 0;
    int32_t systemError = 0;
    char device[4096] = {};
    char reason[256] = {};
    const int32_t kind =
        WGetLastOpenFailure(&asked, &systemError, device, sizeof device, reason, sizeof reason);
    std::string text = "cannot open " + portName(port) + ": ";
    switch (kind) {
    case CFC_OPEN_NO_DEVICE:
        if (device[0] == '\0')
            return text + "no device is mapped to it (CFC_COM" + std::to_string(port) +
                   "=<device> maps one)";
        return text + reason;
    case CFC_OPEN_SLOT_IN_USE: return text + "this program has it open already";
    case CFC_OPEN_OK: return text + "the connection could not be set up";
    default: return text + reason;
    }
}

} // namespace

int parseComPort(const std::string& text)
{
    if (text.size() < 4 || text.size() > 5)
        return 0;
    for (size_t i = 0; i < 3; ++i)
        if ((text[i] | 0x20) != "com"[i])
            return 0;
    int number = 0;
    for (size_t i = 3; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        number = number * 10 + (text[i] - '0');
    }
    return number >= kFirstPort && number <= kLastPort ? number : 0;
}

std::string portName(int port)
{
    std::string name = "COM" + std::to_string(port);
    if (const auto device = plat::comPortPath(port))
        name += " (" + *device + ")";
    return name;
}

Module::Module(int port) : port_(port)
{
    // Raising DTR and writing AT commands to the kernel's console disturbs
    // it and reaches no module; a technician who means it maps another port.
    if (const auto device = plat::comPortPath(port); device && plat::isKernelConsole(*device))
        throw Failure(kExitFailed, portName(port) + " is the kernel's console; not opened");
    handle_ = WComOpen(port, kBaudRate, kNoTraceSink);
    if (handle_ == 0)
        throw Failure(kExitFailed, openRefusal(port));
    if (!WInitServiceMode(handle_)) {
        const std::string reason =
            portName(port) + ": the module did not come into service mode: " + lastErrorText();
        const uint16_t code = lastError();
        WComClose(handle_);
        handle_ = 0;
        throw Failure(kExitFailed, reason, code);
    }
}

Module::~Module()
{
    if (handle_ != 0)
        WComClose(handle_);
}

void Module::require(int32_t result, const std::string& what) const
{
    if (result == 0)
        throw Failure(kExitFailed, what + ": " + lastErrorText(), lastError());
}

uint16_t Module::lastError() const
{
    return WGetLastError(handle_);
}

std::string Module::lastErrorText() const
{
    // A step that left no code would read "no error", which is not so.
    if (lastError() == EMMIERR_OK)
        return "the library gave no reason (library error 0)";
    char text[512] = {};
    WGetLastErrorText(handle_, text, sizeof text);
    return std::string(text) + " (library error " + std::to_string(lastError()) + ")";
}

void enableLibraryTrace()
{
    WEnableTraceFile();
    std::error_code ignored;
    const std::filesystem::path file =
        std::filesystem::current_path(ignored) / "tracefiles" / "tracefile.txt";
    std::fprintf(stderr, "cfctool: the library's trace goes to %s\n", file.string().c_str());
}

} // namespace cfctool
