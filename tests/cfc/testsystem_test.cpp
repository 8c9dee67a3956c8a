// The test-system hooks with the four libraries as fakes that log what they
// receive. The libraries are bound once per process, so each configuration
// runs this program again as a child whose loader path holds just the fakes
// of the case; the child's checks are the TestSystemChild and Mapper cases,
// which skip in a plain run.
#include "cfc.h"
#include "link_test_support.h"
#include "test_support.h"

#include "child_process.h"
#include "ordered_lines.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace cfctest;
using testsupport::inOrder;

namespace {

bool inChild()
{
    return std::getenv("CFC_TS_CHILD") != nullptr;
}

std::vector<std::string> fakeLog()
{
    std::vector<std::string> lines;
    std::ifstream in(std::getenv("FAKE_TS_LOG"));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs the child case `name` (suite.case) with the fakes of `libraries` on the loader's
// path; the child's output when it fails.
void runChild(const std::string& name, const std::vector<std::string>& libraries)
{
    ScopedTempCwd dir;
    std::string path;
    for (const std::string& library : libraries)
        path += (path.empty() ? "" : ":") + std::string(FAKE_TS_DIR "/") + library;
    const std::vector<std::string> env = {"CFC_TS_CHILD=1", "LD_LIBRARY_PATH=" + path,
                                          "FAKE_TS_LOG=" + (dir.path() / "fake.log").string(),
                                          "HOME=" + dir.path().string()};
    const auto outcome = testsupport::runProgram("/proc/self/exe", {"--gtest_filter=" + name}, env,
                                                 dir.path(), std::chrono::seconds(120));
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_NE(outcome.output.find("[  PASSED  ] 1 test"), std::string::npos) << outcome.output;
}

TEST(TestSystem, TraceSinkAlone)
{
    runChild("TestSystemChild.TraceSinkAlone", {"ombrel"});
}
TEST(TestSystem, MapperRunsTheNamedOperation)
{
    runChild("Mapper.RunsTheNamedOperation", {"ombrel", "fenwist", "drumvel", "zarnog"});
}
TEST(TestSystem, MapperInactiveWithoutOneOfItsLibraries)
{
    runChild("TestSystemChild.MapperInactiveWithoutOneOfItsLibraries", {"fenwist", "drumvel"});
}

TEST(TestSystem, AProgramWithoutTestCasesLoadsNoneOfTheLibraries)
{
    runChild("TestSystemChild.BindingSwitchedOff", {"ombrel", "fenwist", "drumvel", "zarnog"});
}

TEST(TestSystem, SharedLibraryExportsTheMapper)
{
    void* library = dlopen(CFC_SHARED_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    EXPECT_NE(dlsym(library, "TC2CFCMapper"), nullptr);
    dlclose(library);
}

class TestSystemChild : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!inChild())
            GTEST_SKIP() << "runs only as a child of a TestSystem case";
        WEnableTraceFile();
    }
};

TEST_F(TestSystemChild, TraceSinkAlone)
{
    VirtualComPort sunk(7, "ts-sunk");
    VirtualComPort filed(8, "ts-filed");
    const uint32_t h = WComOpen(7, 115200, 0x77);
    const uint32_t other = WComOpen(8, 115200, 0);
    ASSERT_NE(h, 0u);
    ASSERT_NE(other, 0u);
    WGetLastError(h);
    WGetLastError(other);
    // The receive thread's lines go the same way: a stray byte on the line.
    const uint8_t stray = 0x55;
    sunk.device().write(&stray, 1);
    const std::string strayLine = "daskin 0x77 (GWC2) EMMI L2 frame synchronisation lost!";
    for (int i = 0; i < 500 && !inOrder(fakeLog(), {strayLine}); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    EXPECT_TRUE(inOrder(
        fakeLog(), {"daskin 0x77 (CFC ) WComOpen(portNum=7, baudRate=115200, tHandle=0x00000077)",
                    "daskin 0x77 (CFC ) WComOpen: TC2CFCMapper not active",
                    "daskin 0x77 (CFC ) WGetLastError: error 0", strayLine}));
    const auto file = traceTexts();
    EXPECT_TRUE(contains(file, "(CFC ) WComOpen: TC2CFCMapper not active"));
    EXPECT_TRUE(contains(file, "(CFC ) WGetLastError: error 0"));
    for (const std::string& line : file)
        EXPECT_EQ(line.find("portNum=7"), std::string::npos) << line;
    // Without the mapper's libraries the mapper does nothing.
    TC2CFCRequest request{-1, {}, "3:2"};
    TC2CFCMapper(&request);
    EXPECT_EQ(request.status, -1);
    WComClose(h);
    WComClose(other);
}

TEST_F(TestSystemChild, BindingSwitchedOff)
{
    WSetTestSystemBinding(0);
    VirtualComPort port(10, "ts-unbound");
    const uint32_t h = WComOpen(10, 115200, 0x21);
    ASSERT_NE(h, 0u);
    WComClose(h);
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        EXPECT_EQ(line.find("/testsystem/"), std::string::npos) << line;
    EXPECT_TRUE(fakeLog().empty()) << "the sink was never called";
    EXPECT_TRUE(contains(traceTexts(), "(CFC ) WComOpen: TC2CFCMapper not active"));
}

TEST_F(TestSystemChild, MapperInactiveWithoutOneOfItsLibraries)
{
    VirtualComPort port(9, "ts-inactive");
    const uint32_t h = WComOpen(9, 115200, 0x12);
    ASSERT_NE(h, 0u);
    // No sink: the line of a test case's connection goes to the file.
    EXPECT_TRUE(contains(traceTexts(), "(CFC ) WComOpen: TC2CFCMapper not active"));
    TC2CFCRequest request{-1, {}, "3:2"};
    TC2CFCMapper(&request);
    EXPECT_EQ(request.status, -1);
    EXPECT_TRUE(fakeLog().empty());
    WComClose(h);
}

class Mapper : public TestSystemChild {
protected:
    // One mapper call with `operation` as the test case's operation text;
    // the fake log's lines it produced.
    std::vector<std::string> map(const char* text, const char* operation, int port = kPort)
    {
        std::remove(std::getenv("FAKE_TS_LOG"));
        if (operation != nullptr)
            ::setenv("FAKE_TS_OPERATION", operation, 1);
        else
            ::unsetenv("FAKE_TS_OPERATION");
        ::setenv("FAKE_TS_PORT", std::to_string(port).c_str(), 1);
        TC2CFCRequest request{-1, {}, text};
        TC2CFCMapper(&request);
        EXPECT_EQ(request.status, 0x5A);
        return fakeLog();
    }

    static constexpr int kPort = 23;
};

TEST_F(Mapper, RunsTheNamedOperation)
{
    ModuleLink link(kPort, "ts-mapper");
    EXPECT_TRUE(contains(traceTexts(), "(CFC ) WComOpen: TC2CFCMapper is active"));

    ::setenv("FAKE_TS_NOTE", "a note", 1);
    EXPECT_EQ(
        map("3:2", "WTerminateCall:x, y"),
        (std::vector<std::string>{
            "Oskat", "Tarvin", "Wemblo", "Hespar", "Quibon device=4",
            "lupen source=33 parameter=3 selector=1", "lupen source=33 parameter=3 selector=2",
            "korbel value2=22 value1=11 device=4 parameter=3 index=2 result=1.0"}));
    EXPECT_TRUE(link.sim().waitForCommand(99, kPatienceMs)); // the operation mode asked for
    EXPECT_TRUE(inOrder(traceTexts(),
                        {"(CFC ) TC2CFCMapper: requested CFC func is WTerminateCall, params x, y",
                         "[a note]", "(CFC ) TC2CFCMapper: calling WTerminateCall..."}));
    ::unsetenv("FAKE_TS_NOTE");

    EXPECT_TRUE(
        inOrder(map("4:0", "WTerminateCall"),
                {"korbel value2=22 value1=11 device=4 parameter=4 index=0 result=100000.0"}));
    EXPECT_TRUE(inOrder(map("4:1", nullptr), {"korbel value2=22 value1=11 device=4 parameter=4 "
                                              "index=1 result=100000.0"}));
    EXPECT_TRUE(contains(traceTexts(), "(CFC ) TC2CFCMapper: CFC function name missing"));
    EXPECT_TRUE(
        inOrder(map("5:6", "wTerminateCall:"),
                {"korbel value2=22 value1=11 device=4 parameter=5 index=6 result=99999.0"}));
    EXPECT_TRUE(
        contains(traceTexts(), "(CFC ) TC2CFCMapper: unknown mapper function wTerminateCall"));
    // A result index outside the array is reported but stores nothing.
    EXPECT_TRUE(inOrder(map("6:7", "WTerminateCall:"),
                        {"korbel value2=22 value1=11 device=4 parameter=6 index=7"}));
    // A port beyond the handle's slot field runs nothing.
    EXPECT_TRUE(
        inOrder(map("7:3", "WTerminateCall:", 300),
                {"korbel value2=22 value1=11 device=4 parameter=7 index=3 result=99999.0"}));
    EXPECT_TRUE(
        contains(traceTexts(),
                 "(CFC ) TC2CFCMapper: port 300 has no connection, WTerminateCall not called"));
}

} // namespace
