#include "sim/signal_trace.h"

#include "sim/firmware.h"

#include <array>

namespace sim {

namespace {

constexpr uint32_t kMaskParameter32 = 0x113;
constexpr uint8_t kTakeMask = 2;

constexpr size_t kGroupCount = 10;
constexpr std::array<uint8_t, kGroupCount> kBasesPerGroup{2, 35, 0, 9, 8, 16, 22, 0, 28, 1};
constexpr size_t kBaseTable = 52;
constexpr size_t kBlockArea = 536;
constexpr size_t kBlockSize = 32;

} // namespace

std::vector<uint32_t> decodeSignalMask(std::span<const uint8_t> mask)
{
    std::vector<uint32_t> enabled;
    if (mask.size() < kBlockArea)
        return enabled;
    size_t index = 0;
    for (uint32_t group = 0; group < kGroupCount; ++group) {
        for (uint32_t base = 0; base < kBasesPerGroup[group]; ++base, ++index) {
            const uint32_t offset = getBe32(mask, kBaseTable + 4 * index);
            if (offset == 0 || kBlockArea + size_t{offset} + kBlockSize > mask.size())
                continue;
            const uint8_t* block = mask.data() + kBlockArea + offset;
            for (uint32_t n = 0; n < 256; ++n)
                if (block[n / 8] & (1u << (n % 8)))
                    enabled.push_back((group << 16) | (base << 8) | n);
        }
    }
    return enabled;
}

std::vector<uint8_t> simulatedSignalData(uint32_t signalId)
{
    const uint32_t number = signalId & 0xFF;
    std::vector<uint8_t> data(8 + 4 * size_t{number});
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(number + i);
    return data;
}

bool SignalTraceUnit::take(const HostMessage& message)
{
    std::lock_guard lock(mutex_);
    if (message.type == kTypeParameters && message.parameter32 == kMaskParameter32) {
        ++state_.masksReceived;
        state_.lastMask = message.data;
        pending_ = decodeSignalMask(message.data);
        // The off message comes alone: nothing is enabled from now on.
        if (pending_.empty())
            state_.enabled.clear();
        return true;
    }
    if (message.type == kTypeByteParameter && message.parameterByte == kTakeMask) {
        ++state_.masksTaken;
        state_.enabled = pending_;
        next_ = 0;
        return true;
    }
    return false;
}

std::vector<SignalTrace> SignalTraceUnit::reportAfter(const HostMessage& message)
{
    std::lock_guard lock(mutex_);
    std::vector<SignalTrace> round;
    const bool request = message.type == kTypeCommand && message.command != rpc::kSwitchOff;
    const bool taken = message.type == kTypeByteParameter && message.parameterByte == kTakeMask;
    if (state_.enabled.empty() || !(request || taken))
        return round;
    for (size_t i = 0; i < kSignalsPerRound && i < state_.enabled.size(); ++i) {
        const uint32_t id = state_.enabled[next_];
        next_ = (next_ + 1) % state_.enabled.size();
        ++frameNumber_;
        round.push_back({static_cast<uint16_t>(0x10 + (id >> 16)), 0x20, frameNumber_,
                         frameNumber_ * 10, id, simulatedSignalData(id)});
    }
    return round;
}

SignalTraceState SignalTraceUnit::state() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

} // namespace sim
