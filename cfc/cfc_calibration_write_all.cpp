// Writing the collected calibration values to the module's NVRAM in one go.
// Items the module holds already are rewritten only after an erase, so the
// module's other items are carried over it: saved by the module itself, and
// the present calibration items that the store does not replace read into
// the host's working area and written back.
#include "cfc.h"
#include "cfc_calibration.h"
#include "cfc_calibration_store.h"
#include "cfc_connection.h"
#include "cfcrpc_catalogue.h"

#include "plat/byte_order.h"

#include <bitset>

namespace cfc {

namespace {

using ItemSet = std::bitset<kCalibrationItemCount>;

// The last calibration item, as the module's save and restore of its
// other items are told it.
constexpr uint16_t kLastCalibrationItem = kCalibrationItemCount;
constexpr uint8_t kUnknownToFirmware = 255;

class WriteAll {
public:
    explicit WriteAll(Connection& connection)
        : connection_(connection), store_(connection.calibration),
          trace_(connection.trace, "(CFC )", "WWriteAllStoredValuesToModuleNVRAM"),
          stored_(store_.storedCalibrationItems)
    {
    }

    int32_t run(uint8_t resetFlag)
    {
        trace_.call(4, "(resetFlag=%d, storedCalibrationItems=0x%08x)", resetFlag,
                    static_cast<unsigned>(store_.storedCalibrationItems));
        if (resetFlag != 0) {
            trace_.step(5, "erase all cal items...");
            if (!EraseCalibrationItems(connection_))
                return 0;
        } else if (!carryPresentItemsOverErase()) {
            return 0;
        }
        for (uint8_t id = 0; id < kCalibrationItemCount; ++id)
            if (stored_[id] && !writeStored(id))
                return 0;
        trace_.step(5, "clear storedCalibrationItems");
        store_.storedCalibrationItems = 0;
        trace_.ok(6);
        return 1;
    }

private:
    // Whether the module holds item `id`; false with the failure traced.
    bool check(uint8_t id, bool& present)
    {
        uint8_t exists = 0;
        if (!CheckCalibrationItem(connection_, id, &exists)) {
            trace_.fails(4, "WCheckNVRAMCalibrationItem", connection_.lastError());
            return false;
        }
        present = exists == 1;
        if (present)
            trace_.step(5, "calItem %d already existent in NVRAM", id);
        return true;
    }

    bool carryPresentItemsOverErase()
    {
        // The stored items first: as long as none is in the module, nothing
        // needs an erase.
        ItemSet examined;
        ItemSet present;
        for (uint8_t id = 0; id < kCalibrationItemCount && present.none(); ++id) {
            if (!stored_[id])
                continue;
            examined.set(id);
            bool exists = false;
            if (!check(id, exists))
                return false;
            present[id] = exists;
        }
        if (present.none())
            return true;
        for (uint8_t id = 0; id < kCalibrationItemCount; ++id) {
            if (examined[id])
                continue;
            bool exists = false;
            if (!check(id, exists))
                return false;
            present[id] = exists;
        }

        const ItemSet kept = present & ~stored_;
        for (uint8_t id = 0; id < kCalibrationItemCount; ++id)
            if (kept[id] && !save(id))
                return false;
        trace_.step(5, "erase all cal items...");
        if (!SaveAllOtherCalibrationItems(connection_, kLastCalibrationItem) ||
            !EraseCalibrationItems(connection_) ||
            !RestoreAllOtherCalibrationItems(connection_, kLastCalibrationItem))
            return false;
        for (uint8_t id = 0; id < kCalibrationItemCount; ++id)
            if (kept[id] && !writeBack(id))
                return false;
        return true;
    }

    bool save(uint8_t id)
    {
        SavedItem& saved = store_.saved[id];
        saved.length = 0;
        if (ReadCalibrationItem(connection_, id, saved.data.data(), kSavedItemSize,
                                &saved.length)) {
            TraceLineF(connection_.trace, 5,
                       "(TEST) Successfully read calibration item %d, %d bytes", id, saved.length);
            return true;
        }
        saved.length = 0;
        if (connection_.lastError() == kRpcBadReference) {
            TraceLineF(connection_.trace, 5, "(TEST) No calibration item %d found", id);
            return true;
        }
        trace_.fails(4, "WReadNVRAMCalibrationItem", connection_.lastError());
        return false;
    }

    bool writeBack(uint8_t id)
    {
        const SavedItem& saved = store_.saved[id];
        // An item that could not be read has nothing to give back; writing
        // it empty would leave an item where the module had none.
        if (saved.length == 0)
            return true;
        if (!WriteCalibrationItem(connection_, id, saved.data.data(), saved.length)) {
            trace_.fails(4, "WWriteNVRAMCalibrationItem", connection_.lastError());
            return false;
        }
        TraceLineF(connection_.trace, 5, "(CFC) Successfully re-written calibration item %d", id);
        return true;
    }

    // Item 18 goes only where it was measured and the firmware knows it.
    bool autoCalibrationWanted(bool& wanted)
    {
        const std::span<const uint8_t> offsets = store_.item(kAutoCalIqOffsetsItem);
        wanted = false;
        if (plat::getLe16(offsets, 0) == kInvalidIqOffset ||
            plat::getLe16(offsets, 2) == kInvalidIqOffset)
            return true;
        trace_.step(5, "calling CFCRPCL1ALNVRAMCheckCal for CfcTxDcAutocalibrationIqOffsets");
        uint8_t state = 0;
        if (const uint16_t error =
                CFCRPCL1ALNvRamCheckCal(connection_, kAutoCalIqOffsetsItem, &state)) {
            connection_.storeError(error);
            trace_.fails(4, "CFCRPCL1ALNVRAMCheckCal", error);
            return false;
        }
        if (state == kUnknownToFirmware) {
            trace_.step(5, "CfcTxDcAutocalibrationIqOffsets not known to firmware -> don't save, "
                           "continue");
            return true;
        }
        wanted = true;
        return true;
    }

    bool writeStored(uint8_t id)
    {
        if (id == kAutoCalIqOffsetsItem) {
            bool wanted = false;
            if (!autoCalibrationWanted(wanted))
                return false;
            if (!wanted)
                return true;
        }
        trace_.step(6, "call WWriteNVRAMCalibrationItem()...");
        const std::span<const uint8_t> item = store_.item(id);
        if (WriteCalibrationItem(connection_, id, item.data(), static_cast<uint16_t>(item.size())))
            return true;
        trace_.step(4, "WWriteNVRAMCalibrationItem(%d) fails with error %d", id,
                    connection_.lastError());
        return false;
    }

    Connection& connection_;
    CalibrationStore& store_;
    const OpTrace trace_;
    const ItemSet stored_;
};

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WWriteAllStoredValuesToModuleNVRAM(uint32_t handle, uint8_t resetFlag)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) {
        return WriteAll(connection).run(resetFlag);
    });
}

} // extern "C"
