// The NVRAM calls into the module's firmware: user items, and calibration
// items in two families (the first names them by 8 bits, the QV family by
// 16). Each is one row (ids, sizes, wait) and one short definition that
// packs its request fields and names its judgement; the engine does the rest.
#pragma once

#include "cfcmsg.h"
#include "cfcrpc_engine.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

namespace rpc {

// Name, request id, request size, confirm size, wait, flags.
// clang-format off
constexpr CallDef kL1ALNVRAMRead        {"CFCRPCL1ALNVRAMRead",      CFCRequestL1ALNVRAMRead,      10,  5, kThree, kVariableLength};
constexpr CallDef kL1ALNVRAMReadVer     {"CFCRPCL1ALNVRAMReadVer",   CFCRequestL1ALNVRAMReadVer,   10,  6, kThree, kVariableLength};
constexpr CallDef kL1ALNVRAMWrite       {"CFCRPCL1ALNVRAMWrite",     CFCRequestL1ALNVRAMWrite,     10,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kL1ALNVRAMWriteVer    {"CFCRPCL1ALNVRAMWriteVer",  CFCRequestL1ALNVRAMWriteVer,  11,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kL1ALNvRamDelete      {"CFCRPCL1ALNvRamDelete",    CFCRequestL1ALNvRamDelete,     8,  3, kFive,  0};
constexpr CallDef kL1ALNvRamErase       {"CFCRPCL1ALNvRamErase",     CFCRequestL1ALNvRamErase,      2,  3, kFive,  0};

constexpr CallDef kL1ALNvRamCheckCal    {"CFCRPCL1ALNvRamCheckCal",  CFCRequestL1ALNVRAMReadCal,    5,  6, kThree, kLastByteNotRead};
constexpr CallDef kL1ALNVRAMReadCal     {"CFCRPCL1ALNVRAMReadCal",   CFCRequestL1ALNVRAMReadCal,    5,  5, kThree, kVariableLength};
constexpr CallDef kL1ALNvRamWriteCal    {"CFCRPCL1ALNvRamWriteCal",  CFCRequestNvRamWriteCal,       6,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kL1ALNvRamEraseCal    {"CFCRPCL1ALNvRamEraseCal",  CFCRequestL1ALNvRamEraseCal,   2,  3, kFive,  kLastConfirmJudged};
constexpr CallDef kSaveAllOther         {"CFCRPCSaveAllOther",       CFCRequestSaveAllOther,        4,  3, kFive,  0};
constexpr CallDef kRestoreAllOther      {"CFCRPCRestoreAllOther",    CFCRequestRestoreAllOther,     4,  3, kFive,  0};
constexpr CallDef kQVNVRAMCheckCal      {"CFCRPCQVNVRAMCheckCal",    CFCRequestQVNVRAMReadCal,      6,  6, kThree, kLastByteNotRead};
constexpr CallDef kQVNVRAMReadCal       {"CFCRPCQVNVRAMReadCal",     CFCRequestQVNVRAMReadCal,      6,  5, kThree, kVariableLength};
constexpr CallDef kQVNVRAMReadCalVer    {"CFCRPCQVNVRAMReadCalVer",  CFCRequestQVNVRAMReadCalVer,   6,  6, kThree, kVariableLength};
constexpr CallDef kQVNvRamWriteCal      {"CFCRPCQVNvRamWriteCal",    CFCRequestNvRamWriteCal,       6,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kQVNvRamWriteCalVer   {"CFCRPCQVNvRamWriteCalVer", CFCRequestQVNvRamWriteCalVer,  7,  3, kFive,  kDataInRequest | kNoVersionFetch};
// clang-format on

} // namespace rpc

// NVRAM user items. `value` is passed through to the firmware unchanged.
// A read takes the caller's area and its size n, asks for n bytes and
// delivers at most n of them, whatever the confirm's length field says;
// `length` receives the number delivered.
uint16_t CFCRPCL1ALNVRAMRead(Connection& connection, uint16_t value, uint32_t userId, uint8_t* data,
                             uint16_t dataSize, uint16_t* length);
uint16_t CFCRPCL1ALNVRAMReadVer(Connection& connection, uint16_t value, uint32_t userId,
                                uint8_t* data, uint16_t dataSize, uint16_t* length,
                                uint8_t* version);
// A write whose request would exceed one message returns 9 and sends nothing.
uint16_t CFCRPCL1ALNVRAMWrite(Connection& connection, uint16_t value, uint32_t userId,
                              uint16_t dataSize, const uint8_t* data);
uint16_t CFCRPCL1ALNVRAMWriteVer(Connection& connection, uint16_t value, uint32_t userId,
                                 uint16_t dataSize, uint8_t version, const uint8_t* data);
uint16_t CFCRPCL1ALNvRamDelete(Connection& connection, uint16_t value, uint32_t userId);
uint16_t CFCRPCL1ALNvRamErase(Connection& connection);

// NVRAM calibration items. A check reports 1 present, 0 absent, 255 for the
// state the firmware calls neither.
uint16_t CFCRPCL1ALNvRamCheckCal(Connection& connection, uint8_t calibrationId, uint8_t* present);
uint16_t CFCRPCL1ALNVRAMReadCal(Connection& connection, uint8_t calibrationId, uint8_t* data,
                                uint16_t dataSize, uint16_t* length);
// Only the low 8 bits of `calibrationId` go out.
uint16_t CFCRPCL1ALNvRamWriteCal(Connection& connection, uint16_t calibrationId, uint16_t dataSize,
                                 const uint8_t* data);
uint16_t CFCRPCL1ALNvRamEraseCal(Connection& connection);
uint16_t CFCRPCSaveAllOther(Connection& connection, uint16_t lastCalibrationItem);
uint16_t CFCRPCRestoreAllOther(Connection& connection, uint16_t lastCalibrationItem);
uint16_t CFCRPCQVNVRAMCheckCal(Connection& connection, uint16_t calibrationId, uint8_t* present);
uint16_t CFCRPCQVNVRAMReadCal(Connection& connection, uint16_t calibrationId, uint8_t* data,
                              uint16_t dataSize, uint16_t* length);
uint16_t CFCRPCQVNVRAMReadCalVer(Connection& connection, uint16_t calibrationId, uint8_t* data,
                                 uint16_t dataSize, uint16_t* length, uint8_t* version);
uint16_t CFCRPCQVNvRamWriteCal(Connection& connection, uint16_t calibrationId, uint16_t dataSize,
                               const uint8_t* data);
uint16_t CFCRPCQVNvRamWriteCalVer(Connection& connection, uint16_t calibrationId, uint16_t dataSize,
                                  uint8_t version, const uint8_t* data);

// The judgements, apart from their reception so that any confirm bytes can
// be judged. `confirm` is the whole confirm area; bytes the module did not
// send read as zero.

// An item read: reference, length, status, a version byte where
// `versioned`, data. Status 0 or 1 delivers min(length, dataSize) bytes.
uint16_t JudgeItemRead(std::span<const uint8_t> confirm, bool versioned, uint8_t* data,
                       uint16_t dataSize, uint16_t* length, uint8_t* version);
// A calibration item check: reference, length, item state.
uint16_t JudgeItemState(std::span<const uint8_t> confirm, uint8_t* present);

} // namespace cfc
