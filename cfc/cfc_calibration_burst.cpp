// Bursts and slots of a transmitter test: the burst data a line gives or has
// built, the GPRS slot definitions that carry it, and the circuit-switched
// TDMA frame.
#include "cfc.h"
#include "cfc_burst.h"
#include "cfc_calibration.h"
#include "cfc_calibration_op.h"
#include "cfcrpc_catalogue.h"

#include <algorithm>
#include <array>
#include <span>

namespace cfc {

namespace {

constexpr uint8_t kPsk8 = 1;

// Slot types and the fill of their data bytes, as the firmware knows them.
constexpr uint8_t kSlotUnused = 0;
constexpr uint8_t kSlotTxGmsk = 1;
constexpr uint8_t kSlotRxGmsk = 2;
constexpr uint8_t kSlotMonitor = 3;
constexpr uint8_t kSlotTx8psk = 4;
constexpr uint8_t kSlotRx8psk = 5;
constexpr uint8_t kSlotTxOther = 6;
constexpr uint8_t kSlotMarker = 5;
constexpr uint16_t kSlotDefaultValue = 40;
constexpr uint8_t kRxFill = 116;
constexpr uint8_t kMonitorFill = 117;
constexpr uint8_t kUnusedFill = 118;

using Block = std::array<uint8_t, kBurstDataSize>;

// Words into the request's bytes, low byte first, zeros behind them.
Block wordBytes(std::span<const uint16_t> words)
{
    Block bytes{};
    rpc::Payload payload(bytes);
    for (const uint16_t word : words)
        payload.le16(word);
    return bytes;
}

// The burst data of the store for a modulation.
std::span<uint16_t> burstStore(Connection& connection, uint8_t modulation)
{
    CalibrationStore& store = connection.calibration;
    if (modulation == kPsk8)
        return store.psk8Burst;
    return store.gmskBurst;
}

int32_t defineSlot(uint32_t handle, const char* name, uint8_t slotNumber, uint8_t type,
                   uint8_t second, uint16_t value, const Block& data)
{
    return CalibrationCall(handle, {name, "CFCRPCCalDevGsmSlotDefine"},
                           ArgText("(slotNumber=%d, type=%d, value=%d)", slotNumber, type, value),
                           [&](Connection& c) {
                               std::array<uint8_t, kSlotDefinitionSize> definition{};
                               rpc::Payload(definition).u8(type).u8(second).le16(value).bytes(data);
                               return CFCRPCCalDevGsmSlotDefine(c, definition.data(), slotNumber);
                           });
}

Block filled(uint8_t byte)
{
    Block block;
    block.fill(byte);
    return block;
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WSetBurstData(uint32_t handle, const uint16_t* pBurstData, uint8_t modulation)
{
    return CheckedCalibrationCall(
        handle, {"WSetBurstData", "CFCRPCCalDevGsmSetBurstData"},
        {Argument::needed(pBurstData, "pBurstData")}, ArgText("(modulation=%d)", modulation),
        [&](Connection& c) {
            const std::span<uint16_t> store = burstStore(c, modulation);
            std::copy(pBurstData, pBurstData + store.size(), store.begin());
            return CFCRPCCalDevGsmSetBurstData(c, wordBytes({pBurstData, k8pskBurstWords}).data());
        });
}

int32_t WSetCfcBurstDataMode(uint32_t handle, uint8_t dataMode, uint8_t tsc, uint8_t modulation)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const CalibrationOp op(connection, {"WSetCfcBurstDataMode", "CFCRPCCalDevGsmSetBurstData"});
        op.begin(ArgText("(dataMode=%d, tsc=%d, modulation=%d)", dataMode, tsc, modulation));
        const std::span<uint16_t> store = burstStore(connection, modulation);
        if (!BuildCfcBurst(dataMode, tsc, modulation == kPsk8, store))
            return op.refuse(EMMIERR_BAD_ARGUMENT, "invalid tsc %d", tsc);
        TraceWords(connection.trace, 7, "(CFC ) WSetCfcBurstDataMode: burstData ->", store.data(),
                   static_cast<int32_t>(store.size()));
        if (!op.made(CFCRPCCalDevGsmSetBurstData(connection, wordBytes(store).data())))
            return 0;
        return op.ok();
    });
}

int32_t WConfigureGPRSLogicalRxSlot(uint32_t handle, uint8_t slotNumber, uint8_t modulation,
                                    uint16_t gain)
{
    return defineSlot(handle, "WConfigureGPRSLogicalRxSlot", slotNumber,
                      modulation == kPsk8 ? kSlotRx8psk : kSlotRxGmsk, kSlotMarker, gain,
                      filled(kRxFill));
}

int32_t WConfigureGPRSLogicalTxSlot(uint32_t handle, uint8_t slotNumber, uint8_t modulation,
                                    uint8_t powerLevel, uint8_t otherType)
{
    const uint8_t type = otherType != 0        ? kSlotTxOther
                         : modulation == kPsk8 ? kSlotTx8psk
                                               : kSlotTxGmsk;
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        // The firmware sends a slot's words last bit first.
        std::array<uint16_t, k8pskBurstWords> words{};
        const std::span<const uint16_t> store = burstStore(connection, modulation);
        std::transform(store.begin(), store.end(), words.begin(), BitReversed);
        return defineSlot(handle, "WConfigureGPRSLogicalTxSlot", slotNumber, type, powerLevel,
                          kSlotDefaultValue, wordBytes(words));
    });
}

int32_t WConfigureGPRSLogicalMonSlot(uint32_t handle, uint8_t slotNumber, uint16_t value)
{
    return defineSlot(handle, "WConfigureGPRSLogicalMonSlot", slotNumber, kSlotMonitor, kSlotMarker,
                      value, filled(kMonitorFill));
}

int32_t WConfigureGPRSLogicalUnusedSlot(uint32_t handle, uint8_t slotNumber)
{
    return defineSlot(handle, "WConfigureGPRSLogicalUnusedSlot", slotNumber, kSlotUnused,
                      kSlotMarker, kSlotDefaultValue, filled(kUnusedFill));
}

int32_t WSetCircuitSwitchedTDMAFrame(uint32_t handle, uint8_t burstType, const uint8_t* pBurstOn,
                                     const uint16_t* pChannels, const uint16_t* pGains,
                                     uint8_t secondBurstType, uint8_t timingAdvance,
                                     uint8_t rachData, uint8_t powerLevel, uint16_t scaleFactor)
{
    const auto run = [&](Connection& connection) -> int32_t {
        BurstSetting burst;
        std::copy(pBurstOn, pBurstOn + burst.burstOn.size(), burst.burstOn.begin());
        std::copy(pChannels, pChannels + burst.channels.size(), burst.channels.begin());
        std::copy(pGains, pGains + burst.gains.size(), burst.gains.begin());
        burst.burstType = burstType;
        burst.secondBurstType = secondBurstType;
        burst.timingAdvance = timingAdvance;
        burst.rachData = rachData;
        burst.powerLevel = powerLevel;
        // The operation's own call line comes first; the ramp scale factor is
        // one of its steps.
        const CalibrationOp op(connection,
                               {"WSetCircuitSwitchedTDMAFrame", "CFCRPCCalDevGsmSetBurst"});
        op.announce(ArgText("(burstType=%d, secondBurstType=%d, timingAdvance=%d, powerLevel=%d, "
                            "scaleFactor=%d)",
                            burstType, secondBurstType, timingAdvance, powerLevel, scaleFactor));
        if (!SetRampScaleFactor(connection, scaleFactor))
            return 0;
        op.lowerCall();
        if (!op.made(CFCRPCCalDevGsmSetBurst(connection, burst)))
            return 0;
        return op.ok();
    };
    return CheckedCall(handle, "WSetCircuitSwitchedTDMAFrame",
                       {Argument::needed(pBurstOn, "pBurstOn"),
                        Argument::needed(pChannels, "pChannels"),
                        Argument::needed(pGains, "pGains")},
                       run);
}

} // extern "C"
