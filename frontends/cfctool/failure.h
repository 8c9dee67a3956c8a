// How a cfctool command ends when it cannot do its job: the exit code a
// script sees and the one line a person reads on standard error.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace cfctool {

inline constexpr int kExitSuccess = 0;
// The module or the library failed, or refused what was asked of it.
inline constexpr int kExitFailed = 1;
// The command line, or a file it names, is not what the command takes.
inline constexpr int kExitUsage = 2;

class Failure : public std::runtime_error {
public:
    Failure(int exitCode, const std::string& reason, std::optional<unsigned> libraryError = {})
        : std::runtime_error(reason), exitCode_(exitCode), libraryError_(libraryError)
    {
    }

    int exitCode() const { return exitCode_; }
    std::optional<unsigned> libraryError() const { return libraryError_; }

private:
    int exitCode_;
    std::optional<unsigned> libraryError_;
};

[[noreturn]] inline void failUsage(const std::string& reason)
{
    throw Failure(kExitUsage, reason);
}

} // namespace cfctool
