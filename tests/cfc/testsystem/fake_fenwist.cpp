// Where the test system takes a test case's result.
#include "fake_log.h"

#include <cstdint>

extern "C" int fenwist_korbel(int32_t value2, int32_t value1, int32_t device, int32_t parameter,
                              int32_t index, double* results, int32_t* status, void* /*work*/)
{
    if (index >= 0 && index < 7)
        fakeLog("korbel value2=%d value1=%d device=%d parameter=%d index=%d result=%.1f", value2,
                value1, device, parameter, index, results[index]);
    else
        fakeLog("korbel value2=%d value1=%d device=%d parameter=%d index=%d", value2, value1,
                device, parameter, index);
    *status = 0x5A;
    return 0;
}
