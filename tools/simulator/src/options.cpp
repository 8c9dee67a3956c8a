#include "sim/options.h"

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
