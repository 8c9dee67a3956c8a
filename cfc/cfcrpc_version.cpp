#include "cfcrpc_version.h"

#include "cfc_connection.h"
#include "cfc_version.h"
#include "cfcrpc_engine.h"

#include <algorithm>
#include <array>

namespace cfc {

using rpc::Fields;
using rpc::Payload;

namespace {

// Confirm layout: offsets of the fields behind the reference.
constexpr size_t kHardwareId = 4; // after two bytes that are not read
constexpr size_t kRpcVersion = 8;
constexpr size_t kText = 12;

} // namespace

uint16_t JudgeVersionConfirm(std::span<const uint8_t> confirm, uint32_t* hardwareId,
                             uint32_t* rpcVersion, char* text, uint16_t textSize)
{
    const Fields fields(confirm);
    if (hardwareId != nullptr)
        *hardwareId = fields.le32(kHardwareId);
    if (rpcVersion != nullptr)
        *rpcVersion = fields.le32(kRpcVersion);
    if (text != nullptr && textSize > 0) {
        // The module's text need not end inside the area; it is cut there.
        const std::span<const uint8_t> sent = fields.bytes(kText, textSize - 1u);
        const auto end = std::find(sent.begin(), sent.end(), uint8_t{0});
        char* const behind = std::copy(sent.begin(), end, text);
        std::fill(behind, text + textSize, '\0');
    }
    return kRpcOk;
}

uint16_t CFCRPCGetVersion(Connection& connection, uint32_t* hardwareId, uint32_t* rpcVersion,
                          char* text, uint16_t textSize)
{
    return rpc::Perform(
        connection, rpc::kGetVersion, textSize, [](Payload&) {},
        [&](std::span<const uint8_t> confirm) {
            // Cut short before its text, a confirm has no version to give.
            if (confirm.size() < kText)
                return kRpcBadConfirm;
            return JudgeVersionConfirm(confirm, hardwareId, rpcVersion, text, textSize);
        });
}

void GetTargetVersion(Connection& connection)
{
    TargetVersionInfo& version = connection.target.version;
    if (version.gotTargetVersion != 0)
        return;
    // Set before the fetch, whose own call comes back here.
    version.gotTargetVersion = 1;
    TraceLine(connection.trace, 2, "(CFC ) Get target version information at first...");

    uint32_t hardwareId = 0;
    uint32_t rpcVersion = 0;
    std::array<char, kVersionTextSize> text{};
    const uint16_t error =
        CFCRPCGetVersion(connection, &hardwareId, &rpcVersion, text.data(), kVersionTextSize);
    if (error != kRpcOk) {
        connection.storeError(error);
        OpTrace(connection.trace, "(CFC )", "GetTargetVersion")
            .step(2, "CFCRPCGetVersion fails with error %d", error);
        version.gotTargetVersion = 0;
        return;
    }
    EvaluateTargetVersion(connection, {text.data(), text.size()}, hardwareId, rpcVersion);
}

} // namespace cfc
