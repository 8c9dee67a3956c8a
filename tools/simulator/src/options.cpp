#include "sim/options.h"

#include <utility>

namespace sim {

const char* modeName(Mode mode)
{
    switch (mode) {
    case Mode::Off: return "off";
    case Mode::At: return "AT";
    case Mode::Emmi: return "EMMI";
    case Mode::Bootloader: return "bootloader";
    }
    return "?";
}

bool isOperationMode(uint8_t value)
{
    return value == 0 || value == 1 || value == 2 || value == 4;
}

std::map<uint16_t, std::vector<uint8_t>> factoryCalibrationItems()
{
    constexpr std::pair<uint16_t, size_t> kSizes[] = {
        {0, 208}, {1, 208}, {2, 14}, {3, 256}, {4, 256}, {5, 16}, {6, 16}, {7, 16}, {18, 4}};
    std::map<uint16_t, std::vector<uint8_t>> items;
    for (const auto& [id, size] : kSizes) {
        std::vector<uint8_t>& data = items[id];
        for (size_t i = 0; i < size; ++i)
            data.push_back(static_cast<uint8_t>(id * 37 + i * 11 + (i >> 4)));
    }
    return items;
}

bool FaultPlan::take()
{
    if (count == 0)
        return false;
    if (skip > 0) {
        --skip;
        return false;
    }
    if (count != kEveryTime)
        --count;
    return true;
}

} // namespace sim
