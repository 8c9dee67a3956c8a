#include "fake_cfc.h"

#include "cfc.h"

namespace fakecfc {
namespace {
std::FILE* callLog = nullptr;
FailAt failing = FailAt::Nothing;
} // namespace

void reset(std::FILE* log, FailAt failAt)
{
    callLog = log;
    failing = failAt;
}

} // namespace fakecfc

using fakecfc::callLog;
using fakecfc::failing;
using fakecfc::FailAt;

extern "C" {

uint32_t WComOpen(int32_t portNum, int32_t baudRate, uint32_t tHandle)
{
    std::fprintf(callLog, "<WComOpen %d %d %u>\n", portNum, baudRate, tHandle);
    return fakecfc::handle;
}

int32_t WInitServiceMode(uint32_t handle)
{
    std::fprintf(callLog, "<WInitServiceMode %#x>\n", handle);
    return failing != FailAt::ServiceMode;
}

int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on)
{
    std::fprintf(callLog, "<WSwitchJavaAutoStart %#x %u>\n", handle, on);
    return failing != FailAt::AutoStart;
}

int32_t WSwitchOff(uint32_t handle)
{
    std::fprintf(callLog, "<WSwitchOff %#x>\n", handle);
    return failing != FailAt::SwitchOff;
}

int32_t WComClose(uint32_t handle)
{
    std::fprintf(callLog, "<WComClose %#x>\n", handle);
    // The front end must not care what closing returns.
    return 0;
}

} // extern "C"
