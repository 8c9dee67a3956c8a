#include "items.h"

#include "cfc.h"

#include <cstdio>

namespace cfctool {

namespace {

std::string itemName(bool qv, uint16_t id)
{
    return std::string(qv ? "QV calibration item " : "calibration item ") + std::to_string(id);
}

} // namespace

bool calibrationItemPresent(const Module& module, bool qv, uint16_t id)
{
    uint8_t present = 0;
    const int32_t result =
        qv ? WCheckNVRAMQVCalibrationItem(module.handle(), id, &present)
           : WCheckNVRAMCalibrationItem(module.handle(), static_cast<uint8_t>(id), &present);
    module.require(result, "cannot check " + itemName(qv, id));
    return present != 0;
}

CalibrationItem readCalibrationItem(const Module& module, bool qv, uint16_t id)
{
    CalibrationItem item{id, std::vector<uint8_t>(kMaxItemRead), std::nullopt};
    uint16_t length = 0;
    int32_t result = 0;
    if (qv) {
        uint8_t version = 0;
        result = WReadNVRAMQVCalibrationItemVer(module.handle(), id, item.data.data(), kMaxItemRead,
                                                &length, &version);
        item.version = version;
    } else {
        result = WReadNVRAMCalibrationItem(module.handle(), static_cast<uint8_t>(id),
                                           item.data.data(), kMaxItemRead, &length);
    }
    module.require(result, "cannot read " + itemName(qv, id));
    item.data.resize(std::min<uint16_t>(length, kMaxItemRead));
    if (length >= kMaxItemRead)
        std::fprintf(stderr,
                     "cfctool: warning: %s fills the whole read of %u bytes and may be "
                     "longer\n",
                     itemName(qv, id).c_str(), kMaxItemRead);
    return item;
}

void writeCalibrationItem(const Module& module, bool qv, const CalibrationItem& item)
{
    const auto size = static_cast<uint16_t>(item.data.size());
    int32_t result = 0;
    if (qv)
        result = WWriteNVRAMQVCalibrationItemVer(module.handle(), item.id, item.data.data(), size,
                                                 item.version.value_or(0));
    else
        result = WWriteNVRAMCalibrationItem(module.handle(), static_cast<uint8_t>(item.id),
                                            item.data.data(), size);
    module.require(result, "cannot write " + itemName(qv, item.id));
}

} // namespace cfctool
