#include "cfcrpc_engine.h"

#include "cfc_connection.h"
#include "cfc_trace.h"
#include "cfcemmi.h"

#include "plat/byte_order.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

namespace cfc::rpc {

namespace {

// Atomic so that calls on two connections from two threads still number
// their requests without a race; the unsigned type wraps 65535 to 0.
std::atomic<uint16_t> g_nextReference{0};

constexpr unsigned receptionsOf(Discipline discipline)
{
    return discipline == Discipline::ThreeReceptions ? 3 : 5;
}

void traceForeignReference(const TraceChannel& trace, const ConfirmWait& wait)
{
    if (wait.discipline != Discipline::ThreeReceptions)
        return;
    if (wait.callName != nullptr)
        TraceLineF(trace, 8, "(RPC ) %s: invalid reference received", wait.callName);
    else
        OpTrace(trace, "(RPC )", "RECV_RPC_CONFIRM").step(8, "invalid reference received");
}

} // namespace

uint16_t DrawReference()
{
    return g_nextReference.fetch_add(1, std::memory_order_relaxed);
}

uint8_t* Payload::reserve(size_t count)
{
    if (overflowed_ || count > area_.size() - size_) {
        overflowed_ = true;
        return nullptr;
    }
    uint8_t* at = area_.data() + size_;
    size_ += count;
    return at;
}

Payload& Payload::u8(uint8_t value)
{
    if (uint8_t* at = reserve(1))
        at[0] = value;
    return *this;
}

Payload& Payload::le16(uint16_t value)
{
    if (uint8_t* at = reserve(2))
        plat::putLe16({at, 2}, 0, value);
    return *this;
}

Payload& Payload::le32(uint32_t value)
{
    if (uint8_t* at = reserve(4))
        plat::putLe32({at, 4}, 0, value);
    return *this;
}

Payload& Payload::bytes(std::span<const uint8_t> values)
{
    if (uint8_t* at = reserve(values.size()); at != nullptr && !values.empty())
        std::memcpy(at, values.data(), values.size());
    return *this;
}

Payload& Payload::skip(size_t count)
{
    reserve(count);
    return *this;
}

uint8_t Fields::u8(size_t offset) const
{
    return offset < confirm_.size() ? confirm_[offset] : 0;
}

uint16_t Fields::le16(size_t offset) const
{
    // A field cut off by the confirm's end reads its missing bytes as zero.
    std::array<uint8_t, 2> field{};
    std::ranges::copy(bytes(offset, field.size()), field.begin());
    return plat::getLe16(field, 0);
}

uint32_t Fields::le32(size_t offset) const
{
    std::array<uint8_t, 4> field{};
    std::ranges::copy(bytes(offset, field.size()), field.begin());
    return plat::getLe32(field, 0);
}

std::span<const uint8_t> Fields::bytes(size_t offset, size_t count) const
{
    if (offset >= confirm_.size())
        return {};
    return confirm_.subspan(offset, std::min(count, confirm_.size() - offset));
}

Reception AwaitConfirm(MessageLink& messages, const TraceChannel& trace, const ConfirmWait& wait,
                       uint16_t reference, std::span<uint8_t> area, size_t* received)
{
    const unsigned receptions = receptionsOf(wait.discipline);
    // The area can be larger than any message; a reception fills at most this.
    const uint16_t expected = static_cast<uint16_t>(std::min<size_t>(area.size(), UINT16_MAX));
    Reception last = Reception::Missing;
    size_t ignored = 0;
    if (received == nullptr)
        received = &ignored;
    for (unsigned attempt = 1; attempt <= receptions; ++attempt) {
        std::fill(area.begin(), area.end(), uint8_t{0});
        uint16_t length = 0;
        const bool taken =
            CFCReceiveFromTarget(messages, trace, wait.id, area.data(), expected, &length);
        *received = length;
        if (!taken) {
            last = Reception::Missing;
            if (wait.discipline == Discipline::ThreeReceptions)
                return last;
            continue;
        }
        if (!wait.compareReference || Fields(area).le16(kReferenceOffset) == reference)
            return Reception::Matched;
        last = Reception::Foreign;
        traceForeignReference(trace, wait);
    }
    return last;
}

uint16_t ResultOf(Reception reception)
{
    switch (reception) {
    case Reception::Matched: return kRpcOk;
    case Reception::Missing: return kRpcNoConfirm;
    case Reception::Foreign: return kRpcBadReference;
    }
    return kRpcNoConfirm;
}

std::unique_ptr<uint8_t[]> AllocateArea(size_t size)
{
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]());
}

Call::Call(MessageLink& messages, const TraceChannel& trace)
    : messages_(messages), trace_(trace), reference_(DrawReference())
{
}

uint16_t NotSentResult(uint8_t sendCode)
{
    return sendCode == EMMIERR_SYSTEM ? kRpcNoMemory : kRpcNotSent;
}

bool Call::send(uint16_t id, const Payload& request) const
{
    notSent_ = kRpcNotSent;
    if (request.overflowed())
        return false;
    const ErrorCode code = CFCSendMessageToTarget(messages_, id, request.data(), request.size());
    notSent_ = NotSentResult(code);
    return code == EMMIERR_OK;
}

Reception Call::await(const ConfirmWait& wait, std::span<uint8_t> area) const
{
    return AwaitConfirm(messages_, trace_, wait, reference_, area, &received_);
}

std::span<const uint8_t> CallerData(const uint8_t* data, size_t size)
{
    return data != nullptr ? std::span<const uint8_t>(data, size) : std::span<const uint8_t>{};
}

namespace {

// Holds every fixed request (the largest is 67 bytes) and fixed confirm.
constexpr size_t kFixedArea = 72;

} // namespace

uint16_t Perform(Connection& connection, const CallDef& def, size_t dataSize, PackFields pack,
                 JudgeConfirm judge)
{
    const bool referenced = (def.flags & kNoReference) == 0;
    const Call call = referenced ? Call(connection.messages, connection.trace)
                                 : Call::Unreferenced(connection.messages, connection.trace);
    if ((def.flags & kNoVersionFetch) == 0)
        GetTargetVersion(connection);

    const bool dataOut = (def.flags & kDataInRequest) != 0;
    const bool dataIn = (def.flags & kVariableLength) != 0;
    const size_t requestSize = def.requestSize + (dataOut ? dataSize : 0);
    const size_t confirmSize = def.confirmSize + (dataIn ? dataSize : 0);
    // The message layer would cut such a request into a different one.
    if (requestSize > kMaxRequestSize)
        return kRpcNoMemory;

    std::array<uint8_t, kFixedArea> fixedConfirm;
    std::unique_ptr<uint8_t[]> allocatedConfirm;
    std::span<uint8_t> confirm(fixedConfirm.data(), std::min(confirmSize, kFixedArea));
    if (dataIn) {
        // Taken before the request goes out, so a call without memory
        // leaves no confirm behind in the queue.
        allocatedConfirm = AllocateArea(confirmSize);
        if (!allocatedConfirm)
            return kRpcNoMemory;
        confirm = {allocatedConfirm.get(), confirmSize};
    }

    {
        std::array<uint8_t, kFixedArea> fixedRequest;
        std::unique_ptr<uint8_t[]> allocatedRequest;
        std::span<uint8_t> area(fixedRequest.data(), std::min(requestSize, kFixedArea));
        if (dataOut) {
            allocatedRequest = AllocateArea(requestSize);
            if (!allocatedRequest)
                return kRpcNoMemory;
            area = {allocatedRequest.get(), requestSize};
        }
        Payload payload(area);
        payload.le16(call.reference());
        pack(payload);
        if (payload.size() != requestSize)
            return kRpcNotSent;
        if (!call.send(def.request, payload))
            return call.notSent();
    }

    const bool compareReference = referenced && (def.flags & kAnyReference) == 0;
    const ConfirmWait wait{ConfirmId(def), def.discipline, compareReference,
                           dataIn ? def.name : nullptr};
    const Reception got = call.await(wait, confirm);
    const bool judged = got == Reception::Matched ||
                        (got == Reception::Foreign && (def.flags & kLastConfirmJudged) != 0);
    if (!judged)
        return ResultOf(got);
    // Nothing is judged or delivered from a confirm cut short: its missing
    // fields would read as zeros. A variable-length judgement checks the
    // data behind the header itself.
    const size_t received = std::min(call.received(), confirm.size());
    if (received < FieldsNeeded(def))
        return kRpcBadConfirm;
    return judge(std::span<const uint8_t>(confirm.first(received)));
}

} // namespace cfc::rpc

namespace cfc {

uint16_t JudgeReferenceOnly(std::span<const uint8_t>)
{
    return kRpcOk;
}

uint16_t JudgeStatusByte(std::span<const uint8_t> confirm)
{
    return rpc::Fields(confirm).u8(rpc::kStatusByte) != 0 ? kRpcBadConfirm : kRpcOk;
}

} // namespace cfc
