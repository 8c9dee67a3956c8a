// The calibration and production calls into the module's firmware. Each is
// one row of the catalogue (ids, sizes, wait) and one short definition that
// packs its request fields and names its judgement; the engine does the rest.
// The calls do not check the handle; the public operations above them do.
#pragma once

#include "cfcrpc_engine.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

class Connection;

namespace rpc {

// The largest message the message layer carries; a request beyond it is
// refused before anything is sent.
inline constexpr size_t kMaxRequestSize = 1500;

enum CallFlag : uint8_t {
    kNoVersionFetch = 1, // the call does not run GetTargetVersion
    kVariableLength = 2, // confirm area allocated for the data size asked for
    kDataInRequest = 4,  // request area allocated for the caller's data
    // A persisting foreign reference is not reported as 4: the last confirm
    // is judged.
    kLastConfirmJudged = 8,
    // The confirm's last byte is not read, so a confirm without it is whole.
    kLastByteNotRead = 16,
};

constexpr Discipline kThree = Discipline::ThreeReceptions;
constexpr Discipline kFive = Discipline::FiveAttempts;

// One call as the firmware knows it. Sizes are totals with the reference;
// the data of a write or a variable-length read comes on top of them.
struct CallDef {
    const char* name;
    uint16_t request; // its confirm carries request + 1
    uint16_t requestSize;
    uint16_t confirmSize;
    Discipline discipline;
    uint8_t flags;
};

// Name, request id, request size, confirm size, wait, flags.
// clang-format off
constexpr CallDef kL1ALNVRAMRead        {"CFCRPCL1ALNVRAMRead",            49, 10,  5, kThree, kVariableLength};
constexpr CallDef kL1ALNVRAMReadVer     {"CFCRPCL1ALNVRAMReadVer",        109, 10,  6, kThree, kVariableLength};
constexpr CallDef kL1ALNVRAMWrite       {"CFCRPCL1ALNVRAMWrite",           51, 10,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kL1ALNVRAMWriteVer    {"CFCRPCL1ALNVRAMWriteVer",       111, 11,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kL1ALNvRamDelete      {"CFCRPCL1ALNvRamDelete",          53,  8,  3, kFive,  0};
constexpr CallDef kL1ALNvRamErase       {"CFCRPCL1ALNvRamErase",           55,  2,  3, kFive,  0};

constexpr CallDef kL1ALNvRamCheckCal    {"CFCRPCL1ALNvRamCheckCal",        57,  5,  6, kThree, kLastByteNotRead};
constexpr CallDef kL1ALNVRAMReadCal     {"CFCRPCL1ALNVRAMReadCal",         57,  5,  5, kThree, kVariableLength};
constexpr CallDef kL1ALNvRamWriteCal    {"CFCRPCL1ALNvRamWriteCal",        59,  6,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kL1ALNvRamEraseCal    {"CFCRPCL1ALNvRamEraseCal",        61,  2,  3, kFive,  kLastConfirmJudged};
constexpr CallDef kSaveAllOther         {"CFCRPCSaveAllOther",             63,  4,  3, kFive,  0};
constexpr CallDef kRestoreAllOther      {"CFCRPCRestoreAllOther",          65,  4,  3, kFive,  0};
constexpr CallDef kQVNVRAMCheckCal      {"CFCRPCQVNVRAMCheckCal",         105,  6,  6, kThree, kLastByteNotRead};
constexpr CallDef kQVNVRAMReadCal       {"CFCRPCQVNVRAMReadCal",          105,  6,  5, kThree, kVariableLength};
constexpr CallDef kQVNVRAMReadCalVer    {"CFCRPCQVNVRAMReadCalVer",       113,  6,  6, kThree, kVariableLength};
constexpr CallDef kQVNvRamWriteCal      {"CFCRPCQVNvRamWriteCal",          59,  6,  3, kFive,  kDataInRequest | kNoVersionFetch};
constexpr CallDef kQVNvRamWriteCalVer   {"CFCRPCQVNvRamWriteCalVer",      115,  7,  3, kFive,  kDataInRequest | kNoVersionFetch};

// Calibration device calls: every one waits three receptions.
constexpr CallDef kSetAfcDac            {"CFCRPCCalDevGsmSetAfcDac",       11,  4,  2, kThree, 0};
constexpr CallDef kFreqOffsetMeas       {"CFCRPCCalDevGsmFreqOffsetMeas",  13,  6,  5, kThree, 0};
constexpr CallDef kGainProgram          {"CFCRPCCalDevGsmGainProgram",     15,  7,  6, kThree, 0};
constexpr CallDef kRssi                 {"CFCRPCCalDevGsmRssi",            17,  7,  6, kThree, kLastConfirmJudged};
constexpr CallDef kDcOffset             {"CFCRPCCalDevGsmDcOffset",        19,  3, 10, kThree, 0};
constexpr CallDef kSetBandMode          {"CFCRPCCalDevGsmSetBandMode",     21,  3,  2, kThree, 0};
constexpr CallDef kSetBurstData         {"CFCRPCCalDevGsmSetBurstData",    23, 62,  2, kThree, 0};
constexpr CallDef kSetBurst             {"CFCRPCCalDevGsmSetBurst",        25, 27,  5, kThree, 0};
constexpr CallDef kRampScale            {"CFCRPCCalDevGsmRampScale",       27,  4,  2, kThree, 0};
constexpr CallDef kSetPowerRamp         {"CFCRPCCalDevGsmSetPowerRamp",    29, 66,  2, kThree, 0};
constexpr CallDef kRxControl            {"CFCRPCCalDevGsmRxControl",       31,  8,  2, kThree, 0};
constexpr CallDef kLoopBack             {"CFCRPCCalDevGsmLoopBack",        33, 10,  3, kThree, 0};
constexpr CallDef kLoopBackData         {"CFCRPCCalDevGsmLoopBackData",    35,  2, 13, kThree, 0};
constexpr CallDef kSlotDefine           {"CFCRPCCalDevGsmSlotDefine",      37, 67,  3, kThree, 0};
constexpr CallDef kFrameDefine          {"CFCRPCCalDevGsmFrameDefine",     39, 25,  3, kThree, 0};
constexpr CallDef kFrameTiming          {"CFCRPCCalDevGsmFrameTiming",     41, 11,  2, kThree, 0};
constexpr CallDef kFrameUse             {"CFCRPCCalDevGsmFrameUse",        43,  3,  2, kThree, 0};
constexpr CallDef kConstTx              {"CFCRPCCalDevGsmConstTx",         45, 23,  3, kThree, 0};
constexpr CallDef kBBCRegister          {"CFCRPCCalDevGsmBBCRegister",     47, 36, 18, kThree, 0};
// The codes (2 bytes each) come on top of the confirm size.
constexpr CallDef kGetGainCodeTable     {"CFCRPCGetGainCodeTable",         95,  6,  8, kThree, kVariableLength};
constexpr CallDef kSetPrechargeValue    {"CFCRPCSetPrechargeValue",        97,  4,  2, kThree, 0};

// Identity and security: a non-zero status byte s gives 700 + s, s signed.
constexpr CallDef kFlashSerialNumberRead{"CFCRPCFlashSerialNumberRead",    71,  2,  7, kThree, 0};
constexpr CallDef kGetSingleIE          {"CFCRPCGetSingleIE",              73,  4,  5, kThree, 0};
constexpr CallDef kIMEIMode             {"CFCRPCResetIMEIMode",            75,  4,  5, kThree, 0};
constexpr CallDef kReadSerialNumber     {"CFCRPCReadSerialNumber",         77,  2, 11, kThree, 0};
constexpr CallDef kReadIMEI             {"CFCRPCReadIMEI",                 79,  2, 11, kThree, 0};
constexpr CallDef kInitIMEI             {"CFCRPCInitIMEI",                 81,  2,  3, kThree, 0};
constexpr CallDef kFreezeIMEI           {"CFCRPCFreezeIMEI",               83, 10,  3, kThree, 0};
constexpr CallDef kSetSecurityMode      {"CFCRPCSetSecurityMode",          85,  8,  5, kThree, 0};
constexpr CallDef kRequestChallenge     {"CFCRPCRequestChallenge",         87,  2, 10, kThree, 0};
constexpr CallDef kSendResponse         {"CFCRPCSendResponse",             89, 66,  3, kThree, 0};
constexpr CallDef kGetMobileInfo        {"CFCRPCGetMobileInfo",            91,  2, 20, kThree, 0};
// clang-format on

// The bytes a fixed confirm needs to hold every field the call judges or
// delivers. A variable-length confirm's judgement checks its header and
// data itself.
constexpr size_t FieldsNeeded(const CallDef& def)
{
    if ((def.flags & kVariableLength) != 0)
        return 0;
    return def.confirmSize - ((def.flags & kLastByteNotRead) != 0 ? 1u : 0u);
}

} // namespace rpc

inline constexpr size_t kBurstDataSize = 60;
inline constexpr size_t kPowerRampSize = 64;
inline constexpr size_t kSlotDefinitionSize = 64;
inline constexpr size_t kFrameDefinitionSize = 22;
inline constexpr size_t kBBCRegisters = 8;
inline constexpr size_t kProtocolStackConfirmSize = 4;
inline constexpr size_t kProtocolStackResult = 3;

struct BurstSetting {
    std::array<uint16_t, 4> channels{};
    std::array<uint16_t, 4> gains{};
    std::array<uint8_t, 4> burstOn{};
    uint8_t burstType = 0;
    uint8_t secondBurstType = 0;
    uint8_t timingAdvance = 0;
    uint8_t rachData = 0;
    uint8_t powerLevel = 0;
};

struct LoopBackData {
    int16_t timingOffset = 0;    // quarter bits
    int16_t frequencyOffset = 0; // Hz
    uint16_t bitErrors = 0;
    uint16_t softDecisionTotal = 0;
    int16_t rssi = 0;
};

inline constexpr size_t kFlashSerialNumberSize = 4;
inline constexpr size_t kSerialNumberSize = 8;
inline constexpr size_t kIMEISize = 8;
inline constexpr size_t kChallengeSize = 8;
inline constexpr size_t kSecurityResponseSize = 64;
inline constexpr size_t kMobileInfoSize = 17;

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

// NVRAM calibration items: the first family names them by 8 bits, the QV
// family by 16. A check reports 1 present, 0 absent, 255 for the state the
// firmware calls neither.
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

// Calibration device calls.
uint16_t CFCRPCCalDevGsmSetAfcDac(Connection& connection, uint16_t afcValue);
// Both values come back unjudged; the burst status is the caller's to judge.
uint16_t CFCRPCCalDevGsmFreqOffsetMeas(Connection& connection, uint16_t arfcn, uint16_t afcValue,
                                       int16_t* frequencyOffset, uint8_t* burstStatus);
// Operation 0 writes the gain program word `value`, 1 reads it (value 0),
// 2 writes the accurate value.
uint16_t CFCRPCCalDevGsmGainProgram(Connection& connection, uint16_t value, uint8_t gainIndex,
                                    uint8_t band, uint8_t operation, uint16_t* valueOut);
// A channel echo other than `channel` is 5; a foreign reference that
// persists is judged like any confirm.
uint16_t CFCRPCCalDevGsmRssi(Connection& connection, uint16_t channel, uint16_t gain,
                             uint8_t applyAgcTable, int16_t* rssi);
uint16_t CFCRPCCalDevGsmDcOffset(Connection& connection, uint8_t measure, int16_t* rxI,
                                 int16_t* rxQ, int16_t* txI, int16_t* txQ);
uint16_t CFCRPCCalDevGsmSetBandMode(Connection& connection, uint8_t bandMode);
uint16_t CFCRPCCalDevGsmSetBurstData(Connection& connection, const uint8_t* burstData);
uint16_t CFCRPCCalDevGsmSetBurst(Connection& connection, const BurstSetting& burst);
uint16_t CFCRPCCalDevGsmRampScale(Connection& connection, uint16_t scaleFactor);
uint16_t CFCRPCCalDevGsmSetPowerRamp(Connection& connection, const uint8_t* powerRamp);
uint16_t CFCRPCCalDevGsmRxControl(Connection& connection, uint8_t index, uint8_t operation,
                                  uint32_t parameter);
uint16_t CFCRPCCalDevGsmLoopBack(Connection& connection, uint8_t operation, uint16_t bch,
                                 uint16_t tch, uint8_t timeSlot, uint8_t tsc, uint8_t powerLevel);
uint16_t CFCRPCCalDevGsmLoopBackData(Connection& connection, LoopBackData* data);
uint16_t CFCRPCCalDevGsmSlotDefine(Connection& connection, const uint8_t* slotDefinition,
                                   uint8_t slotNumber);
uint16_t CFCRPCCalDevGsmFrameDefine(Connection& connection, const uint8_t* frameDefinition,
                                    uint8_t frameNumber);
uint16_t CFCRPCCalDevGsmFrameTiming(Connection& connection, uint8_t frameNumber,
                                    uint16_t frameAdvance, uint16_t rxAdvance, uint16_t txAdvance,
                                    uint16_t monitorAdvance);
uint16_t CFCRPCCalDevGsmFrameUse(Connection& connection, uint8_t mode);
uint16_t CFCRPCCalDevGsmConstTx(Connection& connection, uint16_t channel, uint32_t amLoopOffset,
                                uint16_t value, uint8_t mode);
// `addresses` and `values` hold kBBCRegisters entries each; `returned` takes
// as many.
uint16_t CFCRPCCalDevGsmBBCRegister(Connection& connection, uint16_t readWriteMask,
                                    const uint16_t* addresses, const uint16_t* values,
                                    uint16_t* returned);
// `codes` holds `capacity` codes; `count` takes the number delivered, never
// more than the capacity.
uint16_t CFCRPCGetGainCodeTable(Connection& connection, uint16_t capacity, uint8_t band,
                                uint8_t gainIndex, uint16_t* codes, uint16_t* count);
uint16_t CFCRPCSetPrechargeValue(Connection& connection, uint16_t value);
// Five receptions while the module stays silent; a result byte other than
// 1 is 4.
uint16_t CFCRPCApexProtocolStackModeChange(Connection& connection, uint8_t mode);
// Writes the band mode and reads it back until the module reports it, in
// at most kBandModePasses passes of at most kBandModeReads reads each; 5
// when either bound is reached, 2 when the module stops answering.
inline constexpr unsigned kBandModePasses = 5;
inline constexpr unsigned kBandModeReads = 10;
uint16_t CFCRPCApexBandModeChange(Connection& connection, uint8_t bandMode);

// Identity and security. Output areas that the calls preset do so with 0xFF
// before the wait, so a failed call leaves them all 0xFF.
uint16_t CFCRPCFlashSerialNumberRead(Connection& connection, uint8_t* serialNumber);
uint16_t CFCRPCGetSingleIE(Connection& connection, uint16_t ieCode, uint16_t* value);
// One request for both names: mode 0 resets, 1 sets the customer IMEI mode.
// `returnedMode` takes the mode of any confirm that matched.
uint16_t CFCRPCResetIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode);
uint16_t CFCRPCSetCustomerIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode);
uint16_t CFCRPCReadSerialNumber(Connection& connection, uint8_t* serialNumber);
uint16_t CFCRPCReadIMEI(Connection& connection, uint8_t* imei);
uint16_t CFCRPCInitIMEI(Connection& connection);
uint16_t CFCRPCFreezeIMEI(Connection& connection, const uint8_t* imei);
// `mode` goes out and takes the mode of any confirm that matched.
uint16_t CFCRPCSetSecurityMode(Connection& connection, uint16_t* mode, uint32_t value);
uint16_t CFCRPCRequestChallenge(Connection& connection, uint8_t* challenge);
uint16_t CFCRPCSendResponse(Connection& connection, const uint8_t* response);
uint16_t CFCRPCGetMobileInfo(Connection& connection, uint8_t* information);

// The judgements, apart from their reception so that any confirm bytes can
// be judged. `confirm` is the whole confirm area; bytes the module did not
// send read as zero.

// A status byte behind the reference: non-zero is 5.
uint16_t JudgeStatusByte(std::span<const uint8_t> confirm);
// An item read: reference, length, status, a version byte where
// `versioned`, data. Status 0 or 1 delivers min(length, dataSize) bytes.
uint16_t JudgeItemRead(std::span<const uint8_t> confirm, bool versioned, uint8_t* data,
                       uint16_t dataSize, uint16_t* length, uint8_t* version);
// A calibration item check: reference, length, item state.
uint16_t JudgeItemState(std::span<const uint8_t> confirm, uint8_t* present);
uint16_t JudgeGainCodeTable(std::span<const uint8_t> confirm, uint16_t* codes, uint16_t capacity,
                            uint16_t* count);
uint16_t JudgeLoopBackData(std::span<const uint8_t> confirm, LoopBackData* data);
uint16_t JudgeProtocolStackConfirm(std::span<const uint8_t> confirm);
// 0, or 700 + s for the signed status byte s at `statusAt`.
uint16_t JudgeIdentityStatus(std::span<const uint8_t> confirm, size_t statusAt);
// The bytes behind the reference into `out` when the status byte at
// `statusAt` (none for the challenge) is zero.
uint16_t JudgeIdentityBytes(std::span<const uint8_t> confirm, std::span<uint8_t> out,
                            const size_t* statusAt);

} // namespace cfc
