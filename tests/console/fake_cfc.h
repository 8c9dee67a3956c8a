// A stand-in for the CFC library's main path: records each call into the same
// stream the front end prints to, and fails the step it is told to.
#pragma once

#include <cstdint>
#include <cstdio>

namespace fakecfc {

enum class FailAt { Nothing, ServiceMode, AutoStart, SwitchOff };

void reset(std::FILE* log, FailAt failAt);

inline constexpr std::uint32_t handle = 0xCFC01CFC;

} // namespace fakecfc
