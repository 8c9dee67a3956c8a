#include "setupapi_binding.h"

#include "plat/dynlib.h"

#include <climits>
#include <cstring>
#include <mutex>

namespace zantal {

namespace {

// Every name a complete library has, in the order they are looked up. All
// are required except SetupDiSetDeviceInstallParamsA; the ones ZANTAL calls
// name their slot in SetupApi.
struct Name {
    const char* name;
    size_t slot; // offset in SetupApi, or kUnused
    bool required;
};

constexpr size_t kUnused = SIZE_MAX;
#define CALLED(name, member)                                                                       \
    {                                                                                              \
        name, offsetof(SetupApi, member), true                                                     \
    }
#define LISTED(name)                                                                               \
    {                                                                                              \
        name, kUnused, true                                                                        \
    }
constexpr Name kNames[] = {
    CALLED("SetupDiEnumDeviceInfo", EnumDeviceInfo),
    LISTED("SetupOpenMasterInf"),
    LISTED("SetupPromptForDiskA"),
    LISTED("SetupDiSetDeviceRegistryPropertyA"),
    LISTED("SetupDiGetDeviceInstanceIdA"),
    LISTED("SetupDiInstallClassA"),
    LISTED("SetupDiGetINFClassA"),
    CALLED("SetupDiGetClassDevsA", GetClassDevs),
    LISTED("SetupDiGetSelectedDriverA"),
    CALLED("SetupDiCreateDeviceInfoA", CreateDeviceInfo),
    CALLED("SetupDiRegisterDeviceInfo", RegisterDeviceInfo),
    LISTED("SetupDiOpenDeviceInfoA"),
    CALLED("SetupDiCallClassInstaller", CallClassInstaller),
    LISTED("SetupDiGetDeviceInstallParamsA"),
    {"SetupDiSetDeviceInstallParamsA", kUnused, false},
    LISTED("SetupPromptReboot"),
    CALLED("SetupDiDestroyDeviceInfoList", DestroyDeviceInfoList),
    LISTED("SetupInstallFromInfSectionA"),
    CALLED("SetupOpenInfFileA", OpenInfFile),
    CALLED("SetupFindFirstLineA", FindFirstLine),
    LISTED("SetupGetLineTextA"),
    LISTED("SetupFindNextMatchLineA"),
    CALLED("SetupCloseInfFile", CloseInfFile),
    CALLED("SetupDiGetDeviceRegistryPropertyA", GetDeviceRegistryProperty),
    CALLED("SetupGetLineCountA", GetLineCount),
    CALLED("SetupGetLineByIndexA", GetLineByIndex),
    CALLED("SetupGetStringFieldA", GetStringField),
    CALLED("SetupDiBuildDriverInfoList", BuildDriverInfoList),
    LISTED("SetupDiEnumDriverInfoW"),
    LISTED("SetupDiGetDriverInfoDetailW"),
    LISTED("SetupDiSetSelectedDriverW"),
    LISTED("SetupDiCreateDevRegKeyA"),
    LISTED("SetupDiSetDeviceRegistryPropertyW"),
    LISTED("SetupGetMultiSzFieldA"),
    LISTED("SetupDefaultQueueCallbackA"),
    LISTED("SetupInitDefaultQueueCallback"),
    CALLED("SetupDiOpenDevRegKey", OpenDevRegKey),
    CALLED("SetupDiSetSelectedDriverA", SetSelectedDriver),
    LISTED("SetupSetDirectoryIdA"),
    CALLED("SetupDiClassGuidsFromNameA", ClassGuidsFromName),
    LISTED("SetupDiGetClassInstallParamsA"),
    CALLED("SetupDiSetClassInstallParamsA", SetClassInstallParams),
    CALLED("SetupDiChangeState", ChangeState),
};
#undef CALLED
#undef LISTED
static_assert(std::size(kNames) == 43);

// Process-wide, as the design has it. The first binding may come from two
// threads at once, so it is made under a lock; the counter saturates instead
// of overflowing after 2^31 calls.
std::mutex g_mutex;
int32_t g_bindings = 0;
// Never destroyed, so a bound library stays loaded also while the process
// ends or ZANTAL is unloaded: its addresses may still be in use.
plat::DynLib& g_library = *new plat::DynLib;
void* g_addresses[std::size(kNames)];
SetupApi g_api;

} // namespace

const SetupApi* bindSetupApi()
{
    std::lock_guard lock(g_mutex);
    if (g_bindings > 0) {
        if (g_bindings < INT32_MAX)
            ++g_bindings;
        return &g_api;
    }
    ++g_bindings;
    if (!g_library.open("setupapi.dll")) {
        --g_bindings;
        return nullptr;
    }
    bool complete = true;
    for (size_t i = 0; i < std::size(kNames); ++i) {
        g_addresses[i] = g_library.symbol(kNames[i].name);
        if (!g_addresses[i] && kNames[i].required)
            complete = false;
    }
    if (!complete) {
        --g_bindings;
        g_library.close();
        return nullptr;
    }
    for (size_t i = 0; i < std::size(kNames); ++i)
        if (kNames[i].slot != kUnused)
            std::memcpy(reinterpret_cast<char*>(&g_api) + kNames[i].slot, &g_addresses[i],
                        sizeof(void*));
    return &g_api;
}

} // namespace zantal
