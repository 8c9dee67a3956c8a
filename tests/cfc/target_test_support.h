// Shared by the serial-mode and module-boot tests: a connection on an
// in-memory line with the module played by the simulator (started in the
// mode a test asks for) or by the test itself, and the trace file in a fresh
// directory.
#pragma once

#include "cfc.h"
#include "cfc_boot.h"
#include "cfc_connection.h"
#include "cfc_emmiswitch.h"
#include "cfc_rawexchange.h"
#include "cfc_serialmode.h"
#include "link_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cfctest {

inline const Bytes kEmmiProbe{0x02, 0x01, 0xD6, 0x0D};

// One line of a TraceBytes dump: its index label, then the bytes.
inline std::string dumpLine(int index, const Bytes& values)
{
    char text[32];
    std::snprintf(text, sizeof text, "(CFC )   %02d:    ", index);
    std::string line = text;
    for (const uint8_t value : values) {
        std::snprintf(text, sizeof text, "0x%02x ", value);
        line += text;
    }
    return line;
}

class TargetTest : public ::testing::Test {
protected:
    static constexpr int kPort = 7;

    // A test may attach more than once; the line and the connection before
    // go first, so the new ones can take their names.
    void attach(sim::Mode mode, const sim::Options& options = {})
    {
        link_.reset();
        link_ =
            std::make_unique<ModuleLink>(kPort, "target", ModuleLink::Module::Simulator, options);
        link_->sim().setMode(mode);
        ready();
    }
    void attachByHand()
    {
        link_ = std::make_unique<ModuleLink>(kPort, "target", ModuleLink::Module::ByHand);
        ready();
    }
    void TearDown() override
    {
        link_.reset();
        WDisableTraceFile();
    }

    uint32_t handle() const { return link_->handle(); }
    ModuleLink& link() { return *link_; }
    sim::Simulator& module() { return link_->sim(); }
    plat::VirtualLineState line() { return link_->device().lineState(); }

    long traced(const std::string& text)
    {
        const std::vector<std::string> lines = traceTexts();
        return std::count(lines.begin(), lines.end(), text);
    }
    // True when the lines appear in this order (others may come between).
    bool tracedInOrder(const std::vector<std::string>& wanted)
    {
        const std::vector<std::string> lines = traceTexts();
        auto at = lines.begin();
        for (const std::string& text : wanted) {
            at = std::find(at, lines.end(), text);
            if (at == lines.end())
                return false;
            ++at;
        }
        return true;
    }
    std::string skipBuffer()
    {
        const auto skipped = link_->connection().raw.contents().skipped;
        return std::string(skipped.begin(), skipped.end());
    }
    // 115200 baud, two stop bits, DTR held low and RTS on, as after the open.
    bool onNormalSettings()
    {
        const plat::VirtualLineState now = line();
        return now.settings.baudRate == 115200 && now.settings.stopBits == plat::StopBits::Two &&
               !now.settings.dtr && now.settings.rts && !now.dtr;
    }
    bool inRawByteMode() { return link_->connection().frames.rawByteMode(); }

private:
    void ready()
    {
        ASSERT_NE(handle(), 0u);
        WSetTraceLevel(handle(), 9);
        WEnableTraceFile();
    }

    // First: the connection closes before its trace directory goes.
    ScopedTempCwd cwd_;
    std::unique_ptr<ModuleLink> link_;
};

} // namespace cfctest
