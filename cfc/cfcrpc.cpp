#include "cfcrpc.h"

#include "cfc_connection.h"
#include "cfc_version.h"
#include "cfcmsg.h"
#include "cfcrpc_engine.h"
#include "cfcrpc_version.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace cfc {

using rpc::Call;
using rpc::ConfirmWait;
using rpc::Discipline;
using rpc::Fields;
using rpc::Payload;
using rpc::Reception;

namespace {

// Confirm layouts: offsets of the fields behind the reference.
namespace status {
constexpr size_t kStatus = 2;
constexpr size_t kOperationMode = 4;
} // namespace status

constexpr size_t kReferenceOnly = 2;
constexpr size_t kAtMessage = 2 + kAtTextArea;
constexpr size_t kAtText = 2;
constexpr size_t kAutoStartMessage = 3;
constexpr size_t kAutoStartResult = 2;

// The common start of a call: the reference is drawn first, then the target
// version is made known.
Call startCall(Connection& connection)
{
    Call call(connection.messages, connection.trace);
    GetTargetVersion(connection);
    return call;
}

} // namespace

size_t EscapeLineEnds(const char* text, char* target, size_t targetSize)
{
    const size_t length = std::strlen(text);
    if (targetSize == 0)
        return length;
    size_t out = 0;
    for (size_t i = 0; i < length; ++i) {
        const char* piece = text[i] == '\n' ? "<LF>" : text[i] == '\r' ? "<CR>" : nullptr;
        const size_t size = piece != nullptr ? 4 : 1;
        if (out + size >= targetSize)
            break;
        if (piece != nullptr)
            std::memcpy(target + out, piece, size);
        else
            target[out] = text[i];
        out += size;
    }
    target[out] = '\0';
    return length;
}

uint16_t JudgeOperationModeConfirm(std::span<const uint8_t> confirm, uint8_t* mode)
{
    const Fields fields(confirm);
    if (fields.le16(status::kStatus) != 0)
        return kRpcBadConfirm;
    if (mode != nullptr)
        *mode = fields.u8(status::kOperationMode);
    return kRpcOk;
}

uint16_t JudgeStatusConfirm(std::span<const uint8_t> confirm)
{
    return Fields(confirm).le16(status::kStatus) != 0 ? kRpcBadConfirm : kRpcOk;
}

uint16_t JudgeAutoStartConfirm(const TraceChannel& trace, std::span<const uint8_t> confirm)
{
    const uint8_t result = Fields(confirm).u8(kAutoStartResult);
    if (result == 0)
        return kRpcOk;
    OpTrace(trace, "(RPC )", "CFCRPCSwitchJavaAutoStart")
        .step(6, "gives result %d, should be 0", result);
    return kRpcBadConfirm;
}

bool AtTextWhole(std::span<const uint8_t> confirm, size_t received)
{
    if (received >= kAtMessage)
        return true;
    // A text cut off before its zero byte would come out shortened.
    const std::span<const uint8_t> text =
        Fields(confirm.first(received)).bytes(kAtText, kAtTextArea);
    return std::find(text.begin(), text.end(), uint8_t{0}) != text.end();
}

void TakeAtText(std::span<const uint8_t> confirm, char* text)
{
    if (text == nullptr)
        return;
    std::array<char, kAtTextArea + 1> plain{};
    const std::span<const uint8_t> area = Fields(confirm).bytes(kAtText, kAtTextArea);
    const auto end = std::find(area.begin(), area.end(), uint8_t{0});
    std::copy(area.begin(), end, plain.begin());
    EscapeLineEnds(plain.data(), text, kAtResponseSize);
}

uint16_t CFCRPCGetCurrentOperationMode(Connection& connection, uint8_t* mode)
{
    return rpc::Perform(
        connection, rpc::kGetCurrentOperationMode, 0, [](Payload&) {},
        [&](std::span<const uint8_t> confirm) { return JudgeOperationModeConfirm(confirm, mode); });
}

uint16_t CFCRPCSetCurrentOperationMode(Connection& connection, uint8_t mode)
{
    return rpc::Perform(
        connection, rpc::kSetCurrentOperationMode, 0, [&](Payload& p) { p.u8(mode); },
        JudgeStatusConfirm);
}

uint16_t CFCRPCCalDevGsmFinish(Connection& connection)
{
    return rpc::Perform(
        connection, rpc::kCalDevGsmFinish, 0, [](Payload&) {}, JudgeReferenceOnly);
}

uint16_t CFCRPCSwitchOff(Connection& connection)
{
    const Call call = startCall(connection);
    std::array<uint8_t, kReferenceOnly> request;
    Payload payload(request);
    payload.le16(call.reference());
    return call.send(CFCRequestSwitchOff, payload) ? kRpcOk : call.notSent();
}

uint16_t CFCRPCSendAtCommand(Connection& connection, const char* command, char* response)
{
    const Call call = startCall(connection);
    const size_t length = command != nullptr ? std::strlen(command) : 0;
    // The caller refuses longer lines; one that still comes is not cut into a
    // different command.
    if (command == nullptr || length > kMaxAtCommandLength)
        return kRpcNotSent;
    std::array<uint8_t, kAtMessage> request{};
    Payload payload(request);
    payload.le16(call.reference())
        .bytes({reinterpret_cast<const uint8_t*>(command), length})
        .u8('\r')
        .u8(0)
        .skip(kAtTextArea - length - 2);
    if (!call.send(CFCRequestSendAtCommand, payload))
        return call.notSent();

    std::array<uint8_t, kAtMessage> confirm;
    OpTrace(connection.trace, "(CRPC)", "CFCRPCSendAtCommand").step(6, "rx echo...");
    const Reception echo = call.await(ConfirmWait{CFCConfirmSendAtCommand}, confirm);
    if (echo != Reception::Matched || response == nullptr)
        return rpc::ResultOf(echo);
    // A reference cut short cannot have matched.
    if (call.received() < kReferenceOnly)
        return kRpcBadConfirm;

    OpTrace(connection.trace, "(CRPC)", "CFCRPCSendAtCommand").step(6, "rx response...");
    const Reception answer =
        call.await(ConfirmWait{CFCConfirmSendAtCommand, Discipline::FiveAttempts}, confirm);
    if (answer != Reception::Matched)
        return rpc::ResultOf(answer);
    if (!AtTextWhole(confirm, call.received()))
        return kRpcBadConfirm;
    TakeAtText(confirm, response);
    return kRpcOk;
}

uint16_t CFCRPCReceiveAtCommand(Connection& connection, char* text)
{
    std::array<uint8_t, kAtMessage> confirm;
    // Text the firmware sends by itself answers no request: no reference, and
    // no version fetch whose reception would drop it from the queue.
    const ConfirmWait wait{CFCConfirmSendAtCommand, Discipline::ThreeReceptions, false};
    size_t received = 0;
    const Reception got =
        rpc::AwaitConfirm(connection.messages, connection.trace, wait, 0, confirm, &received);
    if (got != Reception::Matched)
        return rpc::ResultOf(got);
    if (!AtTextWhole(confirm, received))
        return kRpcBadConfirm;
    TakeAtText(confirm, text);
    return kRpcOk;
}

uint16_t CFCRPCSwitchJavaAutoStart(Connection& connection, uint8_t onOff)
{
    const Call call = startCall(connection);
    std::array<uint8_t, kAutoStartMessage> request;
    Payload payload(request);
    payload.le16(call.reference()).u8(onOff);
    if (!call.send(CFCRequestSwitchJavaAutoStart, payload))
        return call.notSent();

    std::array<uint8_t, kAutoStartMessage> confirm;
    const ConfirmWait wait{CFCConfirmSwitchJavaAutoStart, Discipline::FiveAttempts};
    Reception got = call.await(wait, confirm);
    if (got == Reception::Missing && ConfirmsAutoStartWhenAskedAgain(connection.target.version)) {
        OpTrace(connection.trace, "(RPC )", "CFCRPCSwitchJavaAutoStart")
            .step(6, "no answer (may be bus is closed)");
        if (!call.send(CFCRequestSwitchJavaAutoStartAgain, payload))
            return call.notSent();
        got = call.await(wait, confirm);
    }
    if (got != Reception::Matched)
        return rpc::ResultOf(got);
    if (call.received() < confirm.size())
        return kRpcBadConfirm;
    return JudgeAutoStartConfirm(connection.trace, confirm);
}

} // namespace cfc
