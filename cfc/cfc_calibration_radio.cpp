// Radio test control as a calibration line drives it: AFC, gains, power
// ramp, receiver and transmitter control, loopback and the GPRS frames.
#include "cfc.h"
#include "cfc_calibration.h"
#include "cfc_calibration_op.h"
#include "cfcrpc.h"
#include "cfcrpc_catalogue.h"

#include "plat/byte_order.h"

#include <algorithm>
#include <array>

namespace cfc {

namespace {

// The gain program call's operations.
constexpr uint8_t kGainWrite = 0;
constexpr uint8_t kGainRead = 1;
constexpr uint8_t kAccurateWrite = 2;

// The frequency burst statuses of a measurement that found a burst.
constexpr uint8_t kBurstFound = 1;
constexpr uint8_t kBurstFoundAgain = 2;
constexpr uint16_t kErrorBurstStatus = 16;

enum RxOperation : uint8_t {
    kPowerOn = 0,
    kPowerDown = 1,
    kReceiverOn = 2,
    kReceiverOff = 3,
    kSendTelegram = 4,
    kSetInitTelegram = 5,
};

// Register masks: two bits a register from the first, 10 reading it and 01
// writing it.
constexpr uint16_t kTxOffsetMask = 0x0A5A;
constexpr uint16_t kReadThree = 0x2A;
constexpr uint16_t kReadFour = 0xAA;
constexpr uint16_t kReadWriteTwo = 0xAA5A;
constexpr uint16_t kWriteBits = 0x5555;

constexpr uint32_t kAmLoopOffsetLimit = 0x40;
constexpr uint16_t kRampDacLimit = 1024;

constexpr uint8_t kNormalMode = 0;

enum LoopOperation : uint8_t { kLoopStart = 0, kLoopChange = 1, kLoopStop = 2 };

int32_t rxControl(uint32_t handle, const char* name, uint8_t operation, uint32_t parameter,
                  uint8_t index = 0)
{
    return CalibrationCall(
        handle, {name, "CFCRPCCalDevGsmRxControl"},
        ArgText("(parameter=0x%x, index=%d)", parameter, index),
        [&](Connection& c) { return CFCRPCCalDevGsmRxControl(c, index, operation, parameter); });
}

int32_t gainProgram(uint32_t handle, const char* name, uint16_t value, uint8_t gainIndex,
                    uint8_t band, uint8_t operation, uint16_t* valueOut)
{
    uint16_t delivered = 0;
    // Only the read delivers a word, and there the word is the point.
    return CheckedCalibrationCall(
        handle, {name, "CFCRPCCalDevGsmGainProgram"},
        {Argument::needed(operation == kGainRead ? valueOut : &delivered, "pGainWord")},
        ArgText("(value=0x%x, gainIndex=%d, band=%d)", value, gainIndex, band),
        [&](Connection& c) {
            return CFCRPCCalDevGsmGainProgram(c, value, gainIndex, band, operation, &delivered);
        },
        [&](const CalibrationOp& op) {
            if (valueOut == nullptr)
                return;
            *valueOut = delivered;
            op.rets("*pValue 0x%x", delivered);
        });
}

int32_t loopBack(uint32_t handle, const char* name, uint8_t operation, uint16_t bch, uint16_t tch,
                 uint8_t timeSlot, uint8_t tsc, uint8_t powerLevel)
{
    return CalibrationCall(handle, {name, "CFCRPCCalDevGsmLoopBack"},
                           ArgText("(bch=%d, tch=%d, timeSlot=%d, tsc=%d, powerLevel=%d)", bch, tch,
                                   timeSlot, tsc, powerLevel),
                           [&](Connection& c) {
                               return CFCRPCCalDevGsmLoopBack(c, operation, bch, tch, timeSlot, tsc,
                                                              powerLevel);
                           });
}

} // namespace

int32_t BBCRegister(Connection& connection, uint16_t readWriteMask, const uint16_t* addresses,
                    const uint16_t* values, uint16_t* returned)
{
    std::array<uint16_t, kBBCRegisters> got{};
    return RunCalibrationOp(
        connection, {"WBBCRegister", "CFCRPCCalDevGsmBBCRegister"},
        ArgText("(readWriteMask=0x%x)", readWriteMask),
        [&](Connection& c) {
            return CFCRPCCalDevGsmBBCRegister(c, readWriteMask, addresses, values, got.data());
        },
        [&](const CalibrationOp& op) {
            op.dump("registerValues", got.data(), kBBCRegisters);
            if (returned != nullptr)
                std::copy(got.begin(), got.end(), returned);
        });
}

int32_t SetRampScaleFactor(Connection& connection, uint16_t scaleFactor)
{
    return RunCalibrationOp(connection, {"WSetRampScaleFactor", "CFCRPCCalDevGsmRampScale"},
                            ArgText("(scaleFactor=%d)", scaleFactor), [&](Connection& c) {
                                return CFCRPCCalDevGsmRampScale(c, scaleFactor);
                            });
}

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WSetAFC(uint32_t handle, uint16_t value)
{
    return CalibrationCall(handle, {"WSetAFC", "CFCRPCCalDevGsmSetAfcDac"},
                           ArgText("(value=%d)", value),
                           [&](Connection& c) { return CFCRPCCalDevGsmSetAfcDac(c, value); });
}

int32_t WSetAFCAndMeasure(uint32_t handle, uint16_t arfcn, uint16_t value, int16_t* pFreqOffset)
{
    return CheckedCall(
        handle, "WSetAFCAndMeasure", {Argument::needed(pFreqOffset, "pFreqOffset")},
        [&](Connection& connection) -> int32_t {
            const CalibrationOp op(connection,
                                   {"WSetAFCAndMeasure", "CFCRPCCalDevGsmFreqOffsetMeas"});
            op.begin(ArgText("(arfcn=%d, value=%d)", arfcn, value));
            int16_t offset = 0;
            uint8_t status = 0;
            if (!op.made(CFCRPCCalDevGsmFreqOffsetMeas(connection, arfcn, value, &offset, &status)))
                return 0;
            op.trace().step(9, "rets freqBurstStatus %d", status);
            // Without a frequency burst the offset is no measurement.
            if (status != kBurstFound && status != kBurstFoundAgain)
                return op.refuse(kErrorBurstStatus,
                                 "CFCRPCCalDevGsmFreqOffsetMeas rets status %d, error %d", status,
                                 kErrorBurstStatus);
            if (pFreqOffset != nullptr)
                *pFreqOffset = offset;
            op.rets("*pFreqOffset %d", offset);
            return op.ok();
        });
}

int32_t WSetGainProgramWord(uint32_t handle, uint16_t gainWord, uint8_t gainIndex, uint8_t band)
{
    return gainProgram(handle, "WSetGainProgramWord", gainWord, gainIndex, band, kGainWrite,
                       nullptr);
}

int32_t WGetGainProgramWord(uint32_t handle, uint8_t gainIndex, uint8_t band, uint16_t* pGainWord)
{
    return gainProgram(handle, "WGetGainProgramWord", 0, gainIndex, band, kGainRead, pGainWord);
}

int32_t WSetAccurateValue(uint32_t handle, uint16_t value, uint8_t gainIndex, uint8_t band)
{
    return gainProgram(handle, "WSetAccurateValue", value, gainIndex, band, kAccurateWrite,
                       nullptr);
}

int32_t WGetPowerValue(uint32_t handle, uint16_t channel, uint16_t gain, uint8_t applyAgcTable,
                       int16_t* pRssi)
{
    int16_t rssi = 0;
    return CheckedCalibrationCall(
        handle, {"WGetPowerValue", "CFCRPCCalDevGsmRssi"}, {Argument::needed(pRssi, "pRssi")},
        ArgText("(channel=%d, gain=0x%x, applyAgcTable=%d)", channel, gain, applyAgcTable),
        [&](Connection& c) { return CFCRPCCalDevGsmRssi(c, channel, gain, applyAgcTable, &rssi); },
        [&](const CalibrationOp& op) {
            if (pRssi != nullptr)
                *pRssi = rssi;
            op.rets("*pRssi %d", rssi);
        });
}

int32_t WGetUsedIQOffsetValues(uint32_t handle, uint8_t measure, int16_t* pOffsets)
{
    std::array<int16_t, 4> offsets{};
    return CheckedCalibrationCall(
        handle, {"WGetUsedIQOffsetValues", "CFCRPCCalDevGsmDcOffset"},
        {Argument::needed(pOffsets, "pOffsets")}, ArgText("(measure=%d)", measure),
        [&](Connection& c) {
            return CFCRPCCalDevGsmDcOffset(c, measure, &offsets[0], &offsets[1], &offsets[2],
                                           &offsets[3]);
        },
        [&](const CalibrationOp& op) {
            op.rets("rx I %d, rx Q %d, tx I %d, tx Q %d", offsets[0], offsets[1], offsets[2],
                    offsets[3]);
            if (pOffsets != nullptr)
                std::copy(offsets.begin(), offsets.end(), pOffsets);
        });
}

int32_t WSetCurrentDualBandMode(uint32_t handle, uint8_t bandMode)
{
    return CalibrationCall(handle, {"WSetCurrentDualBandMode", "CFCRPCCalDevGsmSetBandMode"},
                           ArgText("(bandMode=%d)", bandMode),
                           [&](Connection& c) { return CFCRPCCalDevGsmSetBandMode(c, bandMode); });
}

int32_t WSetPowerRamp(uint32_t handle, const uint16_t* pRamp)
{
    return CheckedCalibrationCall(handle, {"WSetPowerRamp", "CFCRPCCalDevGsmSetPowerRamp"},
                                  {Argument::needed(pRamp, "pRamp")}, ArgText(),
                                  [&](Connection& c) {
                                      // The firmware takes the values low byte first.
                                      std::array<uint8_t, kPowerRampSize> bytes{};
                                      for (size_t i = 0; i < kPowerRampSize / 2; ++i)
                                          plat::putLe16(bytes, 2 * i, pRamp[i]);
                                      return CFCRPCCalDevGsmSetPowerRamp(c, bytes.data());
                                  });
}

int32_t WSetRampScaleFactor(uint32_t handle, uint16_t scaleFactor)
{
    return OnConnection(handle, int32_t{0},
                        [&](Connection& c) { return SetRampScaleFactor(c, scaleFactor); });
}

int32_t WRadioPowerOn(uint32_t handle)
{
    return rxControl(handle, "WRadioPowerOn", kPowerOn, 0);
}

int32_t WRadioPowerDown(uint32_t handle)
{
    return rxControl(handle, "WRadioPowerDown", kPowerDown, 0);
}

int32_t WRadioReceiverOn(uint32_t handle, uint32_t parameter)
{
    return rxControl(handle, "WRadioReceiverOn", kReceiverOn, parameter);
}

int32_t WRadioReceiverOff(uint32_t handle, uint32_t parameter)
{
    return rxControl(handle, "WRadioReceiverOff", kReceiverOff, parameter);
}

int32_t WRadioSendTelegram(uint32_t handle, uint32_t telegram)
{
    return rxControl(handle, "WRadioSendTelegram", kSendTelegram, telegram);
}

int32_t WRadioSetInitTelegram(uint32_t handle, uint32_t telegram, uint8_t index)
{
    return rxControl(handle, "WRadioSetInitTelegram", kSetInitTelegram, telegram, index);
}

int32_t WStartLoopback(uint32_t handle, uint16_t bch, uint16_t tch, uint8_t timeSlot, uint8_t tsc,
                       uint8_t powerLevel)
{
    return loopBack(handle, "WStartLoopback", kLoopStart, bch, tch, timeSlot, tsc, powerLevel);
}

int32_t WChangeLoopback(uint32_t handle, uint16_t tch, uint8_t timeSlot, uint8_t tsc,
                        uint8_t powerLevel)
{
    return loopBack(handle, "WChangeLoopback", kLoopChange, 0, tch, timeSlot, tsc, powerLevel);
}

int32_t WStopLoopback(uint32_t handle)
{
    return loopBack(handle, "WStopLoopback", kLoopStop, 0, 0, 0, 0, 0);
}

int32_t WGetLoopbackData(uint32_t handle, int16_t* pTimingOffset, int16_t* pFreqOffset,
                         uint16_t* pBitErrors, uint16_t* pSoftDecisionTotal, int16_t* pRssi)
{
    LoopBackData data;
    return CalibrationCall(
        handle, {"WGetLoopbackData", "CFCRPCCalDevGsmLoopBackData"}, ArgText(),
        [&](Connection& c) { return CFCRPCCalDevGsmLoopBackData(c, &data); },
        [&](const CalibrationOp& op) {
            op.rets("timingOffset %d, freqOffset %d, bitErrors %d, softDecisionTotal %d, rssi %d",
                    data.timingOffset, data.frequencyOffset, data.bitErrors, data.softDecisionTotal,
                    data.rssi);
            if (pTimingOffset != nullptr)
                *pTimingOffset = data.timingOffset;
            if (pFreqOffset != nullptr)
                *pFreqOffset = data.frequencyOffset;
            if (pBitErrors != nullptr)
                *pBitErrors = data.bitErrors;
            if (pSoftDecisionTotal != nullptr)
                *pSoftDecisionTotal = data.softDecisionTotal;
            if (pRssi != nullptr)
                *pRssi = data.rssi;
        });
}

int32_t WConfigureGPRSMultiFrame(uint32_t handle, uint8_t frameNumber, const uint8_t* pSlotMapping,
                                 uint16_t rxChannel, uint16_t txChannel, uint16_t monitorChannel,
                                 uint16_t frameAdvance, uint16_t rxAdvance, uint16_t txAdvance,
                                 uint16_t monitorAdvance)
{
    // The frame definition: the eight slots' mapping, then the three
    // channels and the four advances, low byte first.
    std::array<uint8_t, kFrameDefinitionSize> definition{};
    rpc::Payload payload(definition);
    for (size_t slot = 0; pSlotMapping != nullptr && slot < 8; ++slot)
        payload.u8(pSlotMapping[slot]);
    for (const uint16_t value :
         {rxChannel, txChannel, monitorChannel, frameAdvance, rxAdvance, txAdvance, monitorAdvance})
        payload.le16(value);
    return CheckedCalibrationCall(
        handle, {"WConfigureGPRSMultiFrame", "CFCRPCCalDevGsmFrameDefine"},
        {Argument::needed(pSlotMapping, "pSlotMapping")},
        ArgText("(frameNumber=%d, rxChannel=%d, txChannel=%d, monitorChannel=%d)", frameNumber,
                rxChannel, txChannel, monitorChannel),
        [&](Connection& c) {
            return CFCRPCCalDevGsmFrameDefine(c, definition.data(), frameNumber);
        });
}

int32_t WChangeGPRSTiming(uint32_t handle, uint8_t frameNumber, uint16_t frameAdvance,
                          uint16_t rxAdvance, uint16_t txAdvance, uint16_t monitorAdvance)
{
    return CalibrationCall(
        handle, {"WChangeGPRSTiming", "CFCRPCCalDevGsmFrameTiming"},
        ArgText("(frameNumber=%d, frameAdvance=%d, rxAdvance=%d, txAdvance=%d, monitorAdvance=%d)",
                frameNumber, frameAdvance, rxAdvance, txAdvance, monitorAdvance),
        [&](Connection& c) {
            return CFCRPCCalDevGsmFrameTiming(c, frameNumber, frameAdvance, rxAdvance, txAdvance,
                                              monitorAdvance);
        });
}

int32_t WSetGPRSUsage(uint32_t handle, uint8_t mode)
{
    return CalibrationCall(handle, {"WSetGPRSUsage", "CFCRPCCalDevGsmFrameUse"},
                           ArgText("(mode=%d)", mode),
                           [&](Connection& c) { return CFCRPCCalDevGsmFrameUse(c, mode); });
}

int32_t WBBCRegister(uint32_t handle, uint16_t readWriteMask, const uint16_t* pAddresses,
                     const uint16_t* pValues, uint16_t* pReturned)
{
    // A register the mask writes takes its value from the list.
    const bool writes = (readWriteMask & kWriteBits) != 0;
    return CheckedCall(handle, "WBBCRegister",
                       {Argument::needed(pAddresses, "pAddresses"),
                        Argument::needed(writes ? pValues : pAddresses, "pValues")},
                       [&](Connection& c) {
                           return BBCRegister(c, readWriteMask, pAddresses, pValues, pReturned);
                       });
}

int32_t WSetTxOffset(uint32_t handle, uint8_t iOffset, uint8_t qOffset)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const CalibrationOp op(connection, {"WSetTxOffset", "WBBCRegister"});
        op.begin(ArgText("(iTxOffset=0x%x, qTxOffset=0x%x)", iOffset, qOffset));
        // Reads both offset registers, writes them, reads them back.
        const std::array<uint16_t, kBBCRegisters> addresses{3, 4, 3, 4, 3, 4, 0, 0};
        const std::array<uint16_t, kBBCRegisters> values{0, 0, iOffset, qOffset, 0, 0, 0, 0};
        std::array<uint16_t, kBBCRegisters> got{};
        if (!BBCRegister(connection, kTxOffsetMask, addresses.data(), values.data(), got.data()))
            return op.made(connection.lastError());
        op.rets("old iTxOffset %x", got[0]);
        op.rets("old qTxOffset %x", got[1]);
        op.rets("new iTxOffset %x", got[4]);
        op.rets("new qTxOffset %x", got[5]);
        return op.ok();
    });
}

int32_t WSetAMLoopOffset(uint32_t handle, uint8_t mode, uint16_t channel, uint32_t amLoopOffset,
                         uint16_t value, uint16_t rampDacValue)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const CalibrationOp op(connection, {"WSetAMLoopOffset", "CFCRPCCalDevGsmConstTx"});
        op.begin(ArgText("(mode=%d, channel=%d, aMLoopOffset=0x%x, value=%d, rampDacValue=0x%x)",
                         mode, channel, amLoopOffset, value, rampDacValue));
        if (amLoopOffset >= kAmLoopOffsetLimit)
            return op.refuse(EMMIERR_BAD_AM_LOOP_OFFSET, "invalid aMLoopOffset 0x%x", amLoopOffset);
        if (rampDacValue >= kRampDacLimit)
            return op.refuse(EMMIERR_BAD_RAMP_DAC, "invalid rampDacValue 0x%x", rampDacValue);
        if (mode == 0)
            return op.made(CFCRPCCalDevGsmConstTx(connection, channel, amLoopOffset, value, mode))
                       ? op.ok()
                       : 0;

        const auto registers = [&](uint16_t mask, std::array<uint16_t, kBBCRegisters> addresses,
                                   std::array<uint16_t, kBBCRegisters> values,
                                   std::array<uint16_t, kBBCRegisters>& got) {
            if (BBCRegister(connection, mask, addresses.data(), values.data(), got.data()))
                return true;
            op.trace().step(4, "WBBCRegister fails");
            return false;
        };
        std::array<uint16_t, kBBCRegisters> control{};
        std::array<uint16_t, kBBCRegisters> got{};
        if (!registers(kReadThree, {0, 1, 2}, {}, control))
            return 0;
        for (size_t i = 0; i < 3; ++i)
            TraceLineF(connection.trace, 6, "(CFC ) WSetAMLoopOffset -> TxControl%d:  0x%x",
                       static_cast<int>(i + 1), control[i]);
        // Constant transmission wants the second control register's loop
        // bits on and the ramp DAC register cleared.
        const uint16_t prepared = static_cast<uint16_t>(control[1] | 0x110);
        if (!registers(kReadWriteTwo, {1, 10, 1, 10, 1, 10, 0, 2}, {0, 0, prepared, 0}, got))
            return 0;
        if (!op.made(CFCRPCCalDevGsmConstTx(connection, channel, amLoopOffset, value, mode)))
            return 0;
        if (!registers(kReadFour, {1, 10, 0, 2}, {}, got))
            return 0;
        const uint16_t first = static_cast<uint16_t>((control[0] & 0xFEF3) | 0x81);
        if (!registers(kReadWriteTwo, {10, 0, 10, 0, 10, 0, 1, 2}, {0, 0, rampDacValue, first},
                       got))
            return 0;
        return op.ok();
    });
}

int32_t WInitGainCodeTemplates(uint32_t handle, uint8_t gainIndex, uint8_t band)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        CalibrationStore& store = connection.calibration;
        uint16_t count = 0;
        return RunCalibrationOp(
            connection, {"WInitGainCodeTemplates", "CFCRPCGetGainCodeTable"},
            ArgText("(gainIndex=%d, band=%d)", gainIndex, band),
            [&](Connection& c) {
                return CFCRPCGetGainCodeTable(c, kGainCodeCapacity, band, gainIndex,
                                              store.gainCodes.data(), &count);
            },
            [&](const CalibrationOp& op) {
                store.gainCodeIndex = 0;
                store.gainCodeCount = count;
                op.rets("count %d", count);
                op.dump("gainCodes", store.gainCodes.data(), count);
            });
    });
}

int32_t WGetNextGainCode(uint32_t handle, uint16_t* pCode)
{
    return CheckedCall(handle, "WGetNextGainCode", {Argument::needed(pCode, "pCode")},
                       [&](Connection& connection) -> int32_t {
                           CalibrationStore& store = connection.calibration;
                           const OpTrace trace(connection.trace, "(CFC )", "WGetNextGainCode");
                           // The count came from the module; the table's capacity is the bound.
                           if (store.gainCodeIndex >=
                               std::min<size_t>(store.gainCodeCount, kGainCodeCapacity)) {
                               connection.storeError(EMMIERR_TABLE_END);
                               trace.step(6, "index %d too large", store.gainCodeIndex);
                               return 0;
                           }
                           const uint16_t code = store.gainCodes[store.gainCodeIndex++];
                           *pCode = code;
                           trace.step(9, "rets *pCode 0x%x", code);
                           return 1;
                       });
}

int32_t WSetApexBandMode(uint32_t handle, uint8_t bandMode)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const OpTrace trace(connection.trace, "(CFC )", "WSetApexBandMode");
        trace.call(4, "(bandMode=%d)", bandMode);
        const auto failed = [&](const char* what, uint16_t error) {
            connection.storeError(error);
            trace.fails(4, what, error);
            return 0;
        };
        uint8_t before = 0;
        if (const uint16_t error = CFCRPCGetCurrentOperationMode(connection, &before))
            return failed("CFCRPCGetCurrentOperationMode", error);
        // The protocol stack of normal mode holds the band; it has to let go.
        if (before == kNormalMode) {
            trace.step(5, "target in normal mode, put protocol stack off...");
            if (const uint16_t error = CFCRPCApexProtocolStackModeChange(connection, 0))
                return failed("1st CFCRPCApexProtocolStackModeChange", error);
        }
        if (const uint16_t error = CFCRPCApexBandModeChange(connection, bandMode))
            return failed("CFCRPCApexBandModeChange", error);
        uint8_t after = 0;
        if (const uint16_t error = CFCRPCGetCurrentOperationMode(connection, &after))
            return failed("CFCRPCGetCurrentOperationMode", error);
        if (after != before) {
            trace.step(5, "restore operation mode, re-activate protocolStack...");
            if (const uint16_t error = CFCRPCSetCurrentOperationMode(connection, before))
                return failed("CFCRPCSetCurrentOperationMode", error);
        }
        trace.ok(6);
        return 1;
    });
}

int32_t WSetPrechargeValue(uint32_t handle, uint16_t value)
{
    return CalibrationCall(handle, {"WSetPrechargeValue", "CFCRPCSetPrechargeValue"},
                           ArgText("(value=%d)", value),
                           [&](Connection& c) { return CFCRPCSetPrechargeValue(c, value); });
}

} // extern "C"
