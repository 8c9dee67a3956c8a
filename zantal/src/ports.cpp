// The port lists: the serial-port map's COM ports, with or without the USB
// ones, less virtual modem ports and the ports of the maker's own driver.
#include "zantal.h"

#include "text.h"
#include "win/escape.h"
#include "win/guarded.h"
#include "win/registry.h"

#include <string>

namespace {

using namespace win;

constexpr DWORD kWorkBuffer = 260;
constexpr const char* kSerialMap = "Hardware\\DeviceMap\\SerialComm";
constexpr const char* kMakerDriverPorts = "System\\CurrentControlSet\\Services\\OrvlCom\\Settings";

bool providedByMakerDriver(std::string_view port)
{
    HKEY settings = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMakerDriverPorts, 0, KEY_READ, &settings) !=
        ERROR_SUCCESS)
        return false;
    bool found = false;
    char name[kWorkBuffer];
    for (DWORD i = 0; !found; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(settings, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        found = equalsIgnoreCase(std::string_view(name, length), port);
    }
    RegCloseKey(settings);
    return found;
}

bool listed(std::string_view deviceName, std::string_view port, bool usb)
{
    // A comma in the data would split one entry into two names.
    if (!startsWithIgnoreCase(port, "COM") || port.find(',') != std::string_view::npos)
        return false;
    if (startsWithIgnoreCase(deviceName, "VMDMD"))
        return false;
    if ((toUpper(deviceName).find("USB") != std::string::npos) != usb)
        return false;
    return !providedByMakerDriver(port);
}

void findPorts(char* buffer, uint32_t bufferSize, int32_t* count, bool usb)
{
    if (!count)
        return;
    *count = 0;
    if (!buffer || bufferSize == 0)
        return;
    buffer[0] = '\0';

    HKEY map = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialMap, 0, KEY_READ, &map) != ERROR_SUCCESS)
        return;
    size_t length = 0;
    char name[kWorkBuffer];
    char data[kWorkBuffer];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = sizeof name;
        DWORD dataSize = sizeof data;
        LONG rc = RegEnumValueA(map, i, name, &nameLength, nullptr, nullptr,
                                reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_MORE_DATA)
            continue; // one oversized entry hides no others
        if (rc != ERROR_SUCCESS)
            break;
        // The value's type is not tested: read its data up to a zero or its end.
        const std::string_view port(data, strnlen(data, dataSize));
        if (!listed(std::string_view(name, nameLength), port, usb))
            continue;
        if (bufferSize < port.size() + length + 2)
            continue; // does not fit: skipped
        if (*count != 0)
            buffer[length++] = ',';
        std::memcpy(buffer + length, port.data(), port.size());
        length += port.size();
        buffer[length] = '\0';
        ++*count;
    }
    RegCloseKey(map);
}

} // namespace

extern "C" void ZANTAL_FindAllHardwarePorts(char* buffer, uint32_t bufferSize, int32_t* count)
{
    guardedVoid([&] { findPorts(buffer, bufferSize, count, false); });
}

extern "C" void ZANTAL_FindAllHardwareUSBPorts(char* buffer, uint32_t bufferSize, int32_t* count)
{
    guardedVoid([&] { findPorts(buffer, bufferSize, count, true); });
}
