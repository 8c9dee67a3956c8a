#include "actions.h"
#include "fake_cfc.h"

#include "cfc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using fakecfc::FailAt;

bool noConsole(const std::string&)
{
    return false;
}

bool everyDeviceIsTheConsole(const std::string&)
{
    return true;
}

struct SequenceRun {
    // Printed lines (result and reasons) and library calls, in the order
    // they happened.
    std::string output;
    int exitCode;
};

class SwitchOffSequence : public ::testing::Test {
protected:
    // COM7 leads to a device path of the test's choosing; the sequence never
    // opens it, the library being a stand-in.
    void SetUp() override { ::setenv("CFC_COM7", "/dev/ttyTEST7", 1); }
    void TearDown() override { ::unsetenv("CFC_COM7"); }

    static SequenceRun run(FailAt failAt, fakecfc::Refusal refusal = {},
                           vornax::ConsoleCheck isConsole = noConsole,
                           const std::string& traceFile = "")
    {
        // What the device itself would say is the device-access tests'
        // business; here it only has to reach the line.
        const vornax::AdviceContext advice{
            "/home/user/.config", "vornax com7", traceFile,
            [](const std::string& path) { return "advice for " + path; }};
        char* buffer = nullptr;
        size_t size = 0;
        std::FILE* stream = open_memstream(&buffer, &size);
        fakecfc::reset(stream, failAt, std::move(refusal));
        // Result lines and reasons into one stream, to see their order.
        const int exitCode = vornax::switchAutoExecOff(stream, stream, 7, isConsole, advice);
        std::fclose(stream);
        SequenceRun run{std::string(buffer, size), exitCode};
        std::free(buffer);
        return run;
    }
};

const std::string open = "<WComOpen 7 115200 0>\n";
const std::string untilServiceMode = open + "<WInitServiceMode 0xcfc01cfc>\n";
const std::string untilAutoStart = untilServiceMode + "<WSwitchJavaAutoStart 0xcfc01cfc 0>\n";
const std::string untilSwitchOff = untilAutoStart + "<WSwitchOff 0xcfc01cfc>\n";
const std::string close = "<WComClose 0xcfc01cfc>\n";
const std::string tracePointer =
    " (library error 8: the module gave no answer); run CFC_TRACE=1 vornax com7 and read tracefiles/tracefile.txt for the reason\n";

TEST_F(SwitchOffSequence, SuccessClosesThenReports)
{
    const SequenceRun result = run(FailAt::Nothing);
    EXPECT_EQ(result.output, untilSwitchOff + close + "AutoExec successfully switched off\n");
    EXPECT_EQ(result.exitCode, vornax::exitSuccess);
}

TEST_F(SwitchOffSequence, FailedStepIsReportedWithItsReasonBeforeClosing)
{
    const struct {
        FailAt failAt;
        std::string expected;
    } cases[] = {
        {FailAt::ServiceMode,
         untilServiceMode + "Error: Cannot connect to Module\n" +
             "vornax: COM7 (/dev/ttyTEST7): the module did not come into service mode" +
             tracePointer + close},
        {FailAt::AutoStart,
         untilAutoStart + "Error: Cannot switchoff AutoExec\n" +
             "vornax: COM7 (/dev/ttyTEST7): the module did not switch its Java autostart off" +
             tracePointer + close},
        {FailAt::SwitchOff, untilSwitchOff + "Error: Cannot close Module connection\n" +
                                "vornax: COM7 (/dev/ttyTEST7): the module did not switch off" +
                                tracePointer + close},
    };
    for (const auto& c : cases) {
        const SequenceRun result = run(c.failAt);
        EXPECT_EQ(result.output, c.expected);
        EXPECT_EQ(result.exitCode, vornax::exitFailure);
    }
}

// A refused open: the result line stays the service-mode one, and the
// reason line names the port, its device, the system's words and the fix.
TEST_F(SwitchOffSequence, RefusedOpenSaysWhyAndWhatToDo)
{
    const std::string resultLine = open + "<WInitServiceMode 0>\nError: Cannot connect to Module\n";
    const std::string mapping =
        "map COM7 to the module's device with CFC_COM7=/dev/serial/by-id/... or a line COM7=<device> in "
        "section [Ports] of ";
    const struct {
        fakecfc::Refusal refusal;
        std::string reasonStart;
        std::string fix;
    } cases[] = {
        {{CFC_OPEN_DENIED, EACCES, "/dev/ttyUSB0", "Permission denied"},
         "vornax: cannot open COM7 (/dev/ttyUSB0): Permission denied; ",
         "advice for /dev/ttyUSB0"},
        {{CFC_OPEN_BUSY, EBUSY, "/dev/ttyACM0", "Device or resource busy"},
         "vornax: cannot open COM7 (/dev/ttyACM0): Device or resource busy; ",
         "another program holds the port, often a modem manager"},
        {{CFC_OPEN_NO_DEVICE, ENOENT, "/dev/ttyS6", "No such file or directory"},
         "vornax: cannot open COM7 (/dev/ttyS6): No such file or directory; ",
         "plug the adapter in, or " + mapping},
        {{CFC_OPEN_NO_DEVICE, 0, "", "no device is mapped to this port"},
         "vornax: cannot open COM7: no device is mapped to it; ",
         mapping},
        {{CFC_OPEN_OTHER, ENOTTY, "/dev/null", "Inappropriate ioctl for device"},
         "vornax: cannot open COM7 (/dev/null): Inappropriate ioctl for device; ",
         "this is not a serial port: " + mapping},
        {{CFC_OPEN_OTHER, EIO, "/dev/ttyUSB1", "Input/output error"},
         "vornax: cannot open COM7 (/dev/ttyUSB1): Input/output error; ",
         "CFC_TRACE=1 writes the library's view to tracefiles/tracefile.txt"},
        // The port opened but the connection around it did not: the library
        // recorded no refusal, and the device comes from the port map.
        {{CFC_OPEN_OK, 0, "", ""},
         "vornax: cannot open COM7 (/dev/ttyTEST7): the connection could not be set up; ",
         "CFC_TRACE=1 writes the library's view to tracefiles/tracefile.txt"},
    };
    for (const auto& c : cases) {
        const SequenceRun result = run(FailAt::Open, c.refusal);
        EXPECT_EQ(result.exitCode, vornax::exitFailure);
        ASSERT_EQ(result.output.rfind(resultLine + c.reasonStart, 0), 0u) << result.output;
        const std::string reason = result.output.substr(resultLine.size());
        // One line, then the close the sequence always makes.
        EXPECT_EQ(reason.find('\n'), reason.size() - std::string("<WComClose 0>\n").size() - 1)
            << reason;
        EXPECT_NE(reason.find(c.fix), std::string::npos) << reason;
        EXPECT_EQ(reason.substr(reason.find('\n') + 1), "<WComClose 0>\n");
    }
}

// With CFC_TRACE=1 set already, the reason names the file it wrote instead
// of asking for what was done.
TEST_F(SwitchOffSequence, WithTheTraceOnTheReasonNamesTheTraceFile)
{
    const std::string file = "/work/run/tracefiles/tracefile.txt";
    const SequenceRun failed = run(FailAt::SwitchOff, {}, noConsole, file);
    EXPECT_EQ(failed.output,
              untilSwitchOff + "Error: Cannot close Module connection\n" +
                  "vornax: COM7 (/dev/ttyTEST7): the module did not switch off "
                  "(library error 8: the module gave no answer); the library's view of it is in " +
                  file + "\n" + close);
    const SequenceRun refused = run(
        FailAt::Open, {CFC_OPEN_OTHER, EIO, "/dev/ttyUSB1", "Input/output error"}, noConsole, file);
    EXPECT_NE(refused.output.find("Input/output error; the library's view of it is in " + file),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(refused.output.find("CFC_TRACE=1"), std::string::npos) << refused.output;
}

TEST_F(SwitchOffSequence, KernelConsoleIsWarnedAboutBeforeTheOpen)
{
    const SequenceRun warned = run(FailAt::Nothing, {}, everyDeviceIsTheConsole);
    EXPECT_EQ(warned.output,
              "vornax: warning: COM7 (/dev/ttyTEST7) is the kernel's console; opening it raises "
              "DTR and sends AT commands to the console\n" +
                  untilSwitchOff + close + "AutoExec successfully switched off\n");
    EXPECT_EQ(warned.exitCode, vornax::exitSuccess);
}

} // namespace
