#include "cfcrpc_radio.h"

#include "cfc_connection.h"
#include "cfc_trace.h"
#include "cfcrpc_engine.h"

#include <algorithm>
#include <array>

namespace cfc {

using rpc::CallDef;
using rpc::CallerData;
using rpc::Fields;
using rpc::kBehindReference;
using rpc::kStatusByte;
using rpc::Payload;
using rpc::Perform;

using Confirm = std::span<const uint8_t>;

namespace device {
constexpr size_t kFrequencyOffset = 2;
constexpr size_t kBurstStatus = 4;
constexpr size_t kGainStatus = 2;
constexpr size_t kGainValue = 4;
constexpr size_t kChannelEcho = 2;
constexpr size_t kRssi = 4;
constexpr size_t kBurstTypeEcho = 4; // behind two bytes that are not read
constexpr size_t kGainCodeStatus = 2;
constexpr size_t kGainCodeCount = 4;
constexpr size_t kGainCodes = 6;
constexpr size_t kLoopBackStatus = 12;
// Status of the calls whose firmware confirms success with 1.
constexpr uint8_t kDone = 1;
} // namespace device

namespace {

uint16_t judgeDone(Confirm confirm)
{
    return Fields(confirm).u8(kStatusByte) == device::kDone ? kRpcOk : kRpcBadConfirm;
}

// Calls whose request is the reference and one 16-bit value, confirmed by
// the reference alone.
uint16_t sendValue(Connection& connection, const CallDef& def, uint16_t value)
{
    return Perform(
        connection, def, 0, [&](Payload& p) { p.le16(value); }, JudgeReferenceOnly);
}

uint16_t sendByte(Connection& connection, const CallDef& def, uint8_t value)
{
    return Perform(
        connection, def, 0, [&](Payload& p) { p.u8(value); }, JudgeReferenceOnly);
}

// Calls whose request is the reference and a fixed area of the caller's,
// confirmed by the reference alone.
uint16_t sendArea(Connection& connection, const CallDef& def, const uint8_t* area, size_t size)
{
    return Perform(
        connection, def, 0, [&](Payload& p) { p.bytes(CallerData(area, size)); },
        JudgeReferenceOnly);
}

// A definition area of the module's frame schedule, shown in the trace and
// sent with the number it defines.
uint16_t sendDefinition(Connection& connection, const CallDef& def, const char* traceHead,
                        const uint8_t* definition, uint16_t size, uint8_t number)
{
    if (definition != nullptr)
        TraceBytes(connection.trace, 6, traceHead, definition, size);
    return Perform(
        connection, def, 0, [&](Payload& p) { p.bytes(CallerData(definition, size)).u8(number); },
        judgeDone);
}

template <class T>
void put(T* out, T value)
{
    if (out != nullptr)
        *out = value;
}

} // namespace

uint16_t JudgeGainCodeTable(Confirm confirm, uint16_t* codes, uint16_t capacity, uint16_t* count)
{
    const Fields fields(confirm);
    if (confirm.size() < device::kGainCodes || fields.le16(device::kGainCodeStatus) != 1)
        return kRpcBadConfirm;
    const uint16_t taken =
        codes != nullptr ? std::min(fields.le16(device::kGainCodeCount), capacity) : uint16_t{0};
    if (fields.bytes(device::kGainCodes, 2u * taken).size() < 2u * taken)
        return kRpcBadConfirm;
    for (uint16_t i = 0; i < taken; ++i)
        codes[i] = fields.le16(device::kGainCodes + 2u * i);
    put(count, taken);
    return kRpcOk;
}

uint16_t JudgeLoopBackData(Confirm confirm, LoopBackData* data)
{
    const Fields fields(confirm);
    if (fields.u8(device::kLoopBackStatus) != device::kDone)
        return kRpcBadConfirm;
    if (data != nullptr)
        *data = {fields.i16(2), fields.i16(4), fields.le16(6), fields.le16(8), fields.i16(10)};
    return kRpcOk;
}

uint16_t CFCRPCCalDevGsmSetAfcDac(Connection& connection, uint16_t afcValue)
{
    return sendValue(connection, rpc::kSetAfcDac, afcValue);
}

uint16_t CFCRPCCalDevGsmFreqOffsetMeas(Connection& connection, uint16_t arfcn, uint16_t afcValue,
                                       int16_t* frequencyOffset, uint8_t* burstStatus)
{
    return Perform(
        connection, rpc::kFreqOffsetMeas, 0, [&](Payload& p) { p.le16(arfcn).le16(afcValue); },
        [&](Confirm c) {
            put(frequencyOffset, Fields(c).i16(device::kFrequencyOffset));
            put(burstStatus, Fields(c).u8(device::kBurstStatus));
            return kRpcOk;
        });
}

uint16_t CFCRPCCalDevGsmGainProgram(Connection& connection, uint16_t value, uint8_t gainIndex,
                                    uint8_t band, uint8_t operation, uint16_t* valueOut)
{
    return Perform(
        connection, rpc::kGainProgram, 0,
        [&](Payload& p) { p.le16(value).u8(gainIndex).u8(band).u8(operation); },
        [&](Confirm c) {
            if (Fields(c).le16(device::kGainStatus) != 0)
                return kRpcBadConfirm;
            put(valueOut, Fields(c).le16(device::kGainValue));
            return kRpcOk;
        });
}

uint16_t CFCRPCCalDevGsmRssi(Connection& connection, uint16_t channel, uint16_t gain,
                             uint8_t applyAgcTable, int16_t* rssi)
{
    return Perform(
        connection, rpc::kRssi, 0,
        [&](Payload& p) { p.le16(channel).le16(gain).u8(applyAgcTable); },
        [&](Confirm c) {
            if (Fields(c).le16(device::kChannelEcho) != channel)
                return kRpcBadConfirm;
            put(rssi, Fields(c).i16(device::kRssi));
            return kRpcOk;
        });
}

uint16_t CFCRPCCalDevGsmDcOffset(Connection& connection, uint8_t measure, int16_t* rxI,
                                 int16_t* rxQ, int16_t* txI, int16_t* txQ)
{
    return Perform(
        connection, rpc::kDcOffset, 0, [&](Payload& p) { p.u8(measure); },
        [&](Confirm c) {
            const Fields fields(c);
            put(rxI, fields.i16(2));
            put(rxQ, fields.i16(4));
            put(txI, fields.i16(6));
            put(txQ, fields.i16(8));
            return kRpcOk;
        });
}

uint16_t CFCRPCCalDevGsmSetBandMode(Connection& connection, uint8_t bandMode)
{
    return sendByte(connection, rpc::kSetBandMode, bandMode);
}

uint16_t CFCRPCCalDevGsmSetBurstData(Connection& connection, const uint8_t* burstData)
{
    return sendArea(connection, rpc::kSetBurstData, burstData, kBurstDataSize);
}

uint16_t CFCRPCCalDevGsmSetBurst(Connection& connection, const BurstSetting& burst)
{
    return Perform(
        connection, rpc::kSetBurst, 0,
        [&](Payload& p) {
            for (const uint16_t channel : burst.channels)
                p.le16(channel);
            for (const uint16_t gain : burst.gains)
                p.le16(gain);
            p.bytes(burst.burstOn)
                .u8(burst.burstType)
                .u8(burst.secondBurstType)
                .u8(burst.timingAdvance)
                .u8(burst.rachData)
                .u8(burst.powerLevel);
        },
        [&](Confirm c) {
            return Fields(c).u8(device::kBurstTypeEcho) == burst.burstType ? kRpcOk
                                                                           : kRpcBadConfirm;
        });
}

uint16_t CFCRPCCalDevGsmRampScale(Connection& connection, uint16_t scaleFactor)
{
    return sendValue(connection, rpc::kRampScale, scaleFactor);
}

uint16_t CFCRPCCalDevGsmSetPowerRamp(Connection& connection, const uint8_t* powerRamp)
{
    return sendArea(connection, rpc::kSetPowerRamp, powerRamp, kPowerRampSize);
}

uint16_t CFCRPCCalDevGsmRxControl(Connection& connection, uint8_t index, uint8_t operation,
                                  uint32_t parameter)
{
    return Perform(
        connection, rpc::kRxControl, 0,
        [&](Payload& p) { p.u8(index).u8(operation).le32(parameter); }, JudgeReferenceOnly);
}

uint16_t CFCRPCCalDevGsmLoopBack(Connection& connection, uint8_t operation, uint16_t bch,
                                 uint16_t tch, uint8_t timeSlot, uint8_t tsc, uint8_t powerLevel)
{
    return Perform(
        connection, rpc::kLoopBack, 0,
        [&](Payload& p) {
            p.u8(operation).le16(bch).le16(tch).u8(timeSlot).u8(tsc).u8(powerLevel);
        },
        judgeDone);
}

uint16_t CFCRPCCalDevGsmLoopBackData(Connection& connection, LoopBackData* data)
{
    return Perform(
        connection, rpc::kLoopBackData, 0, [](Payload&) {},
        [&](Confirm c) { return JudgeLoopBackData(c, data); });
}

uint16_t CFCRPCCalDevGsmSlotDefine(Connection& connection, const uint8_t* slotDefinition,
                                   uint8_t slotNumber)
{
    return sendDefinition(connection, rpc::kSlotDefine,
                          "(RPC ) CFCRPCCalDevGsmSlotDefine: slotdefinition ->", slotDefinition,
                          kSlotDefinitionSize, slotNumber);
}

uint16_t CFCRPCCalDevGsmFrameDefine(Connection& connection, const uint8_t* frameDefinition,
                                    uint8_t frameNumber)
{
    return sendDefinition(connection, rpc::kFrameDefine,
                          "(RPC ) CFCRPCCalDevGsmFrameDefine: framedefinition ->", frameDefinition,
                          kFrameDefinitionSize, frameNumber);
}

uint16_t CFCRPCCalDevGsmFrameTiming(Connection& connection, uint8_t frameNumber,
                                    uint16_t frameAdvance, uint16_t rxAdvance, uint16_t txAdvance,
                                    uint16_t monitorAdvance)
{
    return Perform(
        connection, rpc::kFrameTiming, 0,
        [&](Payload& p) {
            p.u8(frameNumber)
                .le16(frameAdvance)
                .le16(rxAdvance)
                .le16(txAdvance)
                .le16(monitorAdvance);
        },
        JudgeReferenceOnly);
}

uint16_t CFCRPCCalDevGsmFrameUse(Connection& connection, uint8_t mode)
{
    return sendByte(connection, rpc::kFrameUse, mode);
}

uint16_t CFCRPCCalDevGsmConstTx(Connection& connection, uint16_t channel, uint32_t amLoopOffset,
                                uint16_t value, uint8_t mode)
{
    static constexpr std::array<uint8_t, 12> kZeros{};
    return Perform(
        connection, rpc::kConstTx, 0,
        [&](Payload& p) { p.le16(channel).le32(amLoopOffset).bytes(kZeros).le16(value).u8(mode); },
        JudgeStatusByte);
}

uint16_t CFCRPCCalDevGsmBBCRegister(Connection& connection, uint16_t readWriteMask,
                                    const uint16_t* addresses, const uint16_t* values,
                                    uint16_t* returned)
{
    return Perform(
        connection, rpc::kBBCRegister, 0,
        [&](Payload& p) {
            p.le16(readWriteMask);
            for (const uint16_t* list : {addresses, values})
                for (size_t i = 0; i < kBBCRegisters; ++i)
                    p.le16(list != nullptr ? list[i] : 0);
        },
        [&](Confirm c) {
            for (size_t i = 0; returned != nullptr && i < kBBCRegisters; ++i)
                returned[i] = Fields(c).le16(kBehindReference + 2 * i);
            return kRpcOk;
        });
}

uint16_t CFCRPCGetGainCodeTable(Connection& connection, uint16_t capacity, uint8_t band,
                                uint8_t gainIndex, uint16_t* codes, uint16_t* count)
{
    return Perform(
        connection, rpc::kGetGainCodeTable, 2 * size_t{capacity},
        [&](Payload& p) { p.le16(capacity).u8(band).u8(gainIndex); },
        [&](Confirm c) { return JudgeGainCodeTable(c, codes, capacity, count); });
}

uint16_t CFCRPCSetPrechargeValue(Connection& connection, uint16_t value)
{
    return sendValue(connection, rpc::kSetPrechargeValue, value);
}

uint16_t CFCRPCApexProtocolStackModeChange(Connection& connection, uint8_t mode)
{
    // Only a silent module earns another reception: any confirm is taken.
    return Perform(
        connection, rpc::kApexProtocolStackModeChange, 0, [&](Payload& p) { p.u8(mode); },
        JudgeProtocolStackConfirm);
}

uint16_t JudgeProtocolStackConfirm(Confirm confirm)
{
    return Fields(confirm).u8(kProtocolStackResult) == 1 ? kRpcOk : kRpcBadReference;
}

} // namespace cfc
