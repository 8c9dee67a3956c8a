// Removing present modems, by hardware ID or by friendly name, and releasing
// the shared response key a removed modem used.
#include "zantal.h"

#include "present_modems.h"
#include "text.h"
#include "win/escape.h"
#include "win/guarded.h"
#include "win/registry.h"

#include "plat/byte_order.h"

#include <string>

namespace {

using namespace win;

constexpr size_t kMaxIdList = 519;
constexpr DWORD kIdBuffer = 520;
constexpr const char* kResponses =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";
constexpr REGSAM kResponsesAccess = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
// Deeper than any key the system makes; a bound keeps the recursion finite.
constexpr int kMaxTreeDepth = 64;

bool deleteKeyTree(HKEY parent, const char* name, int depth)
{
    if (depth > kMaxTreeDepth)
        return false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    char child[256];
    for (;;) {
        DWORD length = sizeof child;
        if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        // A subkey that will not go would come back first every time.
        if (!deleteKeyTree(key, child, depth + 1)) {
            RegCloseKey(key);
            return false;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

// The response key counts the modems that use it; the last one out deletes it.
void releaseResponseKey(const std::string& name)
{
    // The name picks one subkey; an empty one or a path would reach others.
    if (name.empty() || name.find('\\') != std::string::npos)
        return;
    const std::string path = std::string(kResponses) + "\\" + name;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, kResponsesAccess, &key) != ERROR_SUCCESS)
        return;
    BYTE count[4];
    DWORD size = sizeof count;
    if (RegQueryValueExA(key, "RefCount", nullptr, nullptr, count, &size) != ERROR_SUCCESS ||
        size != sizeof count) {
        RegCloseKey(key);
        return;
    }
    const uint32_t remaining = plat::getLe32(count, 0) - 1;
    if (remaining != 0) {
        plat::putLe32(count, 0, remaining);
        RegSetValueExA(key, "RefCount", 0, REG_DWORD, count, sizeof count);
        RegCloseKey(key);
        return;
    }
    RegCloseKey(key);
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kResponses, 0, kResponsesAccess, &parent) !=
        ERROR_SUCCESS)
        return;
    deleteKeyTree(parent, name.c_str(), 0);
    RegCloseKey(parent);
}

bool removeDevice(const zantal::SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device)
{
    // The count of the shared key and the device go in one step of the
    // store, so that an installation beside us never sees one without the
    // other nor loses its own count.
    RegTransaction writing(true);
    if (writing.status() != ERROR_SUCCESS)
        return false;
    HKEY driverKey = api.OpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (driverKey != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) {
        char name[zantal::kNameBuffer];
        DWORD size = sizeof name;
        std::optional<std::string_view> responses;
        if (RegQueryValueExA(driverKey, "ResponsesKeyName", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS)
            responses = zantal::filledString(name, size);
        if (responses)
            releaseResponseKey(std::string(*responses));
        RegCloseKey(driverKey);
    }
    const bool removed = api.CallClassInstaller(DIF_REMOVE, set, &device);
    return writing.commit() == ERROR_SUCCESS && removed;
}

bool removeById(const zantal::SetupApi& api, const zantal::PresentModems& modems,
                std::string_view id)
{
    SP_DEVINFO_DATA device;
    for (DWORD i = 0; modems.device(i, device); ++i) {
        auto hardwareId = modems.stringProperty(device, SPDRP_HARDWAREID, kIdBuffer);
        if (hardwareId && equalsIgnoreCase(*hardwareId, id))
            return removeDevice(api, modems.set(), device);
    }
    return true; // nothing of that ID present: nothing to fail
}

int32_t deinstallById(const char* idList)
{
    auto ids = zantal::boundedString(idList, kMaxIdList);
    if (!ids)
        return 0;
    const zantal::SetupApi* api = zantal::bindSetupApi();
    if (!api)
        return 0;
    zantal::PresentModems modems(*api);
    if (!modems.valid())
        return 0;
    bool all = true;
    size_t pos = 0;
    for (;;) {
        size_t comma = ids->find(',', pos);
        std::string_view piece = ids->substr(
            pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        all = removeById(*api, modems, piece) && all;
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    return all ? 1 : 0;
}

int32_t deinstallByFriendlyName(const char* friendlyName)
{
    auto name = zantal::boundedString(friendlyName, zantal::kNameBuffer - 1);
    if (!name)
        return 0;
    const zantal::SetupApi* api = zantal::bindSetupApi();
    if (!api)
        return 0;
    zantal::PresentModems modems(*api);
    auto device = modems.findByFriendlyName(*name);
    if (!device)
        return 0;
    removeDevice(*api, modems.set(), *device); // its outcome does not change the answer
    return 1;
}

} // namespace

extern "C" int32_t ZANTAL_DeinstallModemByID(const char* hardwareIds)
{
    return guarded([&] { return deinstallById(hardwareIds); }, int32_t{0});
}

extern "C" int32_t ZANTAL_DeinstallModemByFriendlyName(const char* friendlyName)
{
    return guarded([&] { return deinstallByFriendlyName(friendlyName); }, int32_t{0});
}
