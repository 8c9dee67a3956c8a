#include "cfcrpc_nvram.h"

#include "cfc_connection.h"
#include "cfcrpc_engine.h"

#include <algorithm>

namespace cfc {

using rpc::CallerData;
using rpc::Fields;
using rpc::Payload;
using rpc::Perform;

namespace {

using Confirm = std::span<const uint8_t>;

namespace item {
constexpr size_t kLength = 2;
constexpr size_t kStatus = 4;
constexpr size_t kVersion = 5;
constexpr size_t kData = 5;
constexpr size_t kVersionedData = 6;
} // namespace item

} // namespace

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
            p.le16(value).le32(userId).le16(dataSize).bytes(CallerData(data, dataSize));
        },
        JudgeStatusByte);
}

uint16_t CFCRPCL1ALNVRAMWriteVer(Connection& connection, uint16_t value, uint32_t userId,
                                 uint16_t dataSize, uint8_t version, const uint8_t* data)
{
    return Perform(
        connection, rpc::kL1ALNVRAMWriteVer, dataSize,
        [&](Payload& p) {
            p.le16(value).le32(userId).le16(dataSize).u8(version).bytes(CallerData(data, dataSize));
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
            p.le16(calibrationId & 0xFF).le16(dataSize).bytes(CallerData(data, dataSize));
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
        [&](Payload& p) { p.le16(calibrationId).le16(dataSize).bytes(CallerData(data, dataSize)); },
        JudgeStatusByte);
}

uint16_t CFCRPCQVNvRamWriteCalVer(Connection& connection, uint16_t calibrationId, uint16_t dataSize,
                                  uint8_t version, const uint8_t* data)
{
    return Perform(
        connection, rpc::kQVNvRamWriteCalVer, dataSize,
        [&](Payload& p) {
            p.le16(calibrationId).le16(dataSize).u8(version).bytes(CallerData(data, dataSize));
        },
        JudgeStatusByte);
}

} // namespace cfc
