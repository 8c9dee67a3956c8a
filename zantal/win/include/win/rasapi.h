// Remote access phone book: on Windows the system's calls; on Linux the
// default phone book is the file "rasphone.pbk" under the store root
// (store.h): one section per entry, holding the fields of the entry record
// that lie within the record's declared size. Entry names compare without
// regard to case.
#pragma once

#include "win/types.h"

#include <cstddef>

#ifdef _WIN32
#include <ras.h>
#else
namespace win {

inline constexpr size_t RAS_MaxEntryName = 256;
inline constexpr size_t RAS_MaxDeviceType = 16;
inline constexpr size_t RAS_MaxDeviceName = 128;
inline constexpr size_t RAS_MaxPhoneNumber = 128;
inline constexpr size_t RAS_MaxAreaCode = 10;
inline constexpr size_t RAS_MaxPadType = 32;
inline constexpr size_t RAS_MaxX25Address = 200;
inline constexpr size_t RAS_MaxFacilities = 200;
inline constexpr size_t RAS_MaxUserData = 200;
inline constexpr size_t RAS_MaxDnsSuffix = 256;
inline constexpr size_t MAX_PATH = 260;

} // namespace win
#endif

namespace win {

struct RasIpAddress {
    BYTE a, b, c, d;
};

// The entry record in its full (2884-byte) form, laid out here rather than
// taken from the system's headers, whose record grows with the version they
// are built for. Older callers declare a shorter size in dwSize; only the
// fields inside it are read or written.
struct RasEntryRecord {
    DWORD dwSize;
    DWORD dwfOptions;
    DWORD dwCountryID;
    DWORD dwCountryCode;
    char szAreaCode[RAS_MaxAreaCode + 1];
    char szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    DWORD dwAlternateOffset;
    RasIpAddress ipaddr;
    RasIpAddress ipaddrDns;
    RasIpAddress ipaddrDnsAlt;
    RasIpAddress ipaddrWins;
    RasIpAddress ipaddrWinsAlt;
    DWORD dwFrameSize;
    DWORD dwfNetProtocols;
    DWORD dwFramingProtocol;
    char szScript[MAX_PATH];
    char szAutodialDll[MAX_PATH];
    char szAutodialFunc[MAX_PATH];
    char szDeviceType[RAS_MaxDeviceType + 1];
    char szDeviceName[RAS_MaxDeviceName + 1];
    char szX25PadType[RAS_MaxPadType + 1];
    char szX25Address[RAS_MaxX25Address + 1];
    char szX25Facilities[RAS_MaxFacilities + 1];
    char szX25UserData[RAS_MaxUserData + 1];
    DWORD dwChannels;
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwSubEntries;
    DWORD dwDialMode;
    DWORD dwDialExtraPercent;
    DWORD dwDialExtraSampleSeconds;
    DWORD dwHangUpExtraPercent;
    DWORD dwHangUpExtraSampleSeconds;
    DWORD dwIdleDisconnectSeconds;
    DWORD dwType;
    DWORD dwEncryptionType;
    DWORD dwCustomAuthKey;
    GUID guidId;
    char szCustomDialDll[MAX_PATH];
    DWORD dwVpnStrategy;
    DWORD dwfOptions2;
    DWORD dwfOptions3;
    char szDnsSuffix[RAS_MaxDnsSuffix];
    DWORD dwTcpWindowSize;
    char szPrerequisitePbk[MAX_PATH];
    char szPrerequisiteEntry[RAS_MaxEntryName + 1];
    DWORD dwRedialCount;
    DWORD dwRedialPause;
};

static_assert(offsetof(RasEntryRecord, szDeviceName) == 989);
static_assert(offsetof(RasEntryRecord, dwSubEntries) == 1768);
static_assert(offsetof(RasEntryRecord, dwfOptions2) == 2088);
static_assert(sizeof(RasEntryRecord) == 2884);

// The declared sizes the phone book accepts: the first-generation record
// (up to dwReserved2), the second (up to dwVpnStrategy) and the full one.
inline constexpr DWORD kRasEntrySizeV1 = offsetof(RasEntryRecord, dwSubEntries);
inline constexpr DWORD kRasEntrySizeV2 = offsetof(RasEntryRecord, dwfOptions2);
inline constexpr DWORD kRasEntrySizeFull = sizeof(RasEntryRecord);

#ifdef _WIN32

using ::RasDeleteEntryA;
using ::RasGetEntryPropertiesA;
using ::RasSetEntryPropertiesA;

// Our record, as the system's calls take it.
inline LPRASENTRYA systemRecord(RasEntryRecord* record)
{
    return reinterpret_cast<LPRASENTRYA>(record);
}

#else

using RASENTRYA = RasEntryRecord;

inline RASENTRYA* systemRecord(RasEntryRecord* record)
{
    return record;
}

inline constexpr DWORD RASEO_SwCompression = 0x00000200;
inline constexpr DWORD RASEO_IpHeaderCompression = 0x00000008;
inline constexpr DWORD RASEO_ModemLights = 0x00000100;
inline constexpr DWORD RASEO_ShowDialingProgress = 0x04000000;
inline constexpr DWORD RASEO2_SecureFileAndPrint = 0x00000001;
inline constexpr DWORD RASNP_Ip = 0x00000004;
inline constexpr DWORD RASFP_Ppp = 0x00000001;
inline constexpr DWORD RASET_Phone = 1;
inline constexpr DWORD ET_Optional = 3;

// Remote access results (0 is success).
inline constexpr DWORD ERROR_BUFFER_TOO_SMALL = 603;
inline constexpr DWORD ERROR_CANNOT_OPEN_PHONEBOOK = 621;
inline constexpr DWORD ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;
inline constexpr DWORD ERROR_CANNOT_WRITE_PHONEBOOK = 624;
inline constexpr DWORD ERROR_CORRUPT_PHONEBOOK = 625;
inline constexpr DWORD ERROR_INVALID_SIZE = 632;

// A null phone-book path is the default phone book; any other path is not
// supported here. Device-specific information is not kept.
DWORD RasSetEntryPropertiesA(const char* phoneBook, const char* entryName, const RASENTRYA* entry,
                             DWORD entrySize, const BYTE* deviceInfo, DWORD deviceInfoSize);
// *entrySize in: the buffer's size, at least entry->dwSize; out: the size used.
DWORD RasGetEntryPropertiesA(const char* phoneBook, const char* entryName, RASENTRYA* entry,
                             DWORD* entrySize, BYTE* deviceInfo, DWORD* deviceInfoSize);
DWORD RasDeleteEntryA(const char* phoneBook, const char* entryName);

#endif

} // namespace win
