#include "arguments.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

using vornax::CommandLine;
using vornax::Option;
using vornax::scanArguments;

namespace {

std::optional<CommandLine> scan(std::initializer_list<const char*> arguments)
{
    std::vector<const char*> argv{"vornax"};
    argv.insert(argv.end(), arguments);
    return scanArguments(static_cast<int>(argv.size()), argv.data());
}

// The port of a line that holds nothing but one port argument.
std::optional<int> portOf(const char* argument)
{
    const auto line = scan({argument});
    if (!line)
        return std::nullopt;
    EXPECT_TRUE(line->has(Option::Port)) << argument;
    return line->port;
}

} // namespace

TEST(ArgumentScan, RefusesWrongArgumentCounts)
{
    EXPECT_FALSE(scan({}));
    EXPECT_FALSE(scan({"-ver", "-h", "-?", "com1"}));
    EXPECT_TRUE(scan({"-ver", "-h", "-?"}));
    const char* noArgv[] = {nullptr};
    EXPECT_FALSE(scanArguments(0, noArgv));
}

TEST(ArgumentScan, OptionsAreExactAndCaseSensitive)
{
    const auto line = scan({"-?", "-ver", "-h"});
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->has(Option::Version));
    EXPECT_TRUE(line->has(Option::Query));
    EXPECT_TRUE(line->has(Option::Help));
    EXPECT_FALSE(line->has(Option::Port));

    for (const char* refused : {"-H", "-VER", "-ver ", "-h2", "-", "", "ver", "--ver", "-x"})
        EXPECT_FALSE(scan({refused})) << '"' << refused << '"';
}

TEST(ArgumentScan, PortNumberIsReadAsAtoiReadsIt)
{
    EXPECT_EQ(portOf("com1"), 1);
    EXPECT_EQ(portOf("com99"), 99);
    EXPECT_EQ(portOf("COM12"), 12);
    EXPECT_EQ(portOf("Com7"), 7);
    EXPECT_EQ(portOf("cOm7"), 7);
    EXPECT_EQ(portOf("com5x"), 5);
    EXPECT_EQ(portOf("com007"), 7);
    EXPECT_EQ(portOf("com 8"), 8);
    EXPECT_EQ(portOf("com\t\n+9"), 9);
    EXPECT_EQ(portOf("com3.5"), 3);
}

TEST(ArgumentScan, RefusesPortsWithoutDigitsOrOutOfRange)
{
    for (const char* refused :
         {"com0", "com100", "com", "comx", "co", "c", "xcom3", "com-3", "com+", "com- 3",
          "com 0x10", "com-0", "com99999999999", "com4294967303", "com18446744073709551623"})
        EXPECT_FALSE(scan({refused})) << '"' << refused << '"';
}

TEST(ArgumentScan, FirstPortOnTheLineWins)
{
    const auto line = scan({"com3", "com4"});
    ASSERT_TRUE(line);
    EXPECT_EQ(line->port, 3);

    const auto three = scan({"com9", "-h", "COM20"});
    ASSERT_TRUE(three);
    EXPECT_EQ(three->port, 9);
    EXPECT_TRUE(three->has(Option::Help));
}

TEST(ArgumentScan, OneBadArgumentAnywhereRefusesTheLine)
{
    EXPECT_FALSE(scan({"com3", "-x"}));
    EXPECT_FALSE(scan({"-x", "com3"}));
    EXPECT_FALSE(scan({"-ver", "com0", "-h"}));
}

TEST(ArgumentScan, RepeatedOptionCountsOnce)
{
    const auto line = scan({"-h", "-h", "-h"});
    ASSERT_TRUE(line);
    const CommandLine onlyHelp = [] {
        CommandLine expected;
        expected.seen[static_cast<std::size_t>(Option::Help)] = true;
        return expected;
    }();
    EXPECT_EQ(line->seen, onlyHelp.seen);
}

// What the user reads on standard error beside the usage text: the argument
// that was refused (the last one on the line, as the scan goes backwards)
// and why.
TEST(ArgumentScan, RefusalSaysWhatWasWrong)
{
    const struct {
        std::vector<const char*> arguments;
        std::string problem;
    } cases[] = {
        {{}, "no port given (com1 up to com99)"},
        {{"-ver", "-h", "-?", "com1"}, "4 arguments given; at most 3 are taken"},
        {{"com0"}, "\"com0\": port 0 is outside com1 up to com99"},
        {{"COM100"}, "\"COM100\": port 100 is outside com1 up to com99"},
        {{"com-3"}, "\"com-3\": port -3 is outside com1 up to com99"},
        {{"com"}, "\"com\": no port number after \"com\" (com1 up to com99)"},
        {{"comx"}, "\"comx\": no port number after \"com\" (com1 up to com99)"},
        {{"foo"}, "\"foo\" is neither an option (-h, -?, -ver) nor a port (com1 up to com99)"},
        {{"com3", "extra"},
         "\"extra\" is neither an option (-h, -?, -ver) nor a port (com1 up to com99)"},
        {{"-H", "com3"},
         "\"-H\" is not an option; options are written in small letters: -h, -? and -ver"},
        {{"-VER"},
         "\"-VER\" is not an option; options are written in small letters: -h, -? and -ver"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"vornax"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        std::string problem;
        EXPECT_FALSE(scanArguments(static_cast<int>(argv.size()), argv.data(), &problem));
        EXPECT_EQ(problem, c.problem);
    }
}
