// Signal-trace settings read, and the file number advanced, at every open.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_sigtrace.h"
#include "test_support.h"

#include "plat/profile.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace cfctest;

namespace {

class SignalTraceSettings : public ::testing::Test {
protected:
    void SetUp() override { WEnableTraceFile(); }
    void TearDown() override { WDisableTraceFile(); }

    void writeIni(const std::string& text) { std::ofstream(ini_) << text; }
    std::string suffixInFile() { return plat::readProfileString(ini_, "Global", "Suffix", "none"); }
    // Whether the open switched the signal trace on. No module answers on
    // this line, so the close skips the module's switch-off.
    bool openAndClose()
    {
        const uint32_t h = WComOpen(17, 115200, 0);
        const bool enabled = connectionOf(h).signals.signalTraceEnabled();
        connectionOf(h).signals.enable.store(0);
        EXPECT_EQ(WComClose(h), 1);
        return enabled;
    }

    ScopedTempCwd cwd_;
    std::string ini_ = (cwd_.path() / "cfctrace.ini").string();
    ScopedEnv env_{"CFC_TRACE_INI", ini_};
    VirtualComPort com_{17, "sigtrace"};
};

TEST_F(SignalTraceSettings, SuffixAdvancesAndStartsAgainAfter999)
{
    writeIni("[Global]\nEnable=1\nSuffix=998\n");
    EXPECT_TRUE(openAndClose());
    EXPECT_EQ(cfc::ConnectionAt(17).signals.suffix.load(), 998);
    EXPECT_EQ(suffixInFile(), "999");

    openAndClose();
    EXPECT_EQ(cfc::ConnectionAt(17).signals.suffix.load(), 999);
    EXPECT_EQ(suffixInFile(), "0");
    EXPECT_TRUE(contains(traceTexts(), "(CFC ) WComOpen: Nimbo trace suffix read to 999"));
}

TEST_F(SignalTraceSettings, DisabledOrMissingLeavesTheFileAlone)
{
    writeIni("[Global]\nEnable=0\nSuffix=5\n");
    EXPECT_FALSE(openAndClose());
    EXPECT_EQ(suffixInFile(), "5");

    std::filesystem::remove(ini_);
    EXPECT_FALSE(openAndClose());
    EXPECT_FALSE(std::filesystem::exists(ini_));
}

} // namespace
