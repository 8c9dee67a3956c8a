// The operating system's error numbers, as the library reports them to users.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

// What a refused port open means for the user; the fix differs by kind.
enum class OpenProblem : uint8_t {
    NoDevice, // nothing there under that name
    Denied,   // there, but this user may not open it
    Busy,     // held by another program
    Other,
};

OpenProblem classifyOpenError(int sysError);

// The system's own words for an error number.
std::string systemErrorText(int sysError);

} // namespace plat
