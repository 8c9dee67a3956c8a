// The five library calls the main window makes, behind an interface so that
// the window's logic can be tried against a stand-in.
#pragma once

#include <cstdint>

namespace kestrix {

class ModuleLibrary {
public:
    virtual ~ModuleLibrary() = default;

    virtual std::uint32_t comOpen(std::int32_t portNum, std::int32_t baudRate,
                                  std::uint32_t traceHandle) = 0;
    virtual std::int32_t initServiceMode(std::uint32_t handle) = 0;
    virtual std::int32_t switchJavaAutoStart(std::uint32_t handle, std::uint8_t on) = 0;
    virtual std::int32_t switchOff(std::uint32_t handle) = 0;
    virtual std::int32_t comClose(std::uint32_t handle) = 0;
};

// The CFC library itself.
ModuleLibrary& cfcLibrary();

} // namespace kestrix
