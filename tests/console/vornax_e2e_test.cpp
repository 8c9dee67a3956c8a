// Runs the real vornax binary. Every port it may open is mapped to a path
// that does not exist (or to one the case makes), so no run ever touches a
// real serial device. Standard output must stay exactly the fixed texts; the
// reasons go to standard error, which each run keeps in a file.
#include "child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include <cstdlib>

#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using testsupport::Outcome;
using testsupport::runProgram;

std::string textOf(const fs::path& file)
{
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string usage = "usage: vornax <options> <com-port>\n"
                          "       <options>:  -h or -? for help\n"
                          "                   -ver for version\n"
                          "       <com-port>: com1 up to com99 for com port selection\n";
const std::string version = "vornax Version 1.0.2\n";
const std::string cannotConnect = "Error: Cannot connect to Module\n";
constexpr int failureStatus = 255; // exit(-1) as a POSIX parent sees it

// Far beyond what a refused open takes, even on a loaded machine.
constexpr auto promptBound = std::chrono::seconds(10);
constexpr auto hangBound = std::chrono::seconds(60);

class Vornax : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "vornax-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    fs::path missingPort() const { return dir_ / "no-such-port"; }
    fs::path traceFile() const { return dir_ / "tracefiles" / "tracefile.txt"; }

    // Runs vornax in the test's own directory with only the environment given
    // here: ports 1 to 99 all lead nowhere unless `com7` says where COM7 is,
    // user settings come from the (empty) directory, and the trace file is
    // switched on when asked. A shell puts vornax's standard error into
    // errors() and then makes way for it.
    Outcome run(std::initializer_list<const char*> arguments, bool trace = false,
                const std::string& com7 = {})
    {
        std::vector<std::string> env = {
            "HOME=" + dir_.string(),
            "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
            "CFC_TRACE_INI=" + (dir_ / "cfctrace.ini").string(),
        };
        for (int port = 1; port <= 99; ++port)
            env.push_back("CFC_COM" + std::to_string(port) + "=" +
                          (port == 7 && !com7.empty() ? com7 : missingPort().string()));
        if (trace)
            env.emplace_back("CFC_TRACE=1");
        std::vector<std::string> shellArguments = {"-c", R"(exec "$0" "$@" 2>stderr.txt)",
                                                   VORNAX_PATH};
        shellArguments.insert(shellArguments.end(), arguments.begin(), arguments.end());
        return runProgram("/bin/sh", shellArguments, env, dir_, hangBound);
    }

    std::string errors() const { return textOf(dir_ / "stderr.txt"); }

    std::string traceText() const { return textOf(traceFile()); }

    fs::path dir() const { return dir_; }

private:
    fs::path dir_;
};

TEST_F(Vornax, RefusedCommandLinesPrintOnlyTheUsage)
{
    const std::initializer_list<const char*> refused[] = {
        {},
        {"-ver", "-h", "-?", "com1"},
        {"com0"},
        {"com100"},
        {"com"},
        {"comx"},
        {"-H"},
        {"-VER"},
        {"-ver", "-x"},
    };
    for (const auto& arguments : refused) {
        const Outcome outcome = run(arguments);
        std::string line;
        for (const char* argument : arguments)
            line += std::string(" ") + argument;
        EXPECT_EQ(outcome.output, usage) << "vornax" << line;
        EXPECT_EQ(outcome.status, failureStatus);
        // One line that says what was wrong.
        const std::string errors = this->errors();
        EXPECT_EQ(errors.rfind("vornax: ", 0), 0u) << "vornax" << line << ": " << errors;
        EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "vornax" << line << ": " << errors;
    }
    run({"com3", "extra"});
    EXPECT_EQ(
        errors(),
        "vornax: \"extra\" is neither an option (-h, -?, -ver) nor a port (com1 up to com99)\n");
}

TEST_F(Vornax, VersionAndUsageWithoutPort)
{
    const Outcome versionOnly = run({"-ver"});
    EXPECT_EQ(versionOnly.output, version);
    EXPECT_EQ(versionOnly.status, 0);
    EXPECT_EQ(errors(), "");

    const Outcome bothHelps = run({"-h", "-?"});
    EXPECT_EQ(bothHelps.output, usage + usage);
    EXPECT_EQ(bothHelps.status, 0);

    const Outcome reordered = run({"-?", "-h", "-ver"});
    EXPECT_EQ(reordered.output, version + usage + usage);
    EXPECT_EQ(reordered.status, 0);
}

TEST_F(Vornax, BadArgumentAfterPortOpensNothing)
{
    const Outcome outcome = run({"com3", "-x"}, true);
    EXPECT_EQ(outcome.output, usage);
    EXPECT_EQ(outcome.status, failureStatus);
    EXPECT_FALSE(fs::exists(traceFile()));
}

TEST_F(Vornax, MissingPortFailsPromptlyWithOneLine)
{
    const Outcome outcome = run({"com7"});
    EXPECT_EQ(outcome.output, cannotConnect);
    EXPECT_EQ(outcome.status, failureStatus);
    EXPECT_LT(outcome.elapsed, promptBound);
    EXPECT_EQ(errors(),
              "vornax: cannot open COM7 (" + missingPort().string() +
                  "): No such file or directory; plug the adapter in, or map COM7 to the module's "
                  "device with CFC_COM7=/dev/serial/by-id/... or a line COM7=<device> in section "
                  "[Ports] of " +
                  (dir() / "config").string() + "/cfc/ports.ini\n");
}

// What is not a serial port, and a port another program holds, each get
// their own reason through the real library; the result line stays the same.
TEST_F(Vornax, RefusedPortsSayWhy)
{
    const struct {
        std::string device;
        std::string reason;
    } cases[] = {
        {dir().string(), "Is a directory; this is not a serial port: map COM7"},
        {"/dev/null", "Inappropriate ioctl for device; this is not a serial port: map COM7"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = run({"com7"}, false, c.device);
        EXPECT_EQ(outcome.output, cannotConnect);
        EXPECT_EQ(outcome.status, failureStatus);
        EXPECT_EQ(errors().rfind("vornax: cannot open COM7 (" + c.device + "): " + c.reason, 0), 0u)
            << errors();
    }

    // A pseudo-terminal held by "another program": the test's own lock.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_EQ(flock(slave, LOCK_EX | LOCK_NB), 0);
    const Outcome busy = run({"com7"}, false, name);
    EXPECT_EQ(busy.output, cannotConnect);
    EXPECT_EQ(errors().rfind(std::string("vornax: cannot open COM7 (") + name +
                                 "): Device or resource busy; another program holds the port",
                             0),
              0u)
        << errors();
    ::close(slave);
    ::close(master);
}

TEST_F(Vornax, ActionsRunInFixedOrderWithTheErrorLast)
{
    const Outcome outcome = run({"-ver", "-h", "com7"});
    EXPECT_EQ(outcome.output, version + usage + cannotConnect);
    EXPECT_EQ(outcome.status, failureStatus);
}

TEST_F(Vornax, PortArgumentsAreAccepted)
{
    for (const char* argument : {"COM12", "com5x", "com007", "Com99"}) {
        const Outcome outcome = run({argument});
        EXPECT_EQ(outcome.output, cannotConnect) << argument;
        EXPECT_EQ(outcome.status, failureStatus) << argument;
    }
}

TEST_F(Vornax, TraceFileKeepsTheReasonOfAFailure)
{
    const Outcome outcome = run({"com7"}, true);
    EXPECT_EQ(outcome.output, cannotConnect);
    ASSERT_TRUE(fs::exists(traceFile())) << "CFC_TRACE=1 left no trace file";
    EXPECT_NE(traceText().find(R"((CFC ) WComOpen: portId \\.\COM7)"), std::string::npos)
        << traceText();
}

TEST_F(Vornax, ATraceFileThatCannotBeWrittenIsReportedOnce)
{
    // A plain file where the trace directory belongs.
    std::ofstream(dir() / "tracefiles") << "not a directory\n";
    const Outcome outcome = run({"com7"}, true);
    EXPECT_EQ(outcome.output, cannotConnect) << "standard output stays as it was";
    const std::string said =
        "cfc: CFC_TRACE=1, but tracefiles/tracefile.txt cannot be written: Not a directory\n";
    const std::string errors = this->errors();
    const size_t at = errors.find(said);
    ASSERT_NE(at, std::string::npos) << errors;
    EXPECT_EQ(errors.find(said, at + 1), std::string::npos) << "said once: " << errors;
}

TEST_F(Vornax, FirstPortOnTheLineIsTheOneOpened)
{
    const Outcome outcome = run({"com3", "com4"}, true);
    EXPECT_EQ(outcome.output, cannotConnect);
    const std::string trace = traceText();
    EXPECT_NE(trace.find(R"(portId \\.\COM3)"), std::string::npos) << trace;
    EXPECT_EQ(trace.find(R"(\\.\COM4)"), std::string::npos) << trace;
}

} // namespace
