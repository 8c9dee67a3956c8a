// What an installed modem's driver key says of it, found by friendly name:
// the port it is attached to and its maximum port speed.
#include "zantal.h"

#include "present_modems.h"
#include "text.h"
#include "win/guarded.h"
#include "win/registry.h"

#include "plat/byte_order.h"

#include <cstdio>

namespace {

using namespace win;

constexpr size_t kSpeedBuffer = 12;

// Opens the driver key of the modem with that friendly name and hands it to
// `read`, which fills the output; 0 when any step fails.
template <class Read>
int32_t withDriverKey(const char* friendlyName, Read&& read)
{
    auto name = zantal::boundedString(friendlyName, zantal::kNameBuffer - 1);
    const zantal::SetupApi* api = zantal::bindSetupApi();
    if (!api || !name)
        return 0;
    zantal::PresentModems modems(*api);
    auto device = modems.findByFriendlyName(*name);
    if (!device)
        return 0;
    HKEY key =
        api->OpenDevRegKey(modems.set(), &*device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_ALL_ACCESS);
    if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE))
        return 0;
    const bool found = read(key);
    RegCloseKey(key);
    return found ? 1 : 0;
}

} // namespace

extern "C" int32_t ZANTAL_GetAttachedToByFriendlyName(const char* friendlyName, char* attachedTo)
{
    if (!attachedTo)
        return 0;
    return guarded(
        [&] {
            return withDriverKey(friendlyName, [&](HKEY key) {
                char value[zantal::kNameBuffer];
                DWORD size = sizeof value;
                auto text = RegQueryValueExA(key, "AttachedTo", nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS
                                ? zantal::filledString(value, size)
                                : std::nullopt;
                if (!text) {
                    attachedTo[0] = '\0';
                    return false;
                }
                return zantal::copyFitting(attachedTo, zantal::kNameBuffer, *text);
            });
        },
        int32_t{0});
}

extern "C" int32_t ZANTAL_GetMaximumPortSpeedByFriendlyName(const char* friendlyName, char* speed)
{
    if (!speed)
        return 0;
    return guarded(
        [&] {
            return withDriverKey(friendlyName, [&](HKEY key) {
                BYTE value[4];
                DWORD size = sizeof value;
                if (RegQueryValueExA(key, "MaximumPortSpeed", nullptr, nullptr, value, &size) !=
                        ERROR_SUCCESS ||
                    size != sizeof value) {
                    speed[0] = '\0';
                    return false;
                }
                const auto number = static_cast<int32_t>(plat::getLe32(value, 0));
                std::snprintf(speed, kSpeedBuffer, "%d", number);
                return true;
            });
        },
        int32_t{0});
}
