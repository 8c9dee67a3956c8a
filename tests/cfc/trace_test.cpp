// Trace levels, the trace file and its line format, the dumps, and the texts
// a connection open writes.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_trace.h"
#include "test_support.h"

#include "plat/clock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include <sys/stat.h>

using namespace cfctest;

namespace {

// A slot's level set for the scope and put back afterwards.
class ScopedLevel {
public:
    ScopedLevel(uint32_t handle, uint16_t level) : handle_(handle), old_(WGetTraceLevel(handle))
    {
        WSetTraceLevel(handle, level);
    }
    ~ScopedLevel() { WSetTraceLevel(handle_, old_); }

private:
    uint32_t handle_;
    uint16_t old_;
};

constexpr uint32_t kSlot13 = 0xCFC0DCFCu;

// The trace file switched on in a fresh working directory for one test.
class TraceFileTest : public ::testing::Test {
protected:
    void SetUp() override { WEnableTraceFile(); }
    void TearDown() override { WDisableTraceFile(); }
    ScopedTempCwd cwd_;
    // Whether or not an open ran in this process before.
    ScopedLevel level_{kSlot13, 9};
};

TEST_F(TraceFileTest, LinesAboveTheSlotLevelAreDropped)
{
    cfc::TraceLine(cfctest::connectionOf(kSlot13).trace, 10, "ten");
    cfc::TraceLine(cfctest::connectionOf(kSlot13).trace, 9, "nine");
    cfc::TraceLine(cfctest::connectionOf(kSlot13).trace, 0, "zero");
    {
        ScopedLevel low(kSlot13, 0);
        cfc::TraceLine(cfctest::connectionOf(kSlot13).trace, 1, "one at level 0");
        cfc::TraceLine(cfctest::connectionOf(kSlot13).trace, 0, "zero at level 0");
    }
    EXPECT_EQ(traceTexts(), (std::vector<std::string>{"nine", "zero", "zero at level 0"}));
}

TEST_F(TraceFileTest, EveryLineCarriesSecondsAndMilliseconds)
{
    cfc::TraceToFile("first");
    cfc::TraceToFile("second");
    std::ifstream in("tracefiles/tracefile.txt", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(
        std::regex_match(all, std::regex(R"(\[\d{4,}\.\d{3}\] first\n\[\d{4,}\.\d{3}\] second\n)")))
        << all;
}

TEST_F(TraceFileTest, KeepsTheCallersSystemErrorAlsoWhenTheFileCannotBeWritten)
{
    plat::setLastSystemError(1234);
    cfc::TraceToFile("written");
    EXPECT_EQ(plat::lastSystemError(), 1234);

    // A plain file where the directory should be: the line is dropped.
    std::filesystem::remove_all("tracefiles");
    std::ofstream("tracefiles") << "in the way";
    plat::setLastSystemError(4321);
    cfc::TraceToFile("dropped");
    EXPECT_EQ(plat::lastSystemError(), 4321);
}

TEST_F(TraceFileTest, APlantedLinkOrFifoIsNeverWrittenThrough)
{
    const std::filesystem::path elsewhere = cwd_.path() / "elsewhere.txt";
    std::ofstream(elsewhere) << "kept\n";
    struct Plant {
        const char* what;
        void (*make)(const std::filesystem::path& target);
    };
    const Plant plants[] = {
        {"file linked elsewhere",
         [](const std::filesystem::path& target) {
             std::filesystem::create_directory("tracefiles");
             std::filesystem::create_symlink(target, "tracefiles/tracefile.txt");
         }},
        {"directory linked elsewhere",
         [](const std::filesystem::path& target) {
             std::filesystem::create_directory_symlink(target.parent_path() / "other",
                                                       "tracefiles");
             std::filesystem::create_directory(target.parent_path() / "other");
         }},
        // Without a reader an open for writing would block for good.
        {"FIFO",
         [](const std::filesystem::path&) {
             std::filesystem::create_directory("tracefiles");
             ASSERT_EQ(::mkfifo("tracefiles/tracefile.txt", 0600), 0);
         }},
    };
    for (const Plant& plant : plants) {
        std::filesystem::remove_all("tracefiles");
        std::filesystem::remove_all(cwd_.path() / "other");
        plant.make(elsewhere);
        cfc::TraceToFile("must not arrive");
        std::ifstream in(elsewhere);
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content, "kept\n") << plant.what;
        EXPECT_FALSE(std::filesystem::exists(cwd_.path() / "other" / "tracefile.txt"))
            << plant.what;
    }
}

TEST(TraceFileSwitch, NothingIsCreatedWhileOff)
{
    ScopedTempCwd cwd;
    WDisableTraceFile();
    cfc::TraceToFile("lost");
    cfc::TraceLine(cfctest::connectionOf(kSlot13).trace, 0, "lost too");
    EXPECT_FALSE(std::filesystem::exists("tracefiles"));
}

TEST(TraceFileSwitch, EnvironmentSwitchesTheFileOnOnlyWithOne)
{
    WDisableTraceFile();
    {
        ScopedEnv env("CFC_TRACE", "0");
        cfc::TraceSwitchFromEnvironment();
        EXPECT_FALSE(cfc::TraceFileEnabled());
    }
    ScopedEnv env("CFC_TRACE", "1");
    cfc::TraceSwitchFromEnvironment();
    EXPECT_TRUE(cfc::TraceFileEnabled());
    WDisableTraceFile();
}

TEST_F(TraceFileTest, ByteDumpsEightToALineWithTheNextIndexAsLabel)
{
    const uint8_t bytes[9] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x10, 0x20, 0x30, 0xAB};
    cfc::TraceBytes(cfctest::connectionOf(kSlot13).trace, 8, "(CFC ) eight ->", bytes, 8);
    cfc::TraceBytes(cfctest::connectionOf(kSlot13).trace, 8, "(CFC ) nine ->", bytes, 9);
    EXPECT_EQ(traceTexts(), (std::vector<std::string>{
                                "(CFC ) eight ->",
                                "(CFC )   00:    0x00 0x01 0x7f 0x80 0xff 0x10 0x20 0x30 ",
                                "(CFC )   08:    ",
                                "(CFC ) nine ->",
                                "(CFC )   00:    0x00 0x01 0x7f 0x80 0xff 0x10 0x20 0x30 ",
                                "(CFC )   08:    0xab ",
                            }));
}

TEST_F(TraceFileTest, WordAndDwordDumpsFourToALine)
{
    const uint16_t words[5] = {1, 0xBEEF, 3, 4, 5};
    const uint32_t dwords[2] = {0xDEADBEEF, 7};
    cfc::TraceWords(cfctest::connectionOf(kSlot13).trace, 8, "(CFC ) none ->", words, 0);
    cfc::TraceWords(cfctest::connectionOf(kSlot13).trace, 8, "(CFC ) words ->", words, 5);
    cfc::TraceDwords(cfctest::connectionOf(kSlot13).trace, 8, "(CFC ) dwords ->", dwords, 2);
    EXPECT_EQ(traceTexts(), (std::vector<std::string>{
                                "(CFC ) none ->",
                                "(CFC )   00:    ",
                                "(CFC ) words ->",
                                "(CFC )   00:    0x0001 0xbeef 0x0003 0x0004 ",
                                "(CFC )   04:    0x0005 ",
                                "(CFC ) dwords ->",
                                "(CFC )   00:    0xdeadbeef 0x00000007 ",
                            }));
}

TEST_F(TraceFileTest, OpenWritesBannerStepsAndEnd)
{
    VirtualComPort com(14, "trace-open");
    const uint32_t h = WComOpen(14, 57600, 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(WComClose(h), 1);

    const auto texts = traceTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_TRUE(std::regex_match(
        texts[0],
        std::regex(R"(\(CFCV\) Trace started at \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4})")))
        << texts[0];
    EXPECT_EQ(texts[1],
              "(CFCV) CFC file information (Version 0001.4000, unique CFC build number 43) ->");
    for (size_t i = 2; i < 20; ++i) {
        EXPECT_EQ(texts[i].rfind("(CFCV) Host: ", 0), 0u) << texts[i];
        EXPECT_EQ(texts[i].find('\\'), std::string::npos)
            << "our stamps need no escape: " << texts[i];
    }
    EXPECT_EQ(texts[20].rfind("(CFC ) WComOpen(", 0), 0u) << "18 host lines, then the call";

    const std::vector<std::string> steps = {
        "(CFC ) WComOpen(portNum=14, baudRate=57600, tHandle=0x00000000)",
        "(CFC ) WComOpen: call EmmiL1CommsOpen...",
        "(CFC ) WComOpen: portId \\\\.\\COM14",
        "(CFC ) WComOpen: clear local storedCalibrationItems, gotTargetVersion",
        "(CFC ) WComOpen: invalidate local stored GMSK IQ-Offsets",
        "(CFC ) WComOpen: invalidate local stored autocalibration IQ-Offsets",
        "(CFC ) WComOpen: invalidate local stored mobile SW version number",
        "(CFC ) WComOpen: reset exit data",
        "(CFC ) WComOpen: TC2CFCMapper not active",
        "(CFC ) WComOpen: O.K.",
        "(CFC ) WComClose()",
        "(CFC ) WComClose: O.K.",
    };
    auto at = texts.begin() + 20;
    for (const std::string& step : steps) {
        auto found = std::find(at, texts.end(), step);
        ASSERT_NE(found, texts.end()) << "missing or out of order: " << step;
        at = found + 1;
    }
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
        return t.rfind("(CFC ) WComOpen: CreateThread gives Id 0x", 0) == 0;
    }));
    cfc::CalibrationStore& store = cfc::ConnectionAt(14).calibration;
    EXPECT_EQ(store.item(6)[6], cfc::kInvalidIqOffset);
    EXPECT_EQ(store.item(18)[2], cfc::kInvalidIqOffset);
}

TEST_F(TraceFileTest, OpenAtLevelOneWritesOnlyThePortName)
{
    VirtualComPort com(15, "trace-level1");
    ScopedLevel level(cfc::HandleForSlot(15), 1);
    const uint32_t h = WComOpen(15, 115200, 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(WComClose(h), 1);
    EXPECT_EQ(traceTexts(), (std::vector<std::string>{"(CFC ) WComOpen: portId \\\\.\\COM15"}));
}

TEST_F(TraceFileTest, FailedOpensSayWhy)
{
    ScopedEnv env("CFC_COM16", "/dev/cfc-no-such-port");
    EXPECT_EQ(WComOpen(16, 115200, 0), 0u);
    EXPECT_TRUE(contains(traceTexts(), "(CFC ) WComOpen: EmmiL1CommsOpen fails with error 4"));
    EXPECT_EQ(WGetLastError(cfc::HandleForSlot(16)), EMMIERR_PORT_OPEN);
    EXPECT_EQ(traceTexts().back(), "(CFC ) WGetLastError: error 4");
}

} // namespace
