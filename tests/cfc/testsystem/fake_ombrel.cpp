// The test system's trace sink.
#include "fake_log.h"

#include <cstdint>

extern "C" int ombrel_daskin(uint32_t testCaseHandle, const char* text)
{
    fakeLog("daskin 0x%x %s", testCaseHandle, text);
    return 0;
}
