// NVRAM calibration and user items as production lines read and write them.
#include "cfc.h"
#include "cfc_calibration.h"
#include "cfc_calibration_op.h"
#include "cfcrpc_catalogue.h"
#include "cfcrpc_version.h"

namespace cfc {

namespace {

// Results of an item read: the length and the bytes delivered.
auto readResults(const uint8_t* data, const uint16_t* bytesRead)
{
    return [data, bytesRead](const CalibrationOp& op) {
        op.rets("*pBytesRead %d", *bytesRead);
        op.dump("*pData", data, *bytesRead);
    };
}

// Only an item the firmware calls present counts as one; 255 does not.
auto checkResults(const uint8_t& state, uint8_t* present)
{
    return [&state, present](const CalibrationOp& op) {
        const uint8_t exists = state == 1 ? 1 : 0;
        if (present != nullptr)
            *present = exists;
        op.rets("*pNVRAMBlockExists %d", exists);
    };
}

// The same for a read that also delivers the item's version.
auto versionedReadResults(const uint8_t* data, const uint16_t* bytesRead, const uint8_t& version,
                          uint8_t* pVersion)
{
    return [data, bytesRead, &version, pVersion](const CalibrationOp& op) {
        if (pVersion != nullptr)
            *pVersion = version;
        op.rets("*pVersion %d", version);
        readResults(data, bytesRead)(op);
    };
}

// Firmware of RPC version 1 keeps a version byte with every item; any other
// knows only the plain calls. The version is fetched first since the write
// calls do not fetch it themselves.
bool versionedItems(Connection& connection)
{
    GetTargetVersion(connection);
    return connection.target.version.rpcVersion == 1;
}

// The data a write can carry: the message less the request's fixed part.
constexpr size_t writable(const rpc::CallDef& def)
{
    return rpc::kMaxRequestSize - def.requestSize;
}

Argument dataArea(const void* data, uint16_t dataSize)
{
    return Argument::area(data, dataSize, "pData");
}

Argument writeSize(const rpc::CallDef& def, uint16_t dataSize)
{
    return Argument::atMost(dataSize, writable(def), "dataSize");
}

// Reads deliver their length through the operation even when the caller
// passes no place for it.
uint16_t* lengthOut(uint16_t* bytesRead, uint16_t& spare)
{
    return bytesRead != nullptr ? bytesRead : &spare;
}

} // namespace

int32_t CheckCalibrationItem(Connection& connection, uint8_t calibrationId, uint8_t* present)
{
    uint8_t state = 0;
    return RunCalibrationOp(
        connection, {"WCheckNVRAMCalibrationItem", "CFCRPCL1ALNvRamCheckCal"},
        ArgText("(calibrationId=%d)", calibrationId),
        [&](Connection& c) { return CFCRPCL1ALNvRamCheckCal(c, calibrationId, &state); },
        checkResults(state, present));
}

int32_t ReadCalibrationItem(Connection& connection, uint8_t calibrationId, uint8_t* data,
                            uint16_t dataSize, uint16_t* bytesRead)
{
    uint16_t spare = 0;
    uint16_t* length = lengthOut(bytesRead, spare);
    return RunCalibrationOp(
        connection, {"WReadNVRAMCalibrationItem", "CFCRPCL1ALNvRamReadCal"},
        ArgText("(calibrationId=%d, dataSize=%d)", calibrationId, dataSize),
        [&](Connection& c) {
            return CFCRPCL1ALNVRAMReadCal(c, calibrationId, data, dataSize, length);
        },
        readResults(data, length));
}

int32_t WriteCalibrationItem(Connection& connection, uint8_t calibrationId, const uint8_t* data,
                             uint16_t dataSize)
{
    return RunCalibrationOp(
        connection, {"WWriteNVRAMCalibrationItem", "CFCRPCL1ALNvRamWriteCal"},
        ArgText("(calibrationId=%d, dataSize=%d)", calibrationId, dataSize),
        [&](Connection& c) { return CFCRPCL1ALNvRamWriteCal(c, calibrationId, dataSize, data); });
}

int32_t EraseCalibrationItems(Connection& connection)
{
    return RunCalibrationOp(connection,
                            {"WEraseAllNVRAMCalibrationItems", "CFCRPCL1ALNvRamEraseCal"},
                            ArgText(), [](Connection& c) { return CFCRPCL1ALNvRamEraseCal(c); });
}

int32_t SaveAllOtherCalibrationItems(Connection& connection, uint16_t lastCalibrationItem)
{
    return RunCalibrationOp(
        connection, {"WSaveAllOtherNVRAMCalibrationItems", "CFCRPCSaveAllOther"},
        ArgText("(lastCalItem=%d)", lastCalibrationItem),
        [&](Connection& c) { return CFCRPCSaveAllOther(c, lastCalibrationItem); });
}

int32_t RestoreAllOtherCalibrationItems(Connection& connection, uint16_t lastCalibrationItem)
{
    return RunCalibrationOp(
        connection, {"WRestoreAllOtherNVRAMCalibrationItems", "CFCRPCRestoreAllOther"},
        ArgText("(lastCalItem=%d)", lastCalibrationItem),
        [&](Connection& c) { return CFCRPCRestoreAllOther(c, lastCalibrationItem); });
}

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WReadNVRAMCalibrationItem(uint32_t handle, uint8_t calibrationId, uint8_t* pData,
                                  uint16_t dataSize, uint16_t* pBytesRead)
{
    return CheckedCall(
        handle, "WReadNVRAMCalibrationItem", {dataArea(pData, dataSize)}, [&](Connection& c) {
            return ReadCalibrationItem(c, calibrationId, pData, dataSize, pBytesRead);
        });
}

int32_t WCheckNVRAMCalibrationItem(uint32_t handle, uint8_t calibrationId,
                                   uint8_t* pNVRAMBlockExists)
{
    return CheckedCall(
        handle, "WCheckNVRAMCalibrationItem",
        {Argument::needed(pNVRAMBlockExists, "pNVRAMBlockExists")},
        [&](Connection& c) { return CheckCalibrationItem(c, calibrationId, pNVRAMBlockExists); });
}

int32_t WWriteNVRAMCalibrationItem(uint32_t handle, uint8_t calibrationId, const uint8_t* pData,
                                   uint16_t dataSize)
{
    return CheckedCall(
        handle, "WWriteNVRAMCalibrationItem",
        {dataArea(pData, dataSize), writeSize(rpc::kL1ALNvRamWriteCal, dataSize)},
        [&](Connection& c) { return WriteCalibrationItem(c, calibrationId, pData, dataSize); });
}

int32_t WEraseAllNVRAMCalibrationItems(uint32_t handle)
{
    return OnConnection(handle, int32_t{0},
                        [&](Connection& c) { return EraseCalibrationItems(c); });
}

int32_t WSaveAllOtherNVRAMCalibrationItems(uint32_t handle, uint16_t lastCalibrationItem)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& c) {
        return SaveAllOtherCalibrationItems(c, lastCalibrationItem);
    });
}

int32_t WRestoreAllOtherNVRAMCalibrationItems(uint32_t handle, uint16_t lastCalibrationItem)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& c) {
        return RestoreAllOtherCalibrationItems(c, lastCalibrationItem);
    });
}

int32_t WCheckNVRAMQVCalibrationItem(uint32_t handle, uint16_t calibrationId,
                                     uint8_t* pNVRAMBlockExists)
{
    uint8_t state = 0;
    return CheckedCalibrationCall(
        handle, {"WCheckNVRAMQVCalibrationItem", "CFCRPCQVNVRAMCheckCal"},
        {Argument::needed(pNVRAMBlockExists, "pNVRAMBlockExists")},
        ArgText("(calibrationId=%d)", calibrationId),
        [&](Connection& c) { return CFCRPCQVNVRAMCheckCal(c, calibrationId, &state); },
        checkResults(state, pNVRAMBlockExists));
}

int32_t WReadNVRAMQVCalibrationItem(uint32_t handle, uint16_t calibrationId, uint8_t* pData,
                                    uint16_t dataSize, uint16_t* pBytesRead)
{
    uint16_t spare = 0;
    uint16_t* length = lengthOut(pBytesRead, spare);
    return CheckedCalibrationCall(
        handle, {"WReadNVRAMQVCalibrationItem", "CFCRPCQVNVRAMReadCal"},
        {dataArea(pData, dataSize)},
        ArgText("(calibrationId=%d, dataSize=%d)", calibrationId, dataSize),
        [&](Connection& c) {
            return CFCRPCQVNVRAMReadCal(c, calibrationId, pData, dataSize, length);
        },
        readResults(pData, length));
}

int32_t WWriteNVRAMQVCalibrationItem(uint32_t handle, uint16_t calibrationId, const uint8_t* pData,
                                     uint16_t dataSize)
{
    return CheckedCalibrationCall(
        handle, {"WWriteNVRAMQVCalibrationItem", "CFCRPCQVNvRamWriteCal"},
        {dataArea(pData, dataSize), writeSize(rpc::kQVNvRamWriteCal, dataSize)},
        ArgText("(calibrationId=%d, dataSize=%d)", calibrationId, dataSize),
        [&](Connection& c) { return CFCRPCQVNvRamWriteCal(c, calibrationId, dataSize, pData); });
}

int32_t WReadNVRAMQVCalibrationItemVer(uint32_t handle, uint16_t calibrationId, uint8_t* pData,
                                       uint16_t dataSize, uint16_t* pBytesRead, uint8_t* pVersion)
{
    uint16_t spare = 0;
    uint16_t* length = lengthOut(pBytesRead, spare);
    return CheckedCall(
        handle, "WReadNVRAMQVCalibrationItemVer", {dataArea(pData, dataSize)},
        [&](Connection& connection) {
            const ArgText args("(calibrationId=%d, dataSize=%d)", calibrationId, dataSize);
            if (!versionedItems(connection))
                return RunCalibrationOp(
                    connection, {"WReadNVRAMQVCalibrationItemVer", "CFCRPCQVNVRAMReadCal"}, args,
                    [&](Connection& c) {
                        return CFCRPCQVNVRAMReadCal(c, calibrationId, pData, dataSize, length);
                    },
                    readResults(pData, length));
            uint8_t version = 0;
            return RunCalibrationOp(
                connection, {"WReadNVRAMQVCalibrationItemVer", "CFCRPCQVNVRAMReadCalVer"}, args,
                [&](Connection& c) {
                    return CFCRPCQVNVRAMReadCalVer(c, calibrationId, pData, dataSize, length,
                                                   &version);
                },
                versionedReadResults(pData, length, version, pVersion));
        });
}

int32_t WWriteNVRAMQVCalibrationItemVer(uint32_t handle, uint16_t calibrationId,
                                        const uint8_t* pData, uint16_t dataSize, uint8_t version)
{
    // The larger request of the two calls sets the bound.
    return CheckedCall(
        handle, "WWriteNVRAMQVCalibrationItemVer",
        {dataArea(pData, dataSize), writeSize(rpc::kQVNvRamWriteCalVer, dataSize)},
        [&](Connection& connection) {
            const ArgText args("(calibrationId=%d, dataSize=%d, version=%d)", calibrationId,
                               dataSize, version);
            if (!versionedItems(connection))
                return RunCalibrationOp(
                    connection, {"WWriteNVRAMQVCalibrationItemVer", "CFCRPCQVNvRamWriteCal"}, args,
                    [&](Connection& c) {
                        return CFCRPCQVNvRamWriteCal(c, calibrationId, dataSize, pData);
                    });
            return RunCalibrationOp(
                connection, {"WWriteNVRAMQVCalibrationItemVer", "CFCRPCQVNvRamWriteCalVer"}, args,
                [&](Connection& c) {
                    return CFCRPCQVNvRamWriteCalVer(c, calibrationId, dataSize, version, pData);
                });
        });
}

int32_t WReadNVRAMUserItem(uint32_t handle, uint32_t userId, uint16_t value, uint8_t* pData,
                           uint16_t dataSize, uint16_t* pBytesRead)
{
    uint16_t spare = 0;
    uint16_t* length = lengthOut(pBytesRead, spare);
    return CheckedCalibrationCall(
        handle, {"WReadNVRAMUserItem", "CFCRPCL1ALNVRAMRead"}, {dataArea(pData, dataSize)},
        ArgText("(userId=%u, value=%d, dataSize=%d)", userId, value, dataSize),
        [&](Connection& c) {
            return CFCRPCL1ALNVRAMRead(c, value, userId, pData, dataSize, length);
        },
        readResults(pData, length));
}

int32_t WWriteNVRAMUserItem(uint32_t handle, uint32_t userId, uint16_t value, const uint8_t* pData,
                            uint16_t dataSize)
{
    return CheckedCalibrationCall(
        handle, {"WWriteNVRAMUserItem", "CFCRPCL1ALNVRAMWrite"},
        {dataArea(pData, dataSize), writeSize(rpc::kL1ALNVRAMWrite, dataSize)},
        ArgText("(userId=%u, value=%d, dataSize=%d)", userId, value, dataSize),
        [&](Connection& c) { return CFCRPCL1ALNVRAMWrite(c, value, userId, dataSize, pData); });
}

int32_t WReadNVRAMUserItemVer(uint32_t handle, uint32_t userId, uint16_t value, uint8_t* pData,
                              uint16_t dataSize, uint16_t* pBytesRead, uint8_t* pVersion)
{
    uint16_t spare = 0;
    uint16_t* length = lengthOut(pBytesRead, spare);
    return CheckedCall(
        handle, "WReadNVRAMUserItemVer", {dataArea(pData, dataSize)}, [&](Connection& connection) {
            const ArgText args("(userId=%u, value=%d, dataSize=%d)", userId, value, dataSize);
            if (!versionedItems(connection))
                return RunCalibrationOp(
                    connection, {"WReadNVRAMUserItemVer", "CFCRPCL1ALNVRAMRead"}, args,
                    [&](Connection& c) {
                        return CFCRPCL1ALNVRAMRead(c, value, userId, pData, dataSize, length);
                    },
                    readResults(pData, length));
            uint8_t version = 0;
            return RunCalibrationOp(
                connection, {"WReadNVRAMUserItemVer", "CFCRPCL1ALNVRAMReadVer"}, args,
                [&](Connection& c) {
                    return CFCRPCL1ALNVRAMReadVer(c, value, userId, pData, dataSize, length,
                                                  &version);
                },
                versionedReadResults(pData, length, version, pVersion));
        });
}

int32_t WWriteNVRAMUserItemVer(uint32_t handle, uint32_t userId, uint16_t value,
                               const uint8_t* pData, uint16_t dataSize, uint8_t version)
{
    return CheckedCall(
        handle, "WWriteNVRAMUserItemVer",
        {dataArea(pData, dataSize), writeSize(rpc::kL1ALNVRAMWriteVer, dataSize)},
        [&](Connection& connection) {
            const ArgText args("(userId=%u, value=%d, dataSize=%d, version=%d)", userId, value,
                               dataSize, version);
            if (!versionedItems(connection))
                return RunCalibrationOp(
                    connection, {"WWriteNVRAMUserItemVer", "CFCRPCL1ALNVRAMWrite"}, args,
                    [&](Connection& c) {
                        return CFCRPCL1ALNVRAMWrite(c, value, userId, dataSize, pData);
                    });
            return RunCalibrationOp(
                connection, {"WWriteNVRAMUserItemVer", "CFCRPCL1ALNVRAMWriteVer"}, args,
                [&](Connection& c) {
                    return CFCRPCL1ALNVRAMWriteVer(c, value, userId, dataSize, version, pData);
                });
        });
}

int32_t WDeleteNVRAMUserItem(uint32_t handle, uint32_t userId, uint16_t value)
{
    return CalibrationCall(handle, {"WDeleteNVRAMUserItem", "CFCRPCL1ALNvRamDelete"},
                           ArgText("(userId=%u, value=%d)", userId, value),
                           [&](Connection& c) { return CFCRPCL1ALNvRamDelete(c, value, userId); });
}

int32_t WEraseAllNVRAMUserItems(uint32_t handle)
{
    return CalibrationCall(handle, {"WEraseAllNVRAMUserItems", "CFCRPCL1ALNvRamErase"}, ArgText(),
                           [](Connection& c) { return CFCRPCL1ALNvRamErase(c); });
}

} // extern "C"
