// A stand-in for the CFC library's main path: records each call into the same
// stream the front end prints to, and fails the step it is told to.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace fakecfc {

// Open: WComOpen returns 0 with the refusal below on record, and every later
// step refuses the handle as the library does.
enum class FailAt { Nothing, Open, ServiceMode, AutoStart, SwitchOff };

struct Refusal {
    std::int32_t kind = 0;
    std::int32_t systemError = 0;
    std::string devicePath;
    std::string reason;
};

void reset(std::FILE* log, FailAt failAt, Refusal refusal = {});

inline constexpr std::uint32_t handle = 0xCFC01CFC;
// What WGetLastError answers for an open handle.
inline constexpr std::uint16_t lastError = 8;

} // namespace fakecfc
