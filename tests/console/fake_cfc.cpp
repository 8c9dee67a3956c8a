#include "fake_cfc.h"

#include "cfc.h"

#include <algorithm>
#include <cstring>

namespace fakecfc {
namespace {
std::FILE* callLog = nullptr;
FailAt failing = FailAt::Nothing;
Refusal refused;
std::int32_t openedPort = 0;

void copyText(const std::string& text, char* target, uint32_t size)
{
    const size_t count = std::min<size_t>(text.size(), size - 1);
    std::memcpy(target, text.data(), count);
    target[count] = '\0';
}
} // namespace

void reset(std::FILE* log, FailAt failAt, Refusal refusal)
{
    callLog = log;
    failing = failAt;
    refused = std::move(refusal);
}

} // namespace fakecfc

using namespace fakecfc;

extern "C" {

uint32_t WComOpen(int32_t portNum, int32_t baudRate, uint32_t tHandle)
{
    std::fprintf(callLog, "<WComOpen %d %d %u>\n", portNum, baudRate, tHandle);
    openedPort = portNum;
    return failing == FailAt::Open ? 0 : fakecfc::handle;
}

int32_t WGetLastOpenFailure(int32_t* portNum, int32_t* systemError, char* devicePath,
                            uint32_t devicePathSize, char* reason, uint32_t reasonSize)
{
    *portNum = openedPort;
    *systemError = refused.systemError;
    copyText(refused.devicePath, devicePath, devicePathSize);
    copyText(refused.reason, reason, reasonSize);
    return refused.kind;
}

uint32_t WGetLastErrorText(uint32_t handle, char* text, uint32_t size)
{
    copyText(handle == fakecfc::handle ? "the module gave no answer" : "", text, size);
    return static_cast<uint32_t>(std::strlen(text));
}

uint16_t WGetLastError(uint32_t handle)
{
    return handle == fakecfc::handle ? fakecfc::lastError : EMMIERR_BAD_HANDLE;
}

int32_t WInitServiceMode(uint32_t handle)
{
    std::fprintf(callLog, "<WInitServiceMode %#x>\n", handle);
    return handle == fakecfc::handle && failing != FailAt::ServiceMode;
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

// vornax registers it only when standard error is a terminal, which the
// tests' memory streams are not.
void WSetWaitHook(CfcWaitHook, void*) {}

int32_t WComClose(uint32_t handle)
{
    std::fprintf(callLog, "<WComClose %#x>\n", handle);
    // The front end must not care what closing returns.
    return 0;
}

} // extern "C"
