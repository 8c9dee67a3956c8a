// A module that keeps answering after every switch-off request: vornax gives
// up after five rounds of waiting for silence, each of 100 probes. The probes'
// fixed waits make this run take minutes, so it runs apart from the others.
#include "module_run.h"

#include <gtest/gtest.h>

using namespace consoletest;

namespace {

TEST_F(VornaxWithModule, ModuleThatNeverFallsSilent) {
    const Outcome outcome = run({"--mode=emmi", "--never-silent"}, {"com3"}, std::chrono::minutes(5));
    EXPECT_EQ(outcome.output, "Error: Cannot close Module connection\n");
    EXPECT_EQ(outcome.status, kFailureStatus);
    const std::vector<std::string> lines = trace();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "(CFC ) WSwitchOff: call CFCRPCSwitchOff..."), 5);
    EXPECT_TRUE(inOrder(lines, {"(CFC ) WSwitchOff: target not switched off!?", "(CFC ) WComClose()"}));
    std::cout << "run took "
              << std::chrono::duration_cast<std::chrono::milliseconds>(outcome.elapsed).count() << " ms\n";
}

} // namespace
