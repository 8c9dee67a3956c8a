// Arbitrary module answers to the remote procedure calls: version texts of
// any shape through their evaluation, confirm bytes of any length through
// every judgement, and queues of arbitrary messages through the confirm waits
// with their reference matching. Every area the harness hands over is exactly
// as large as the size it passes, so a write or read past it is caught.
//
// Input: a selector byte, then by its low two bits
//   0: a version text (no zero byte needed) for the evaluation;
//   1: a text size byte and the bytes of one confirm for each judgement
//      (the text size is also the data size and code capacity of the
//      catalogue's reads);
//   2: a wait byte (bit 0 five attempts, bit 1 reference not compared, bit 2
//      the trace text naming a call), the confirm area size (u16), the
//      expected id (u8) and reference (u16), then messages, each its id byte,
//      its length (u16) and its bytes, queued as the receive thread would
//      queue them before the wait.
#include "module_line.h"

#include "cfc_connection.h"
#include "cfc_version.h"
#include "cfcmsg.h"
#include "cfcrpc.h"
#include "cfcrpc_catalogue.h"
#include "cfcrpc_engine.h"
#include "gwcoml3.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

namespace {

// An empty queue ends a reception at once instead of after a second.
constexpr uint32_t kEmptyQueueWaitMs = 1;

// Reads the input front to back; past its end every field is zero.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t le16()
    {
        const uint8_t low = u8();
        return static_cast<uint16_t>(low | (u8() << 8));
    }
    std::span<const uint8_t> bytes(size_t count)
    {
        const size_t taken = std::min(count, size_ - at_);
        const std::span<const uint8_t> part(data_ + at_, taken);
        at_ += taken;
        return part;
    }
    std::span<const uint8_t> rest() { return bytes(size_ - at_); }
    bool done() const { return at_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// A heap copy of exactly the bytes given, so nothing lies behind them.
std::unique_ptr<uint8_t[]> exactCopy(std::span<const uint8_t> bytes)
{
    auto copy = std::make_unique<uint8_t[]>(bytes.size());
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    return copy;
}

void evaluateVersion(uint32_t handle, std::span<const uint8_t> text)
{
    const auto copy = exactCopy(text);
    const std::string_view view(reinterpret_cast<const char*>(copy.get()), text.size());
    const cfc::FirmwareName name = cfc::EvaluateFirmwareName(view);
    if (name.evaluated && (name.project.back() != '\0' || name.postfix.back() != '\0'))
        __builtin_trap();
    cfc::FindBootloaderItem(view);
    cfc::EvaluateTargetVersion((*cfc::ConnectionOf(handle)), view, 0x203, 0x00010000);
    const cfc::TargetVersionInfo& version = cfc::ConnectionOf(handle)->target.version;
    if (version.bootloader.back() != '\0')
        __builtin_trap();
}

// The catalogue's judgements; every output area is exactly as large as the
// size passed with it, and no count or length may claim more.
void judgeCatalogue(std::span<const uint8_t> exact, uint16_t dataSize)
{
    const auto data = std::make_unique<uint8_t[]>(std::max<size_t>(dataSize, 1));
    for (const bool versioned : {false, true}) {
        uint16_t length = 0;
        uint8_t version = 0;
        cfc::JudgeItemRead(exact, versioned, data.get(), dataSize, &length, &version);
        if (length > dataSize)
            __builtin_trap();
    }
    uint8_t present = 0;
    cfc::JudgeItemState(exact, &present);
    cfc::JudgeStatusByte(exact);
    const auto codes = std::make_unique<uint16_t[]>(std::max<size_t>(dataSize, 1));
    uint16_t count = 0;
    cfc::JudgeGainCodeTable(exact, codes.get(), dataSize, &count);
    if (count > dataSize)
        __builtin_trap();
    cfc::LoopBackData loop;
    cfc::JudgeLoopBackData(exact, &loop);
    cfc::JudgeProtocolStackConfirm(exact);
    // A signed status byte keeps 700 + s within 572 to 827.
    const uint16_t identity = cfc::JudgeIdentityStatus(exact, 2);
    if (identity != 0 && (identity < 572 || identity > 827))
        __builtin_trap();
    const auto info = std::make_unique<uint8_t[]>(cfc::kMobileInfoSize);
    const size_t statusAt = 2 + cfc::kMobileInfoSize;
    cfc::JudgeIdentityBytes(exact, {info.get(), cfc::kMobileInfoSize}, &statusAt);
    cfc::JudgeIdentityBytes(exact, {info.get(), cfc::kChallengeSize}, nullptr);
}

void judgeAll(uint32_t handle, uint16_t textSize, std::span<const uint8_t> confirm)
{
    const auto copy = exactCopy(confirm);
    const std::span<const uint8_t> exact(copy.get(), confirm.size());
    uint32_t hardwareId = 0;
    uint32_t rpcVersion = 0;
    const auto text = std::make_unique<char[]>(std::max<size_t>(textSize, 1));
    cfc::JudgeVersionConfirm(exact, &hardwareId, &rpcVersion, text.get(), textSize);
    if (textSize > 0 && text[textSize - 1] != '\0')
        __builtin_trap();
    uint8_t mode = 0;
    cfc::JudgeOperationModeConfirm(exact, &mode);
    cfc::JudgeStatusConfirm(exact);
    cfc::JudgeAutoStartConfirm(cfc::ConnectionOf(handle)->trace, exact);
    const auto atText = std::make_unique<char[]>(cfc::kAtResponseSize);
    cfc::TakeAtText(exact, atText.get());
    judgeCatalogue(exact, textSize);
}

void awaitQueued(uint32_t handle, Input& input)
{
    const uint8_t how = input.u8();
    cfc::rpc::ConfirmWait wait;
    wait.discipline = (how & 0x01) != 0 ? cfc::rpc::Discipline::FiveAttempts
                                        : cfc::rpc::Discipline::ThreeReceptions;
    wait.compareReference = (how & 0x02) == 0;
    wait.callName = (how & 0x04) != 0 ? "CFCRPCGetVersion" : nullptr;
    const uint16_t areaSize = input.le16();
    wait.id = input.u8();
    const uint16_t reference = input.le16();

    while (!input.done()) {
        const uint8_t id = input.u8();
        // A length beyond the input takes what is left; the message layer
        // never queues more than a message holds.
        const std::span<const uint8_t> bytes =
            input.bytes(std::min<size_t>(input.le16(), cfc::kMessageSize));
        const auto message = exactCopy(bytes);
        cfc::EmmiL3AddToRxQueue((*cfc::ConnectionOf(handle)).messages, id, message.get(),
                                static_cast<uint16_t>(bytes.size()));
    }

    const auto area = std::make_unique<uint8_t[]>(std::max<size_t>(areaSize, 1));
    const std::span<uint8_t> exact(area.get(), areaSize);
    const cfc::rpc::Reception got =
        cfc::rpc::AwaitConfirm((*cfc::ConnectionOf(handle)).messages,
                               (*cfc::ConnectionOf(handle)).trace, wait, reference, exact);
    if (got != cfc::rpc::Reception::Missing) {
        char text[cfc::kAtResponseSize];
        cfc::TakeAtText(exact, text);
        uint8_t mode = 0;
        cfc::JudgeOperationModeConfirm(exact, &mode);
    }
    cfc::EmmiL3DrainRxQueue((*cfc::ConnectionOf(handle)).messages);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzzlink::ModuleLine& line = fuzzlink::ModuleLine::instance();
    const uint32_t handle = line.handle();
    cfc::ConnectionOf(handle)->serial.setClass2Timeout(kEmptyQueueWaitMs);

    Input input(data, size);
    switch (input.u8() & 0x03) {
    case 0: evaluateVersion(handle, input.rest()); break;
    case 1: {
        const uint16_t textSize = static_cast<uint16_t>(input.u8() * 5);
        judgeAll(handle, textSize, input.rest());
        break;
    }
    default: awaitQueued(handle, input); break;
    }
    return 0;
}
