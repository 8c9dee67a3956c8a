// Shared by the tests of the operation modes and the switch-off: a connection
// to a simulated module with the firmware options of the case, the trace file
// in a fresh directory, and what the module was asked.
#pragma once

#include "cfc.h"
#include "cfc_connection.h"
#include "link_test_support.h"
#include "test_support.h"

#include "sim/firmware.h"
#include "sim/simulator.h"
#include "sim/wire.h"

#include "ordered_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cfctest {

// A version text whose first item names the firmware as `name`.
inline std::string versionText(const std::string& name)
{
    return name + ":cfcsim module firmware&Bln-Bootloader V01.03&RPC 0001.0000";
}

inline sim::Options firmwareOptions(sim::OperationMode mode,
                                    const std::string& name = "ZEPHIN_B2_240")
{
    sim::Options options;
    options.firmware.operationMode = mode;
    options.firmware.versionText = versionText(name);
    return options;
}

using testsupport::inOrder;

class MainPathTest : public ::testing::Test {
protected:
    MainPathTest(int port, std::string name) : port_(port), name_(std::move(name)) {}

    void TearDown() override
    {
        link_.reset();
        WDisableTraceFile();
    }

    // A new module (and connection) in EMMI mode; any earlier one is gone.
    // The module leaves the requests that `unanswered` picks without confirm.
    void startModule(const sim::Options& options,
                     std::function<bool(const sim::HostMessage&)> unanswered = {})
    {
        link_.reset();
        sim::MessageHandler script;
        if (unanswered) {
            auto firmware = std::make_shared<sim::Firmware>(options.firmware);
            script = [firmware, unanswered](sim::Simulator& module,
                                            const sim::HostMessage& request) {
                if (!unanswered(request))
                    firmware->handle(module, request);
            };
        }
        link_.emplace(port_, name_, ModuleLink::Module::Simulator, options, script);
        handle_ = link_->handle();
        WSetTraceLevel(handle_, 9);
        WEnableTraceFile();
    }

    sim::Simulator& module() { return link_->sim(); }
    cfc::Connection& connection() { return link_->connection(); }
    uint16_t lastError() { return connection().lastError(); }

    // Ids of the requests the module got, the version fetch left out.
    std::vector<uint16_t> requests()
    {
        std::vector<uint16_t> ids;
        for (const sim::HostMessage& message : module().hostMessages())
            if (message.type == sim::kTypeCommand && message.command != sim::rpc::kGetVersion)
                ids.push_back(message.command);
        return ids;
    }

    // The AT command lines the module got through the firmware.
    std::vector<std::string> atLines()
    {
        std::vector<std::string> lines;
        for (const sim::HostMessage& message : module().hostMessages()) {
            if (message.type != sim::kTypeCommand || message.command != sim::rpc::kSendAtCommand)
                continue;
            const auto begin = message.data.begin() + 2;
            lines.emplace_back(begin, std::find(begin, message.data.end(), '\r'));
        }
        return lines;
    }

    // Trace lines written since the last call (or since the test began).
    std::vector<std::string> newTraceLines()
    {
        std::vector<std::string> all = traceTexts();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(std::min(seen_, all.size())),
                                       all.end());
        seen_ = all.size();
        return fresh;
    }

    // Declared first: the connection closes before the directory goes.
    ScopedTempCwd cwd_;
    std::optional<ModuleLink> link_;
    uint32_t handle_ = 0;

private:
    int port_;
    std::string name_;
    size_t seen_ = 0;
};

} // namespace cfctest
