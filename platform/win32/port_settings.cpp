// Port settings in the registry key KVX_Library under the current hardware
// profile, where production tools on the same PC have always found them.
#include "plat/port_settings.h"

#include <windows.h>

namespace plat {

namespace {

constexpr const char* kKey = "KVX_Library";

} // namespace

bool writePortSettings(uint8_t port, uint32_t baudRate)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    char keyClass[] = "KVX_Library";
    if (RegCreateKeyExA(HKEY_CURRENT_CONFIG, kKey, 0, keyClass, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return false;
    const DWORD speed = baudRate;
    // The two writes are not judged: the key exists, which is what callers
    // have been told success means.
    RegSetValueExA(key, "Baudrate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&speed),
                   sizeof speed);
    RegSetValueExA(key, "ComPort", 0, REG_BINARY, &port, sizeof port);
    RegCloseKey(key);
    return true;
}

bool readPortSettings(uint8_t* port)
{
    HKEY key = nullptr;
    if (port == nullptr ||
        RegOpenKeyExA(HKEY_CURRENT_CONFIG, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    BYTE value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG read = RegQueryValueExA(key, "ComPort", nullptr, &type, &value, &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_BINARY || size != sizeof value)
        return false;
    *port = value;
    return true;
}

} // namespace plat
