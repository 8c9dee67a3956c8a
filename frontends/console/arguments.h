// The command line of vornax: which options were given and on which COM port
// the switch-off sequence is to run. A pure check: it prints and opens nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vornax {

// Rows of the option table; a row's index is also the place of its flag.
enum class Option : std::size_t { Port = 0, Help = 1, Query = 2, Version = 3 };
inline constexpr std::size_t optionCount = 4;

struct CommandLine {
    std::array<bool, optionCount> seen{};
    std::int32_t port = 0;

    bool has(Option option) const { return seen[static_cast<std::size_t>(option)]; }
};

// Checks the arguments main receives. Nothing when there are not one to three
// arguments after the program name or when one of them is not recognised;
// the caller then prints the usage text. `problem`, when given, receives what
// was wrong in a few words for the user ("\"com0\": port 0 is outside com1 up
// to com99").
std::optional<CommandLine> scanArguments(int argc, const char* const argv[],
                                         std::string* problem = nullptr);

} // namespace vornax
