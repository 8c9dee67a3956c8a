// The calibration device calls into the module's firmware: radio
// measurements, bursts, frame schedule and band mode. Each is one row (ids,
// sizes, wait) and one short definition that packs its request fields and
// names its judgement; the engine does the rest. The band mode change stays
// hand-written: it writes, then reads back until the module reports the new
// mode, and tells a busy module from a gone one by an item check.
#pragma once

#include "cfcmsg.h"
#include "cfcrpc_engine.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

namespace rpc {

// Name, request id, request size, confirm size, wait, flags. Every one but
// the protocol stack's waits three receptions.
// clang-format off
constexpr CallDef kSetAfcDac         {"CFCRPCCalDevGsmSetAfcDac",      CFCRequestCalDevGsmSetAfcDac,       4,  2, kThree, 0};
constexpr CallDef kFreqOffsetMeas    {"CFCRPCCalDevGsmFreqOffsetMeas", CFCRequestCalDevGsmFreqOffsetMeas,  6,  5, kThree, 0};
constexpr CallDef kGainProgram       {"CFCRPCCalDevGsmGainProgram",    CFCRequestCalDevGsmGainProgram,     7,  6, kThree, 0};
constexpr CallDef kRssi              {"CFCRPCCalDevGsmRssi",           CFCRequestCalDevGsmRssi,            7,  6, kThree, kLastConfirmJudged};
constexpr CallDef kDcOffset          {"CFCRPCCalDevGsmDcOffset",       CFCRequestCalDevGsmDcOffset,        3, 10, kThree, 0};
constexpr CallDef kSetBandMode       {"CFCRPCCalDevGsmSetBandMode",    CFCRequestCalDevGsmSetBandMode,     3,  2, kThree, 0};
constexpr CallDef kSetBurstData      {"CFCRPCCalDevGsmSetBurstData",   CFCRequestCalDevGsmSetBurstData,   62,  2, kThree, 0};
constexpr CallDef kSetBurst          {"CFCRPCCalDevGsmSetBurst",       CFCRequestCalDevGsmSetBurst,       27,  5, kThree, 0};
constexpr CallDef kRampScale         {"CFCRPCCalDevGsmRampScale",      CFCRequestCalDevGsmRampScale,       4,  2, kThree, 0};
constexpr CallDef kSetPowerRamp      {"CFCRPCCalDevGsmSetPowerRamp",   CFCRequestCalDevGsmSetPowerRamp,   66,  2, kThree, 0};
constexpr CallDef kRxControl         {"CFCRPCCalDevGsmRxControl",      CFCRequestCalDevGsmRxControl,       8,  2, kThree, 0};
constexpr CallDef kLoopBack          {"CFCRPCCalDevGsmLoopBack",       CFCRequestCalDevGsmLoopBack,       10,  3, kThree, 0};
constexpr CallDef kLoopBackData      {"CFCRPCCalDevGsmLoopBackData",   CFCRequestCalDevGsmLoopBackData,    2, 13, kThree, 0};
constexpr CallDef kSlotDefine        {"CFCRPCCalDevGsmSlotDefine",     CFCRequestCalDevGsmSlotDefine,     67,  3, kThree, 0};
constexpr CallDef kFrameDefine       {"CFCRPCCalDevGsmFrameDefine",    CFCRequestCalDevGsmFrameDefine,    25,  3, kThree, 0};
constexpr CallDef kFrameTiming       {"CFCRPCCalDevGsmFrameTiming",    CFCRequestCalDevGsmFrameTiming,    11,  2, kThree, 0};
constexpr CallDef kFrameUse          {"CFCRPCCalDevGsmFrameUse",       CFCRequestCalDevGsmFrameUse,        3,  2, kThree, 0};
constexpr CallDef kConstTx           {"CFCRPCCalDevGsmConstTx",        CFCRequestCalDevGsmConstTx,        23,  3, kThree, 0};
constexpr CallDef kBBCRegister       {"CFCRPCCalDevGsmBBCRegister",    CFCRequestCalDevGsmBBCRegister,    36, 18, kThree, 0};
// The codes (2 bytes each) come on top of the confirm size.
constexpr CallDef kGetGainCodeTable  {"CFCRPCGetGainCodeTable",        CFCRequestGetGainCodeTable,         6,  8, kThree, kVariableLength};
constexpr CallDef kSetPrechargeValue {"CFCRPCSetPrechargeValue",       CFCRequestSetPrechargeValue,        4,  2, kThree, 0};
// No reference: any confirm is taken, and only a silent module earns
// another reception.
constexpr CallDef kApexProtocolStackModeChange {"CFCRPCApexProtocolStackModeChange", CFCRequestApexProtocolStackModeChange, 3, 4, kFive, kNoReference};
// clang-format on

} // namespace rpc

inline constexpr size_t kBurstDataSize = 60;
inline constexpr size_t kPowerRampSize = 64;
inline constexpr size_t kSlotDefinitionSize = 64;
inline constexpr size_t kFrameDefinitionSize = 22;
inline constexpr size_t kBBCRegisters = 8;
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

// The judgements, apart from their reception so that any confirm bytes can
// be judged. `confirm` is the whole confirm area; bytes the module did not
// send read as zero.
uint16_t JudgeGainCodeTable(std::span<const uint8_t> confirm, uint16_t* codes, uint16_t capacity,
                            uint16_t* count);
uint16_t JudgeLoopBackData(std::span<const uint8_t> confirm, LoopBackData* data);
uint16_t JudgeProtocolStackConfirm(std::span<const uint8_t> confirm);

} // namespace cfc
