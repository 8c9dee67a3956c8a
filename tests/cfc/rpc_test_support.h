// Remote procedure calls against a module on the in-memory line: the
// simulator's firmware, or a script of the test that answers each request
// with whatever confirms the case needs.
#pragma once

#include "cfcmsg.h"
#include "link_test_support.h"

#include "sim/firmware.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cfctest {

// Waits of a few hundred milliseconds where a case needs the module to stay
// silent: long enough for any confirm that is coming, short enough to keep
// runs of five or ten empty receptions quick.
inline constexpr uint32_t kSilentWaitMs = 300;

inline Bytes le16(uint16_t value)
{
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
}

inline Bytes le32(uint32_t value)
{
    return concat(le16(static_cast<uint16_t>(value & 0xFFFF)),
                  le16(static_cast<uint16_t>(value >> 16)));
}

inline uint16_t referenceOf(const sim::HostMessage& request)
{
    return request.data.size() < 2
               ? 0
               : static_cast<uint16_t>(request.data[0] | (request.data[1] << 8));
}

// The version confirm the firmware sends: reference, two bytes not read,
// hardware id, RPC version, text and its zero byte.
inline Bytes versionConfirm(uint16_t reference, const std::string& text,
                            uint32_t hardwareId = 0x203, uint32_t rpcVersion = 0x00010000)
{
    Bytes confirm =
        concat(concat(le16(reference), le16(0)), concat(le32(hardwareId), le32(rpcVersion)));
    confirm = concat(confirm, bytesOf(text));
    confirm.push_back(0);
    return confirm;
}

// An AT text area of 128 bytes: the text, zero bytes behind it.
inline Bytes atTextArea(const std::string& text)
{
    Bytes area = bytesOf(text);
    area.resize(128, 0);
    return area;
}

inline constexpr const char* kPlainVersion =
    "ZEPHIN_B2_240:scripted firmware&Bln-Bootloader V01.03&RPC 0001.0000";

// A module whose answers the test writes: `versionText` answers the version
// request (none: `onRequest` answers it too), `onRequest` every other request.
class ScriptedModule {
public:
    using OnRequest = std::function<void(sim::Simulator&, const sim::HostMessage&)>;

    ScriptedModule(int port, const std::string& name, OnRequest onRequest,
                   std::optional<std::string> versionText = kPlainVersion)
        : script_(std::make_shared<Script>(std::move(versionText), std::move(onRequest))),
          link_(port, name, ModuleLink::Module::Simulator, {}, handlerFor(script_))
    {
    }

    uint32_t handle() const { return link_.handle(); }
    cfc::Connection& connection() { return link_.connection(); }
    sim::Simulator& sim() { return link_.sim(); }
    ModuleLink& link() { return link_; }

    // The next version requests go unanswered.
    void ignoreVersionRequests(unsigned count) { script_->versionsIgnored = count; }
    size_t requestsOf(uint16_t id)
    {
        const auto messages = link_.sim().hostMessages();
        return static_cast<size_t>(
            std::count_if(messages.begin(), messages.end(),
                          [id](const sim::HostMessage& m) { return m.command == id; }));
    }
    // Shortens each empty reception to kSilentWaitMs.
    void quickSilence() { connection().serial.setClass2Timeout(kSilentWaitMs); }

private:
    struct Script {
        Script(std::optional<std::string> text, OnRequest request)
            : versionText(std::move(text)), onRequest(std::move(request))
        {
        }
        const std::optional<std::string> versionText;
        const OnRequest onRequest;
        std::atomic<unsigned> versionsIgnored{0};
    };

    static sim::MessageHandler handlerFor(std::shared_ptr<Script> script)
    {
        return [script](sim::Simulator& module, const sim::HostMessage& request) {
            if (request.command != cfc::CFCRequestGetVersion || !script->versionText) {
                if (script->onRequest)
                    script->onRequest(module, request);
                return;
            }
            // Only this thread counts down; the test sets the count beforehand.
            if (script->versionsIgnored.load() > 0) {
                script->versionsIgnored.fetch_sub(1);
                return;
            }
            module.sendMessage(cfc::CFCConfirmGetVersion,
                               versionConfirm(referenceOf(request), *script->versionText));
        };
    }

    std::shared_ptr<Script> script_;
    ModuleLink link_;
};

// The trace file in a fresh working directory for the test's lifetime.
class TracedTest : public ::testing::Test {
protected:
    void SetUp() override { WEnableTraceFile(); }
    void TearDown() override { WDisableTraceFile(); }

    static size_t countOf(const std::string& text)
    {
        const auto texts = traceTexts();
        return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
    }
    static bool traced(const std::string& text) { return countOf(text) > 0; }

private:
    ScopedTempCwd cwd_;
};

} // namespace cfctest
