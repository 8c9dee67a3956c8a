// Dial-up entries of the default phone book for an installed modem.
#include "zantal.h"

#include "text.h"
#include "win/guarded.h"
#include "win/rasapi.h"
#include "win/version.h"

#include <cstring>
#include <memory>

namespace {

using namespace win;

constexpr size_t kDeviceNameBuffer = RAS_MaxDeviceName + 1;
// Windows 2000 is given the entry size it was first written for.
constexpr DWORD kWindows2000EntrySize = 1768;

enum class System { Other, Nt4, Windows2000, Version51 };

System systemClass()
{
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    auto* basic = reinterpret_cast<OSVERSIONINFOA*>(&info);
    if (!GetVersionExA(basic)) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(basic))
            return System::Other;
    }
    if (info.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return System::Other;
    if (info.dwMajorVersion <= 4)
        return System::Nt4;
    if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0)
        return System::Windows2000;
    if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1)
        return System::Version51;
    return System::Other;
}

DWORD declaredEntrySize()
{
    return systemClass() == System::Windows2000 ? kWindows2000EntrySize
                                                : static_cast<DWORD>(sizeof(RasEntryRecord));
}

// The record is large; it lives on the heap, zeroed in full.
std::unique_ptr<RasEntryRecord> newEntry()
{
    auto entry = std::make_unique<RasEntryRecord>();
    std::memset(entry.get(), 0, sizeof(RasEntryRecord));
    entry->dwSize = declaredEntrySize();
    return entry;
}

// Caller text cut to the field's room, as the record holds it.
template <size_t N>
void setText(char (&field)[N], const char* text)
{
    std::strncpy(field, text, N - 1);
    field[N - 1] = '\0';
}

int32_t addRasEntry(const char* entryName, const char* deviceName, const char* phoneNumber)
{
    if (!entryName || !deviceName || !phoneNumber)
        return 0;
    auto entry = newEntry();
    entry->dwfOptions = RASEO_IpHeaderCompression | RASEO_ModemLights | RASEO_SwCompression |
                        RASEO_ShowDialingProgress;
    setText(entry->szLocalPhoneNumber, phoneNumber);
    entry->dwfNetProtocols = RASNP_Ip;
    entry->dwFramingProtocol = RASFP_Ppp;
    setText(entry->szDeviceType, "modem");
    setText(entry->szDeviceName, deviceName);
    entry->dwSubEntries = 1;
    entry->dwType = RASET_Phone;
    entry->dwEncryptionType = ET_Optional;
    entry->dwfOptions2 = RASEO2_SecureFileAndPrint;
    entry->dwRedialPause = 1;
    return RasSetEntryPropertiesA(nullptr, entryName, systemRecord(entry.get()), entry->dwSize,
                                  nullptr, 0) == 0
               ? 1
               : 0;
}

int32_t getRasDevice(const char* entryName, char* deviceName)
{
    if (!entryName || !deviceName)
        return 0;
    auto entry = newEntry();
    DWORD size = entry->dwSize;
    if (RasGetEntryPropertiesA(nullptr, entryName, systemRecord(entry.get()), &size, nullptr,
                               nullptr) != 0)
        return 0;
    const std::string_view device(entry->szDeviceName,
                                  strnlen(entry->szDeviceName, RAS_MaxDeviceName));
    return zantal::copyFitting(deviceName, kDeviceNameBuffer, device) ? 1 : 0;
}

} // namespace

extern "C" int32_t ZANTAL_AddRasEntry(const char* entryName, const char* deviceName,
                                      const char* phoneNumber)
{
    return guarded([&] { return addRasEntry(entryName, deviceName, phoneNumber); }, int32_t{0});
}

extern "C" int32_t ZANTAL_GetRasDevice(const char* entryName, char* deviceName)
{
    return guarded([&] { return getRasDevice(entryName, deviceName); }, int32_t{0});
}

extern "C" int32_t ZANTAL_DeleteRasEntry(const char* entryName)
{
    return guarded([&] { return entryName && RasDeleteEntryA(nullptr, entryName) == 0 ? 1 : 0; },
                   int32_t{0});
}
