// The signal trace end to end: vornax with a settings file that switches it
// on, against the real cfcsim program that reports the signals it is asked
// for.
#include "module_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>

using namespace consoletest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kLists = "[ServiceModeAddSignal]\nNumEntries=2\n"
                               "Signal0=0x010203\nSignal1=0x0300FF\n";

std::string fileText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t le(const std::string& bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

class VornaxSignalTrace : public VornaxWithModule {
protected:
    void writeIni(const std::string& global)
    {
        std::ofstream(dir() / "cfctrace.ini") << global << kLists;
    }

    // Seconds between the trace lines of the close's start and end, from
    // their time stamps.
    double closeSeconds() const
    {
        std::ifstream in(dir() / "tracefiles" / "tracefile.txt");
        double start = -1, end = -1;
        for (std::string line; std::getline(in, line);) {
            unsigned s = 0, ms = 0;
            if (std::sscanf(line.c_str(), "[%u.%u]", &s, &ms) != 2)
                continue;
            if (line.find("(CFC ) WComClose()") != std::string::npos)
                start = s + ms / 1000.0;
            if (line.find("(CFC ) WComClose: O.K.") != std::string::npos)
                end = s + ms / 1000.0;
        }
        return start >= 0 && end >= 0 ? end - start : -1;
    }
};

TEST_F(VornaxSignalTrace, ModuleTracesIntoTheFilesUntilTheCloseSwitchesItOff)
{
    writeIni("[Global]\nEnable=1\nSuffix=41\n");
    fs::create_directory(dir() / "cfctrace");
    const Outcome outcome = run({"--mode=emmi"}, {"com3"});
    ASSERT_EQ(outcome.output, kSuccess);
    EXPECT_TRUE(inOrder(
        trace(), {"(CFC ) WComOpen: Nimbo trace suffix read to 41", "(CFC ) WInitServiceMode()",
                  "(CFC ) WAddNimboSignal(signal=0x10203)",
                  "(CFC ) WAddNimboSignal(signal=0x300ff)", "(CFC ) SendSignalTraceMask()",
                  "(CFC ) SendSignalTraceMask: EmmiL3SendMessage(664 bytes) rets 0",
                  "(CFC ) WInitServiceMode: O.K.", "(CFC ) WSwitchOff: O.K.", "(CFC ) WComClose()",
                  "(CFC ) SendSignalTraceOff()", "(CFC ) WComClose: O.K."}));
    // The module is off by then: the message finds no one to take it.
    EXPECT_TRUE(
        inOrder(trace(), {"(CFC ) SendSignalTraceOff: EmmiL3SendMessage(552 bytes) rets 8"}));
    EXPECT_GE(closeSeconds(), 5.0);
    EXPECT_NE(fileText(dir() / "cfctrace.ini").find("Suffix=42\n"), std::string::npos)
        << fileText(dir() / "cfctrace.ini");

    // Every signal the module reported: one log line and one record, whose
    // data are the signal's bytes put together from all its frames. The
    // switch-off may cut the last signal short; its record then says so.
    const std::string log = fileText(dir() / "cfctrace" / "cfclog041.txt");
    const std::string records = fileText(dir() / "cfctrace" / "cfc041.flg");
    EXPECT_EQ(
        log.rfind("Signal 0x10203: source 0x11, dest 0x20, length 0x14, FN 0x1, time 0xa\r\n"
                  "Signal 0x300ff: source 0x13, dest 0x20, length 0x404, FN 0x2, time 0x14\r\n",
                  0),
        0u);
    const std::regex line("Signal 0x(10203|300ff): source 0x1[13], dest 0x20, length 0x(14|404), "
                          "FN 0x[0-9a-f]+, time 0x[0-9a-f]+\r\n");
    size_t lines = 0;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator();
         ++it)
        ++lines;
    EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), '\n')), lines);
    size_t at = 0, signals = 0;
    while (at + 28 <= records.size()) {
        const uint32_t length = le(records, at + 22, 2);
        const uint32_t id = le(records, at + 24, 4);
        EXPECT_EQ(le(records, at, 4), 50u);
        EXPECT_EQ(le(records, at + 4, 2), length + 22);
        ASSERT_LE(at + 28 + length, records.size());
        for (uint32_t i = 0; i < length; ++i)
            ASSERT_EQ(static_cast<uint8_t>(records[at + 28 + i]),
                      static_cast<uint8_t>((id & 0xFF) + i))
                << "record " << signals << ", byte " << i;
        at += 28 + length;
        ++signals;
    }
    EXPECT_EQ(at, records.size());
    EXPECT_EQ(signals, lines);
    EXPECT_GE(signals, 2u);
}

TEST_F(VornaxSignalTrace, DisabledSendsNothingAndTheCloseDoesNotWait)
{
    writeIni("[Global]\nEnable=0\nSuffix=41\n");
    fs::create_directory(dir() / "cfctrace");
    const Outcome outcome = run({"--mode=emmi"}, {"com3"});
    ASSERT_EQ(outcome.output, kSuccess);
    const std::vector<std::string> lines = trace();
    EXPECT_FALSE(inOrder(lines, {"(CFC ) SendSignalTraceMask()"}));
    EXPECT_FALSE(inOrder(lines, {"(CFC ) SendSignalTraceOff()"}));
    EXPECT_TRUE(fs::is_empty(dir() / "cfctrace"));
    const double close = closeSeconds();
    EXPECT_GE(close, 0.0);
    EXPECT_LT(close, 4.5);
}

} // namespace
