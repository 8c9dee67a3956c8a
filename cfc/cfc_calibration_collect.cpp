// The calibration values a line collects on the host, item by item in the
// layout the module's NVRAM keeps, before they are written in one go.
#include "cfc.h"
#include "cfc_calibration_op.h"
#include "cfc_calibration_store.h"

#include "plat/byte_order.h"

#include <cstring>
#include <span>

namespace cfc {

namespace {

constexpr uint8_t kBandCount = 4;
constexpr uint8_t kModulationCount = 2;
constexpr uint8_t kPsk8 = 1;

constexpr uint8_t kAgcGainWordsItem = 0;
constexpr uint8_t kAgcAccurateValuesItem = 1;
constexpr uint8_t kAfcItem = 2;
constexpr uint8_t kScalingFactorsGmskItem = 3;
constexpr uint8_t kScalingFactors8pskItem = 4;
constexpr uint8_t kAmLoopOffsetsItem = 5;
constexpr uint8_t kTxDacOffsetsItem = 7;

constexpr size_t kAgcWords = 26;
constexpr size_t kScalingFactors = 32;
constexpr uint32_t kAfcMarker = 381023;
constexpr uint16_t kAfcTail = 0x1FFF;
// Bytes 8 to 15 of the Tx I/Q item hold the 8PSK pairs.
constexpr size_t kPsk8Pairs = 8;

// The module keeps per-band values in the band order 3, 0, 1, 2.
size_t moduleBandPlace(uint8_t band)
{
    return (band + 1u) % kBandCount;
}

// One store operation: its call line, the checks of band and modulation in
// its order, its values into the item, the item's bit.
class Collect {
public:
    Collect(Connection& connection, const char* name)
        : op_(connection, {name, ""}), store_(connection.calibration)
    {
    }

    const CalibrationOp& op() const { return op_; }
    bool bandValid(uint8_t band) const
    {
        if (band < kBandCount)
            return true;
        op_.refuse(EMMIERR_BAD_BAND, "invalid band %d", band);
        return false;
    }
    bool modulationValid(uint8_t modulation) const
    {
        if (modulation < kModulationCount)
            return true;
        op_.refuse(EMMIERR_BAD_MODULATION, "invalid modulation mode %d", modulation);
        return false;
    }
    std::span<uint8_t> item(uint8_t id) { return store_.item(id); }
    int32_t stored(uint8_t id)
    {
        store_.storedCalibrationItems |= 1u << id;
        op_.trace().step(6, "O.K., storedCalibrationItems now 0x%08x",
                         store_.storedCalibrationItems);
        return 1;
    }

private:
    CalibrationOp op_;
    CalibrationStore& store_;
};

int32_t collectWords(uint32_t handle, const char* name, uint8_t id, uint8_t band,
                     const uint16_t* values, const char* valuesName, size_t count,
                     size_t bandStride)
{
    return CheckedCall(handle, name, {Argument::needed(values, valuesName)},
                       [&](Connection& connection) -> int32_t {
                           Collect collect(connection, name);
                           collect.op().trace().call(4, "(band=%d)", band);
                           if (!collect.bandValid(band))
                               return 0;
                           const std::span<uint8_t> item = collect.item(id);
                           for (size_t i = 0; i < count; ++i)
                               plat::putLe16(item, bandStride * band + 2 * i, values[i]);
                           return collect.stored(id);
                       });
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WQuorleStoreCalibrationDataAFC(uint32_t handle, uint32_t slope, uint16_t nominalValue)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        Collect collect(connection, "WQuorleStoreCalibrationDataAFC");
        collect.op().trace().call(4, "(slope=%u, nominalValue=%d)", slope, nominalValue);
        const std::span<uint8_t> item = collect.item(kAfcItem);
        plat::putLe32(item, 0, kAfcMarker);
        plat::putLe32(item, 4, slope);
        plat::putLe16(item, 8, nominalValue);
        plat::putLe16(item, 10, 0);
        plat::putLe16(item, 12, kAfcTail);
        return collect.stored(kAfcItem);
    });
}

int32_t WQuorleStoreCalibrationDataTxIQOffsets(uint32_t handle, uint8_t band, uint8_t modulation,
                                               int8_t iOffset, int8_t qOffset)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        Collect collect(connection, "WQuorleStoreCalibrationDataTxIQOffsets");
        const OpTrace& trace = collect.op().trace();
        trace.call(4, "(band=%d, modulation=%d, I=%d, Q=%d)", band, modulation, iOffset, qOffset);
        if (!collect.modulationValid(modulation) || !collect.bandValid(band))
            return 0;
        const std::span<uint8_t> item = collect.item(kTxIqOffsetsItem);
        const size_t gmsk = 2 * moduleBandPlace(band);
        const auto put = [&](size_t at) {
            item[at] = static_cast<uint8_t>(iOffset);
            item[at + 1] = static_cast<uint8_t>(qOffset);
        };
        // An 8PSK pair serves GMSK too; a GMSK pair of its own is taken
        // only while the band has none.
        if (modulation == kPsk8) {
            put(kPsk8Pairs + gmsk);
            trace.step(6, "storing 8PSK values for GMSK also...");
            put(gmsk);
        } else if (item[gmsk] == kInvalidIqOffset) {
            trace.step(6, "storing GMSK value since not stored yet");
            put(gmsk);
        } else {
            trace.step(6, "skipping GMSK value since already stored");
        }
        return collect.stored(kTxIqOffsetsItem);
    });
}

int32_t WQuorleStoreCalibrationDataScalingFactors(uint32_t handle, uint8_t band, uint8_t modulation,
                                                  const uint16_t* pFactors)
{
    return CheckedCall(
        handle, "WQuorleStoreCalibrationDataScalingFactors",
        {Argument::needed(pFactors, "pFactors")}, [&](Connection& connection) -> int32_t {
            Collect collect(connection, "WQuorleStoreCalibrationDataScalingFactors");
            collect.op().trace().call(4, "(band=%d, modulation=%d)", band, modulation);
            if (!collect.modulationValid(modulation) || !collect.bandValid(band))
                return 0;
            const uint8_t id =
                modulation == kPsk8 ? kScalingFactors8pskItem : kScalingFactorsGmskItem;
            const std::span<uint8_t> item = collect.item(id);
            for (size_t i = 0; i < kScalingFactors; ++i)
                plat::putLe16(item, 2 * kScalingFactors * band + 2 * i, pFactors[i]);
            return collect.stored(id);
        });
}

int32_t WQuorleStoreCalibrationDataAMLoopOffsets(uint32_t handle, uint8_t band, uint32_t value)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        Collect collect(connection, "WQuorleStoreCalibrationDataAMLoopOffsets");
        collect.op().trace().call(4, "(band=%d, value=0x%x)", band, value);
        if (!collect.bandValid(band))
            return 0;
        plat::putLe32(collect.item(kAmLoopOffsetsItem), 4 * moduleBandPlace(band), value);
        return collect.stored(kAmLoopOffsetsItem);
    });
}

int32_t WQuorleStoreCalibrationDataAGCGainWords(uint32_t handle, uint8_t band,
                                                const uint16_t* pGainWords)
{
    return collectWords(handle, "WQuorleStoreCalibrationDataAGCGainWords", kAgcGainWordsItem, band,
                        pGainWords, "pGainWords", kAgcWords, 2 * kAgcWords);
}

int32_t WQuorleStoreCalibrationDataAGCAccurateValues(uint32_t handle, uint8_t band,
                                                     const uint16_t* pAccurateValues)
{
    return collectWords(handle, "WQuorleStoreCalibrationDataAGCAccurateValues",
                        kAgcAccurateValuesItem, band, pAccurateValues, "pAccurateValues", kAgcWords,
                        2 * kAgcWords);
}

int32_t WQuorleStoreCalibrationDataTxDacOffsets(uint32_t handle, uint8_t band, uint8_t modulation,
                                                int16_t value)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        Collect collect(connection, "WQuorleStoreCalibrationDataTxDacOffsets");
        collect.op().trace().call(4, "(band=%d, modulation=%d, value=%d)", band, modulation, value);
        if (!collect.bandValid(band) || !collect.modulationValid(modulation))
            return 0;
        plat::putLe16(collect.item(kTxDacOffsetsItem), 2 * (2 * band + modulation),
                      static_cast<uint16_t>(value));
        return collect.stored(kTxDacOffsetsItem);
    });
}

int32_t WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets(uint32_t handle, int16_t iOffset,
                                                              int16_t qOffset)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        Collect collect(connection, "WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets");
        collect.op().trace().call(4, "(I=%d, Q=%d)", iOffset, qOffset);
        const std::span<uint8_t> item = collect.item(kAutoCalIqOffsetsItem);
        plat::putLe16(item, 0, static_cast<uint16_t>(iOffset));
        plat::putLe16(item, 2, static_cast<uint16_t>(qOffset));
        return collect.stored(kAutoCalIqOffsetsItem);
    });
}

} // extern "C"
