#include "cfcrpc_catalogue.h"

#include "cfc_connection.h"
#include "cfc_trace.h"
#include "cfcemmi.h"
#include "cfcmsg.h"
#include "cfcrpc_engine.h"
#include "cfcrpc_version.h"

#include <algorithm>
#include <array>
#include <memory>

namespace cfc {

using rpc::Call;
using rpc::CallDef;
using rpc::ConfirmWait;
using rpc::Fields;
using rpc::Payload;
using rpc::Reception;

namespace {

using Confirm = std::span<const uint8_t>;

// Holds every fixed request (the largest is 67 bytes) and fixed confirm.
constexpr size_t kFixedArea = 72;

// Confirm fields behind the reference.
constexpr size_t kBehindReference = 2;
constexpr size_t kStatusByte = 2;
constexpr uint16_t kIdentityStatusBase = 700;
namespace item {
constexpr size_t kLength = 2;
constexpr size_t kStatus = 4;
constexpr size_t kVersion = 5;
constexpr size_t kData = 5;
constexpr size_t kVersionedData = 6;
} // namespace item

std::span<const uint8_t> callerData(const uint8_t* data, uint16_t size)
{
    // Without data the request comes out short and is not sent.
    return data != nullptr ? std::span<const uint8_t>(data, size) : std::span<const uint8_t>{};
}

// The common pattern of every catalogue call: the reference first, the
// version fetch where the row asks for it, the request (the row's fields
// packed by `pack` behind the reference), the wait the row names, and
// `judge` on the confirm area. `dataSize` is the data a write carries or a
// variable-length read asks for.
template <class Pack, class Judge>
uint16_t Perform(Connection& connection, const CallDef& def, size_t dataSize, Pack pack,
                 Judge judge)
{
    const Call call(connection.messages, connection.trace);
    if ((def.flags & rpc::kNoVersionFetch) == 0)
        GetTargetVersion(connection);

    const bool dataOut = (def.flags & rpc::kDataInRequest) != 0;
    const bool dataIn = (def.flags & rpc::kVariableLength) != 0;
    const size_t requestSize = def.requestSize + (dataOut ? dataSize : 0);
    const size_t confirmSize = def.confirmSize + (dataIn ? dataSize : 0);
    // The message layer would cut such a request into a different one.
    if (requestSize > rpc::kMaxRequestSize)
        return kRpcNoMemory;

    std::array<uint8_t, kFixedArea> fixedConfirm;
    std::unique_ptr<uint8_t[]> allocatedConfirm;
    std::span<uint8_t> confirm(fixedConfirm.data(), std::min(confirmSize, kFixedArea));
    if (dataIn) {
        // Taken before the request goes out, so a call without memory
        // leaves no confirm behind in the queue.
        allocatedConfirm = rpc::AllocateArea(confirmSize);
        if (!allocatedConfirm)
            return kRpcNoMemory;
        confirm = {allocatedConfirm.get(), confirmSize};
    }

    {
        std::array<uint8_t, kFixedArea> fixedRequest;
        std::unique_ptr<uint8_t[]> allocatedRequest;
        std::span<uint8_t> area(fixedRequest.data(), std::min(requestSize, kFixedArea));
        if (dataOut) {
            allocatedRequest = rpc::AllocateArea(requestSize);
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

    const ConfirmWait wait{static_cast<uint16_t>(def.request + 1), def.discipline, true,
                           dataIn ? def.name : nullptr};
    const Reception got = call.await(wait, confirm);
    const bool judged = got == Reception::Matched ||
                        (got == Reception::Foreign && (def.flags & rpc::kLastConfirmJudged) != 0);
    if (!judged)
        return rpc::ResultOf(got);
    // Nothing is judged or delivered from a confirm cut short: its missing
    // fields would read as zeros. A variable-length judgement checks the
    // data behind the header itself.
    const size_t received = std::min(call.received(), confirm.size());
    if (received < rpc::FieldsNeeded(def))
        return kRpcBadConfirm;
    return judge(Confirm(confirm.first(received)));
}

} // namespace

uint16_t JudgeStatusByte(Confirm confirm)
{
    return Fields(confirm).u8(kStatusByte) != 0 ? kRpcBadConfirm : kRpcOk;
}

uint16_t JudgeItemRead(Confirm confirm, bool versioned, uint8_t* data, uint16_t dataSize,
                       uint16_t* length, uint8_t* version)
{
    const Fields fields(confirm);
    const size_t dataAt = versioned ? item::kVersionedData : item::kData;
    if (confirm.size() < dataAt || fields.u8(item::kStatus) > 1)
        return kRpcBadConfirm;
    // The length field is the module's word; the caller's size is the bound.
    const uint16_t delivered = data != nullptr ? std::min(fields.le16(item::kLength), dataSize) : 0;
    const std::span<const uint8_t> sent = fields.bytes(dataAt, delivered);
    // Data cut short would be delivered with zeros for the bytes that never
    // came.
    if (sent.size() < delivered)
        return kRpcBadConfirm;
    std::copy(sent.begin(), sent.end(), data);
    if (length != nullptr)
        *length = delivered;
    if (versioned && version != nullptr)
        *version = fields.u8(item::kVersion);
    return kRpcOk;
}

uint16_t JudgeItemState(Confirm confirm, uint8_t* present)
{
    const Fields fields(confirm);
    const int8_t state = fields.i8(item::kStatus);
    if (state == 0 && fields.le16(item::kLength) != 1)
        return kRpcBadConfirm;
    if (state == 3 || state >= 5 || state < 0)
        return kRpcUndefinedItemState;
    if (present != nullptr)
        *present = state == 0 ? 1 : state == 4 ? 255 : 0;
    return kRpcOk;
}

uint16_t JudgeIdentityStatus(Confirm confirm, size_t statusAt)
{
    const int8_t status = Fields(confirm).i8(statusAt);
    return status == 0 ? kRpcOk : static_cast<uint16_t>(kIdentityStatusBase + status);
}

uint16_t JudgeIdentityBytes(Confirm confirm, std::span<uint8_t> out, const size_t* statusAt)
{
    if (statusAt != nullptr) {
        if (const uint16_t result = JudgeIdentityStatus(confirm, *statusAt))
            return result;
    }
    const std::span<const uint8_t> sent = Fields(confirm).bytes(kBehindReference, out.size());
    std::fill(std::copy(sent.begin(), sent.end(), out.begin()), out.end(), uint8_t{0});
    return kRpcOk;
}

// NVRAM user items.

uint16_t CFCRPCL1ALNVRAMRead(Connection& connection, uint16_t value, uint32_t userId, uint8_t* data,
                             uint16_t dataSize, uint16_t* length)
{
    return Perform(
        connection, rpc::kL1ALNVRAMRead, dataSize,
        [&](Payload& p) { p.le16(value).le32(userId).le16(dataSize); },
        [&](Confirm c) { return JudgeItemRead(c, false, data, dataSize, length, nullptr); });
}

uint16_t CFCRPCL1ALNVRAMReadVer(Connection& connection, uint16_t value, uint32_t userId,
                                uint8_t* data, uint16_t dataSize, uint16_t* length,
                                uint8_t* version)
{
    return Perform(
        connection, rpc::kL1ALNVRAMReadVer, dataSize,
        [&](Payload& p) { p.le16(value).le32(userId).le16(dataSize); },
        [&](Confirm c) { return JudgeItemRead(c, true, data, dataSize, length, version); });
}

uint16_t CFCRPCL1ALNVRAMWrite(Connection& connection, uint16_t value, uint32_t userId,
                              uint16_t dataSize, const uint8_t* data)
{
    return Perform(
        connection, rpc::kL1ALNVRAMWrite, dataSize,
        [&](Payload& p) {
            p.le16(value).le32(userId).le16(dataSize).bytes(callerData(data, dataSize));
        },
        JudgeStatusByte);
}

uint16_t CFCRPCL1ALNVRAMWriteVer(Connection& connection, uint16_t value, uint32_t userId,
                                 uint16_t dataSize, uint8_t version, const uint8_t* data)
{
    return Perform(
        connection, rpc::kL1ALNVRAMWriteVer, dataSize,
        [&](Payload& p) {
            p.le16(value).le32(userId).le16(dataSize).u8(version).bytes(callerData(data, dataSize));
        },
        JudgeStatusByte);
}

uint16_t CFCRPCL1ALNvRamDelete(Connection& connection, uint16_t value, uint32_t userId)
{
    return Perform(
        connection, rpc::kL1ALNvRamDelete, 0, [&](Payload& p) { p.le16(value).le32(userId); },
        JudgeStatusByte);
}

uint16_t CFCRPCL1ALNvRamErase(Connection& connection)
{
    return Perform(
        connection, rpc::kL1ALNvRamErase, 0, [](Payload&) {}, JudgeStatusByte);
}

// NVRAM calibration items.

uint16_t CFCRPCL1ALNvRamCheckCal(Connection& connection, uint8_t calibrationId, uint8_t* present)
{
    return Perform(
        connection, rpc::kL1ALNvRamCheckCal, 0, [&](Payload& p) { p.le16(1).u8(calibrationId); },
        [&](Confirm c) { return JudgeItemState(c, present); });
}

uint16_t CFCRPCL1ALNVRAMReadCal(Connection& connection, uint8_t calibrationId, uint8_t* data,
                                uint16_t dataSize, uint16_t* length)
{
    return Perform(
        connection, rpc::kL1ALNVRAMReadCal, dataSize,
        [&](Payload& p) { p.le16(dataSize).u8(calibrationId); },
        [&](Confirm c) { return JudgeItemRead(c, false, data, dataSize, length, nullptr); });
}

uint16_t CFCRPCL1ALNvRamWriteCal(Connection& connection, uint16_t calibrationId, uint16_t dataSize,
                                 const uint8_t* data)
{
    return Perform(
        connection, rpc::kL1ALNvRamWriteCal, dataSize,
        [&](Payload& p) {
            p.le16(calibrationId & 0xFF).le16(dataSize).bytes(callerData(data, dataSize));
        },
        JudgeStatusByte);
}

uint16_t CFCRPCL1ALNvRamEraseCal(Connection& connection)
{
    return Perform(
        connection, rpc::kL1ALNvRamEraseCal, 0, [](Payload&) {}, JudgeStatusByte);
}

uint16_t CFCRPCSaveAllOther(Connection& connection, uint16_t lastCalibrationItem)
{
    return Perform(
        connection, rpc::kSaveAllOther, 0, [&](Payload& p) { p.le16(lastCalibrationItem); },
        JudgeStatusByte);
}

uint16_t CFCRPCRestoreAllOther(Connection& connection, uint16_t lastCalibrationItem)
{
    return Perform(
        connection, rpc::kRestoreAllOther, 0, [&](Payload& p) { p.le16(lastCalibrationItem); },
        JudgeStatusByte);
}

uint16_t CFCRPCQVNVRAMCheckCal(Connection& connection, uint16_t calibrationId, uint8_t* present)
{
    return Perform(
        connection, rpc::kQVNVRAMCheckCal, 0, [&](Payload& p) { p.le16(1).le16(calibrationId); },
        [&](Confirm c) { return JudgeItemState(c, present); });
}

uint16_t CFCRPCQVNVRAMReadCal(Connection& connection, uint16_t calibrationId, uint8_t* data,
                              uint16_t dataSize, uint16_t* length)
{
    return Perform(
        connection, rpc::kQVNVRAMReadCal, dataSize,
        [&](Payload& p) { p.le16(dataSize).le16(calibrationId); },
        [&](Confirm c) { return JudgeItemRead(c, false, data, dataSize, length, nullptr); });
}

uint16_t CFCRPCQVNVRAMReadCalVer(Connection& connection, uint16_t calibrationId, uint8_t* data,
                                 uint16_t dataSize, uint16_t* length, uint8_t* version)
{
    return Perform(
        connection, rpc::kQVNVRAMReadCalVer, dataSize,
        [&](Payload& p) { p.le16(dataSize).le16(calibrationId); },
        [&](Confirm c) { return JudgeItemRead(c, true, data, dataSize, length, version); });
}

uint16_t CFCRPCQVNvRamWriteCal(Connection& connection, uint16_t calibrationId, uint16_t dataSize,
                               const uint8_t* data)
{
    return Perform(
        connection, rpc::kQVNvRamWriteCal, dataSize,
        [&](Payload& p) { p.le16(calibrationId).le16(dataSize).bytes(callerData(data, dataSize)); },
        JudgeStatusByte);
}

uint16_t CFCRPCQVNvRamWriteCalVer(Connection& connection, uint16_t calibrationId, uint16_t dataSize,
                                  uint8_t version, const uint8_t* data)
{
    return Perform(
        connection, rpc::kQVNvRamWriteCalVer, dataSize,
        [&](Payload& p) {
            p.le16(calibrationId).le16(dataSize).u8(version).bytes(callerData(data, dataSize));
        },
        JudgeStatusByte);
}

// Calibration device calls.

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

uint16_t judgeOnlyReference(Confirm)
{
    return kRpcOk;
}

uint16_t judgeDone(Confirm confirm)
{
    return Fields(confirm).u8(kStatusByte) == device::kDone ? kRpcOk : kRpcBadConfirm;
}

// Calls whose request is the reference and one 16-bit value, confirmed by
// the reference alone.
uint16_t sendValue(Connection& connection, const CallDef& def, uint16_t value)
{
    return Perform(
        connection, def, 0, [&](Payload& p) { p.le16(value); }, judgeOnlyReference);
}

uint16_t sendByte(Connection& connection, const CallDef& def, uint8_t value)
{
    return Perform(
        connection, def, 0, [&](Payload& p) { p.u8(value); }, judgeOnlyReference);
}

// A definition area of the module's frame schedule, shown in the trace and
// sent with the number it defines.
uint16_t sendDefinition(Connection& connection, const CallDef& def, const char* traceHead,
                        const uint8_t* definition, uint16_t size, uint8_t number)
{
    if (definition != nullptr)
        TraceBytes(connection.trace, 6, traceHead, definition, size);
    return Perform(
        connection, def, 0, [&](Payload& p) { p.bytes(callerData(definition, size)).u8(number); },
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
    return Perform(
        connection, rpc::kSetBurstData, 0,
        [&](Payload& p) { p.bytes(callerData(burstData, kBurstDataSize)); }, judgeOnlyReference);
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
    return Perform(
        connection, rpc::kSetPowerRamp, 0,
        [&](Payload& p) { p.bytes(callerData(powerRamp, kPowerRampSize)); }, judgeOnlyReference);
}

uint16_t CFCRPCCalDevGsmRxControl(Connection& connection, uint8_t index, uint8_t operation,
                                  uint32_t parameter)
{
    return Perform(
        connection, rpc::kRxControl, 0,
        [&](Payload& p) { p.u8(index).u8(operation).le32(parameter); }, judgeOnlyReference);
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
        judgeOnlyReference);
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
    // This request carries no reference: none is drawn, and any confirm is
    // taken; only a silent module earns another reception.
    GetTargetVersion(connection);
    std::array<uint8_t, 3> request{};
    Payload payload(request);
    payload.skip(2).u8(mode);
    if (const ErrorCode sent =
            CFCSendMessageToTarget(connection.messages, CFCRequestApexProtocolStackModeChange,
                                   payload.data(), payload.size()))
        return rpc::NotSentResult(sent);
    std::array<uint8_t, kProtocolStackConfirmSize> confirm;
    const ConfirmWait wait{CFCConfirmApexProtocolStackModeChange, rpc::Discipline::FiveAttempts,
                           false};
    size_t received = 0;
    const Reception got =
        rpc::AwaitConfirm(connection.messages, connection.trace, wait, 0, confirm, &received);
    if (got != Reception::Matched)
        return rpc::ResultOf(got);
    if (received < confirm.size())
        return kRpcBadConfirm;
    return JudgeProtocolStackConfirm(confirm);
}

uint16_t JudgeProtocolStackConfirm(Confirm confirm)
{
    return Fields(confirm).u8(kProtocolStackResult) == 1 ? kRpcOk : kRpcBadReference;
}

// Identity and security.

namespace identity {
constexpr size_t kFlashSerialStatus = 2;
constexpr size_t kFlashSerial = 3;
constexpr size_t kIEValue = 2;
constexpr size_t kIEStatus = 4;
constexpr size_t kIMEIMode = 2;
constexpr size_t kIMEIModeStatus = 4;
constexpr size_t kNumberStatus = 10;
constexpr size_t kSecurityMode = 2;
constexpr size_t kSecurityStatus = 4;
constexpr size_t kMobileInfoStatus = 19;
} // namespace identity

namespace {

std::span<uint8_t> presetArea(uint8_t* area, size_t size)
{
    if (area == nullptr)
        return {};
    std::fill(area, area + size, uint8_t{0xFF});
    return {area, size};
}

// The many calls that send the reference alone and read a number back.
uint16_t readNumber(Connection& connection, const CallDef& def, uint8_t* out, size_t size,
                    size_t statusAt)
{
    const std::span<uint8_t> area = presetArea(out, size);
    return Perform(
        connection, def, 0, [](Payload&) {},
        [&](Confirm c) { return JudgeIdentityBytes(c, area, &statusAt); });
}

uint16_t identityStatus(Confirm confirm)
{
    return JudgeIdentityStatus(confirm, kStatusByte);
}

} // namespace

uint16_t CFCRPCFlashSerialNumberRead(Connection& connection, uint8_t* serialNumber)
{
    return Perform(
        connection, rpc::kFlashSerialNumberRead, 0, [](Payload&) {},
        [&](Confirm c) {
            // The one call of the group whose status is a plain failure.
            if (Fields(c).u8(identity::kFlashSerialStatus) != 0)
                return kRpcBadConfirm;
            if (serialNumber != nullptr) {
                const auto sent = Fields(c).bytes(identity::kFlashSerial, kFlashSerialNumberSize);
                std::fill(std::copy(sent.begin(), sent.end(), serialNumber),
                          serialNumber + kFlashSerialNumberSize, uint8_t{0});
            }
            return kRpcOk;
        });
}

uint16_t CFCRPCGetSingleIE(Connection& connection, uint16_t ieCode, uint16_t* value)
{
    if (value != nullptr)
        *value = 0xFFFF;
    return Perform(
        connection, rpc::kGetSingleIE, 0, [&](Payload& p) { p.le16(ieCode); },
        [&](Confirm c) {
            if (const uint16_t result = JudgeIdentityStatus(c, identity::kIEStatus))
                return result;
            if (value != nullptr)
                *value = Fields(c).le16(identity::kIEValue);
            return kRpcOk;
        });
}

uint16_t CFCRPCResetIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode)
{
    if (returnedMode != nullptr)
        *returnedMode = 0xFF;
    return Perform(
        connection, rpc::kIMEIMode, 0, [&](Payload& p) { p.le16(mode); },
        [&](Confirm c) {
            if (returnedMode != nullptr)
                *returnedMode = Fields(c).u8(identity::kIMEIMode);
            return JudgeIdentityStatus(c, identity::kIMEIModeStatus);
        });
}

uint16_t CFCRPCSetCustomerIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode)
{
    return CFCRPCResetIMEIMode(connection, mode, returnedMode);
}

uint16_t CFCRPCReadSerialNumber(Connection& connection, uint8_t* serialNumber)
{
    return readNumber(connection, rpc::kReadSerialNumber, serialNumber, kSerialNumberSize,
                      identity::kNumberStatus);
}

uint16_t CFCRPCReadIMEI(Connection& connection, uint8_t* imei)
{
    return readNumber(connection, rpc::kReadIMEI, imei, kIMEISize, identity::kNumberStatus);
}

uint16_t CFCRPCInitIMEI(Connection& connection)
{
    return Perform(
        connection, rpc::kInitIMEI, 0, [](Payload&) {}, identityStatus);
}

uint16_t CFCRPCFreezeIMEI(Connection& connection, const uint8_t* imei)
{
    return Perform(
        connection, rpc::kFreezeIMEI, 0, [&](Payload& p) { p.bytes(callerData(imei, kIMEISize)); },
        identityStatus);
}

uint16_t CFCRPCSetSecurityMode(Connection& connection, uint16_t* mode, uint32_t value)
{
    return Perform(
        connection, rpc::kSetSecurityMode, 0,
        [&](Payload& p) { p.le16(mode != nullptr ? *mode : 0).le32(value); },
        [&](Confirm c) {
            if (mode != nullptr)
                *mode = Fields(c).le16(identity::kSecurityMode);
            return JudgeIdentityStatus(c, identity::kSecurityStatus);
        });
}

uint16_t CFCRPCRequestChallenge(Connection& connection, uint8_t* challenge)
{
    const std::span<uint8_t> area = presetArea(challenge, kChallengeSize);
    return Perform(
        connection, rpc::kRequestChallenge, 0, [](Payload&) {},
        [&](Confirm c) { return JudgeIdentityBytes(c, area, nullptr); });
}

uint16_t CFCRPCSendResponse(Connection& connection, const uint8_t* response)
{
    return Perform(
        connection, rpc::kSendResponse, 0,
        [&](Payload& p) { p.bytes(callerData(response, kSecurityResponseSize)); }, identityStatus);
}

uint16_t CFCRPCGetMobileInfo(Connection& connection, uint8_t* information)
{
    return readNumber(connection, rpc::kGetMobileInfo, information, kMobileInfoSize,
                      identity::kMobileInfoStatus);
}

} // namespace cfc
