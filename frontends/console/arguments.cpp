#include "arguments.h"

#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace vornax {
namespace {

constexpr std::int32_t firstPort = 1;
constexpr std::int32_t lastPort = 99;

// The exact-text rows, in the order they are tried: the port row comes last.
struct ExactRow {
    Option option;
    std::string_view text;
};
constexpr ExactRow exactRows[] = {
    {Option::Version, "-ver"},
    {Option::Query, "-?"},
    {Option::Help, "-h"},
};

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(const char* text, std::string_view prefix)
{
    for (char wanted : prefix) {
        if (*text == '\0' || asciiLower(*text) != wanted)
            return false;
        ++text;
    }
    return true;
}

bool isCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads a number the way atoi does (white space, a sign, digits up to the
// first non-digit; no digits give 0). A number too large for 32 bits stays at
// the largest magnitude instead of overflowing, so it can never wrap round
// into the accepted port range.
std::int32_t atoiNumber(const char* text)
{
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    while (isCSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > limit)
            magnitude = limit;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// Whether atoiNumber finds any digit at all, which tells "com" and "comx"
// apart from "com0".
bool hasNumber(const char* text)
{
    while (isCSpace(*text))
        ++text;
    if (*text == '+' || *text == '-')
        ++text;
    return *text >= '0' && *text <= '9';
}

std::string refusalOf(const char* argument)
{
    const std::string quoted = std::string("\"") + argument + "\"";
    if (startsWithIgnoringCase(argument, "com")) {
        const char* number = argument + std::strlen("com");
        if (!hasNumber(number))
            return quoted + ": no port number after \"com\" (com1 up to com99)";
        return quoted + ": port " + std::to_string(atoiNumber(number)) +
               " is outside com1 up to com99";
    }
    for (const ExactRow& row : exactRows) {
        std::string lower;
        for (const char* c = argument; *c != '\0'; ++c)
            lower += asciiLower(*c);
        if (lower == row.text)
            return quoted +
                   " is not an option; options are written in small letters: -h, -? and -ver";
    }
    return quoted + " is neither an option (-h, -?, -ver) nor a port (com1 up to com99)";
}

} // namespace

std::optional<CommandLine> scanArguments(int argc, const char* const argv[], std::string* problem)
{
    if (argc < 2 || argc > 4) {
        if (problem != nullptr)
            *problem = argc < 2
                           ? "no port given (com1 up to com99)"
                           : std::to_string(argc - 1) + " arguments given; at most 3 are taken";
        return std::nullopt;
    }

    CommandLine line;
    // From the last argument back to the first, so that of several port
    // arguments the one nearest the program name is the one kept.
    for (int i = argc - 1; i >= 1; --i) {
        const char* argument = argv[i];
        bool accepted = false;
        for (const ExactRow& row : exactRows) {
            if (argument == row.text) {
                line.seen[static_cast<std::size_t>(row.option)] = true;
                accepted = true;
                break;
            }
        }
        if (!accepted && startsWithIgnoringCase(argument, "com")) {
            line.port = atoiNumber(argument + std::strlen("com"));
            if (line.port >= firstPort && line.port <= lastPort) {
                line.seen[static_cast<std::size_t>(Option::Port)] = true;
                accepted = true;
            }
        }
        if (!accepted) {
            if (problem != nullptr)
                *problem = refusalOf(argument);
            return std::nullopt;
        }
    }
    return line;
}

} // namespace vornax
