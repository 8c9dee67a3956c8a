#include "actions.h"
#include "fake_cfc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using fakecfc::FailAt;

struct SequenceRun {
    std::string output; // printed lines and library calls, in the order they happened
    int exitCode;
};

SequenceRun switchOffOnCom7(FailAt failAt)
{
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);
    fakecfc::reset(stream, failAt);
    const int exitCode = vornax::switchAutoExecOff(stream, 7);
    std::fclose(stream);
    SequenceRun run{std::string(buffer, size), exitCode};
    std::free(buffer);
    return run;
}

const std::string untilServiceMode = "<WComOpen 7 115200 0>\n<WInitServiceMode 0xcfc01cfc>\n";
const std::string untilAutoStart = untilServiceMode + "<WSwitchJavaAutoStart 0xcfc01cfc 0>\n";
const std::string untilSwitchOff = untilAutoStart + "<WSwitchOff 0xcfc01cfc>\n";
const std::string close = "<WComClose 0xcfc01cfc>\n";

TEST(SwitchOffSequence, SuccessClosesThenReports)
{
    const SequenceRun run = switchOffOnCom7(FailAt::Nothing);
    EXPECT_EQ(run.output, untilSwitchOff + close + "AutoExec successfully switched off\n");
    EXPECT_EQ(run.exitCode, vornax::exitSuccess);
}

TEST(SwitchOffSequence, FailedStepIsReportedBeforeClosingAndEndsTheSequence)
{
    const struct {
        FailAt failAt;
        std::string expected;
    } cases[] = {
        {FailAt::ServiceMode, untilServiceMode + "Error: Cannot connect to Module\n" + close},
        {FailAt::AutoStart, untilAutoStart + "Error: Cannot switchoff AutoExec\n" + close},
        {FailAt::SwitchOff, untilSwitchOff + "Error: Cannot close Module connection\n" + close},
    };
    for (const auto& c : cases) {
        const SequenceRun run = switchOffOnCom7(c.failAt);
        EXPECT_EQ(run.output, c.expected);
        EXPECT_EQ(run.exitCode, vornax::exitFailure);
    }
}

} // namespace
