// The five library calls the main window makes, behind an interface so that
// the window's logic can be tried against a stand-in, and what the window
// tells beside them: why a step failed, and the library's long waits.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kestrix {

// The steps that can fail, in their order; a failed open fails the first.
enum class FailedStep { ServiceMode, AutoStart, SwitchOff };

class ModuleLibrary {
public:
    virtual ~ModuleLibrary() = default;

    virtual std::uint32_t comOpen(std::int32_t portNum, std::int32_t baudRate,
                                  std::uint32_t traceHandle) = 0;
    virtual std::int32_t initServiceMode(std::uint32_t handle) = 0;
    virtual std::int32_t switchJavaAutoStart(std::uint32_t handle, std::uint8_t on) = 0;
    virtual std::int32_t switchOff(std::uint32_t handle) = 0;
    virtual std::int32_t comClose(std::uint32_t handle) = 0;

    // Why `step` failed on COM<port>, asked before the connection is closed:
    // the device, the system's reason or the library's error, and what
    // usually helps. Empty when there is nothing to add.
    virtual std::string failureReason(FailedStep, std::int32_t /*port*/, std::uint32_t /*handle*/)
    {
        return {};
    }
    // The window is closing while a sequence runs: the sequence's port is
    // released at once, so that its steps fail and it ends soon.
    virtual void abandonRun() {}
    // `observer` hears, on the sequence's thread, what the library waits for
    // once a wait has gone on for a while ("" when it ended); null stops it.
    virtual void watchWaits(std::function<void(const std::string&)> /*observer*/) {}
};

// The CFC library itself.
ModuleLibrary& cfcLibrary();

} // namespace kestrix
