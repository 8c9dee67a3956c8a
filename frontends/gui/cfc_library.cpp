#include "module_library.h"

#include "cfc.h"

namespace kestrix {
namespace {

class CfcLibrary final : public ModuleLibrary {
public:
    // The GUI is the program that lets a module's signal trace come out
    // before switching it off.
    // It runs no test case either: the test system's libraries stay out.
    CfcLibrary()
    {
        WSetSwitchOffDrainWait(1);
        WSetTestSystemBinding(0);
    }

    std::uint32_t comOpen(std::int32_t portNum, std::int32_t baudRate,
                          std::uint32_t traceHandle) override
    {
        return WComOpen(portNum, baudRate, traceHandle);
    }
    std::int32_t initServiceMode(std::uint32_t handle) override { return WInitServiceMode(handle); }
    std::int32_t switchJavaAutoStart(std::uint32_t handle, std::uint8_t on) override
    {
        return WSwitchJavaAutoStart(handle, on);
    }
    std::int32_t switchOff(std::uint32_t handle) override { return WSwitchOff(handle); }
    std::int32_t comClose(std::uint32_t handle) override { return WComClose(handle); }
};

} // namespace

ModuleLibrary& cfcLibrary()
{
    static CfcLibrary library;
    return library;
}

} // namespace kestrix
