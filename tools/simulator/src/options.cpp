#include "sim/options.h"

namespace sim {

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
