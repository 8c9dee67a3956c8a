#include "cfc_open_failure.h"

#include "cfc.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace cfc {

namespace {

std::mutex g_lock;
OpenFailure g_last;

void copyText(const std::string& text, char* target, uint32_t size)
{
    if (target == nullptr || size == 0)
        return;
    const size_t count = std::min<size_t>(text.size(), size - 1);
    std::memcpy(target, text.data(), count);
    target[count] = '\0';
}

} // namespace

void RecordOpenFailure(const OpenFailure& failure)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_last = failure;
}

} // namespace cfc

extern "C" int32_t WGetLastOpenFailure(int32_t* portNum, int32_t* systemError, char* devicePath,
                                       uint32_t devicePathSize, char* reason, uint32_t reasonSize)
{
    std::lock_guard<std::mutex> hold(cfc::g_lock);
    const cfc::OpenFailure& last = cfc::g_last;
    if (portNum != nullptr)
        *portNum = last.portNum;
    if (systemError != nullptr)
        *systemError = last.systemError;
    cfc::copyText(last.devicePath, devicePath, devicePathSize);
    cfc::copyText(last.reason, reason, reasonSize);
    return last.kind;
}
