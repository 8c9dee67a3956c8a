// The test case's parameters: selector 1 from FAKE_TS_OPERATION, selector 2
// from FAKE_TS_NOTE; an unset variable is a parameter the test case lacks.
#include "fake_log.h"

#include <cstdint>
#include <cstring>

extern "C" int32_t zarnog_lupen(int32_t source, int32_t parameter, int32_t selector, char* text)
{
    fakeLog("lupen source=%d parameter=%d selector=%d", source, parameter, selector);
    const char* value = std::getenv(selector == 1 ? "FAKE_TS_OPERATION" : "FAKE_TS_NOTE");
    if (value == nullptr)
        return 1;
    std::strncpy(text, value, 127);
    text[127] = '\0';
    return 0;
}
