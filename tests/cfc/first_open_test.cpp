// What happens once per process at the first open; this binary opens nothing
// before these tests run.
#include "cfc.h"
#include "cfc_trace.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace cfctest;

namespace {

TEST(FirstOpen, ExplicitLevelsSurviveAndTheRestBecomeNine)
{
    ScopedTempCwd cwd;
    WEnableTraceFile();
    // Before any open there is no time base; a line must still be written.
    cfc::TraceToFile("before any open");
    EXPECT_EQ(WGetTraceLevel(0xCFC03CFCu), 0u) << "levels start at 0";

    const uint32_t slot2 = 0xCFC02CFCu;
    EXPECT_EQ(WSetTraceLevel(slot2, 2), slot2);
    VirtualComPort com(3, "first-open");
    const uint32_t h = WComOpen(3, 115200, 0);
    ASSERT_EQ(h, 0xCFC03CFCu);
    EXPECT_EQ(WGetTraceLevel(slot2), 2u);
    EXPECT_EQ(WGetTraceLevel(h), 9u);
    EXPECT_EQ(WGetTraceLevel(0xCFC1FCFCu), 9u);
    EXPECT_EQ(WComClose(h), 1);
    WDisableTraceFile();

    std::ifstream in("tracefiles/tracefile.txt");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "[0000.000] before any open");
}

} // namespace
