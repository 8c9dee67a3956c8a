#include "cfcrpc_version.h"

#include "cfc_connection.h"
#include "cfc_version.h"
#include "cfcmsg.h"
#include "cfcrpc_engine.h"

#include <algorithm>
#include <array>

namespace cfc {

using rpc::Call;
using rpc::ConfirmWait;
using rpc::Discipline;
using rpc::Fields;
using rpc::Payload;

namespace {

// Confirm layout: offsets of the fields behind the reference.
constexpr size_t kHardwareId = 4; // after two bytes that are not read
constexpr size_t kRpcVersion = 8;
constexpr size_t kText = 12;
// Area beyond the text size: the fields above and the text's zero byte.
constexpr size_t kAreaBeyondText = 11;
constexpr size_t kRequestSize = 2;

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
    const Call call(connection.messages, connection.trace);
    // Inside a fetch this returns at once: the fetch marks the connection
    // before it calls here.
    GetTargetVersion(connection);
    std::array<uint8_t, kRequestSize> request;
    Payload payload(request);
    payload.le16(call.reference());
    // Taken before the request goes out, so a call without memory leaves no
    // confirm behind in the queue.
    const size_t areaSize = size_t{textSize} + kAreaBeyondText;
    const auto area = rpc::AllocateArea(areaSize);
    if (!area)
        return kRpcNoMemory;
    const std::span<uint8_t> confirm(area.get(), areaSize);
    const ConfirmWait wait{CFCConfirmGetVersion, Discipline::ThreeReceptions, true,
                           "CFCRPCGetVersion"};
    if (const uint16_t result = call.exchange(CFCRequestGetVersion, payload, wait, confirm, kText))
        return result;
    return JudgeVersionConfirm(confirm, hardwareId, rpcVersion, text, textSize);
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
