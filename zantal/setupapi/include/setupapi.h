// The device-installation calls of our "setupapi.dll" stand-in
// (libsetupapi.so, loaded at run time through plat::DynLib, which maps the
// name "setupapi.dll" to "libsetupapi.so"). It keeps devices, driver keys and
// classes in the registry store the way the original host lays them out:
//
//   HKLM\System\CurrentControlSet\Enum\ROOT\<device>\<nnnn>     a device
//   HKLM\System\CurrentControlSet\Control\Class\{class}\<nnnn>  its driver key
//
// A device that is registered is present. The class driver list is built from
// the INF files in the directories of the value DevicePath under
// HKLM\Software\Microsoft\Windows\CurrentVersion (';'-separated), by default
// the directory "inf" under the store root.
//
// A device whose key holds the 32-bit value "RefuseRemove" = 1 refuses
// DIF_REMOVE, so a caller's handling of that refusal can be exercised.
//
// Of the names the library exports, these 19 do their work; the other 24
// exist so that a binding that looks them up finds them, and fail with
// ERROR_CALL_NOT_IMPLEMENTED when called.
#pragma once

#include "win/registry.h"
#include "win/types.h"

#include <cstddef>

namespace win {

using HDEVINFO = void*;
using HINF = void*;

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};

struct INFCONTEXT {
    void* Inf;
    void* CurrentInf;
    UINT Section;
    UINT Line;
};

inline constexpr size_t LINE_LEN = 256;

struct SP_DRVINFO_DATA_V1_A {
    DWORD cbSize;
    DWORD DriverType;
    ULONG_PTR Reserved;
    char Description[LINE_LEN];
    char MfgName[LINE_LEN];
    char ProviderName[LINE_LEN];
};

struct SP_CLASSINSTALL_HEADER {
    DWORD cbSize;
    DWORD InstallFunction;
};

struct SP_PROPCHANGE_PARAMS {
    SP_CLASSINSTALL_HEADER ClassInstallHeader;
    DWORD StateChange;
    DWORD Scope;
    DWORD HwProfile;
};

static_assert(sizeof(SP_CLASSINSTALL_HEADER) == 8);
static_assert(sizeof(SP_PROPCHANGE_PARAMS) == 20);

using PSP_DETSIG_CMPPROC = DWORD (*)(HDEVINFO, SP_DEVINFO_DATA*, SP_DEVINFO_DATA*, void*);

inline constexpr DWORD DIGCF_DEFAULT = 0x1;
inline constexpr DWORD DIGCF_PRESENT = 0x2;
inline constexpr DWORD DIGCF_ALLCLASSES = 0x4;

inline constexpr DWORD SPDIT_NODRIVER = 0;
inline constexpr DWORD SPDIT_CLASSDRIVER = 1;
inline constexpr DWORD SPDIT_COMPATDRIVER = 2;

inline constexpr DWORD DICD_GENERATE_ID = 0x1;
inline constexpr DWORD DICD_INHERIT_CLASSDRVS = 0x2;
inline constexpr DWORD SPRDI_FIND_DUPS = 0x1;

inline constexpr DWORD DIF_INSTALLDEVICE = 0x02;
inline constexpr DWORD DIF_REMOVE = 0x05;
inline constexpr DWORD DIF_PROPERTYCHANGE = 0x12;

inline constexpr DWORD DICS_ENABLE = 1;
inline constexpr DWORD DICS_DISABLE = 2;
inline constexpr DWORD DICS_PROPCHANGE = 3;
inline constexpr DWORD DICS_FLAG_GLOBAL = 1;
inline constexpr DWORD DICS_FLAG_CONFIGSPECIFIC = 2;

inline constexpr DWORD DIREG_DEV = 1;
inline constexpr DWORD DIREG_DRV = 2;

inline constexpr DWORD SPDRP_DEVICEDESC = 0x00;
inline constexpr DWORD SPDRP_HARDWAREID = 0x01;
inline constexpr DWORD SPDRP_COMPATIBLEIDS = 0x02;
inline constexpr DWORD SPDRP_CLASS = 0x07;
inline constexpr DWORD SPDRP_CLASSGUID = 0x08;
inline constexpr DWORD SPDRP_DRIVER = 0x09;
inline constexpr DWORD SPDRP_MFG = 0x0B;
inline constexpr DWORD SPDRP_FRIENDLYNAME = 0x0C;

inline constexpr DWORD INF_STYLE_OLDNT = 0x1;
inline constexpr DWORD INF_STYLE_WIN4 = 0x2;

// SetupAPI's own error codes.
inline constexpr DWORD ERROR_EXPECTED_SECTION_NAME = 0xE0000000;
inline constexpr DWORD ERROR_BAD_SECTION_NAME_LINE = 0xE0000001;
inline constexpr DWORD ERROR_SECTION_NAME_TOO_LONG = 0xE0000002;
inline constexpr DWORD ERROR_GENERAL_SYNTAX = 0xE0000003;
inline constexpr DWORD ERROR_WRONG_INF_STYLE = 0xE0000100;
inline constexpr DWORD ERROR_SECTION_NOT_FOUND = 0xE0000101;
inline constexpr DWORD ERROR_LINE_NOT_FOUND = 0xE0000102;
inline constexpr DWORD ERROR_CLASS_MISMATCH = 0xE0000201;
inline constexpr DWORD ERROR_NO_DRIVER_SELECTED = 0xE0000203;
inline constexpr DWORD ERROR_KEY_DOES_NOT_EXIST = 0xE0000204;
inline constexpr DWORD ERROR_INVALID_DEVINST_NAME = 0xE0000205;
inline constexpr DWORD ERROR_INVALID_CLASS = 0xE0000206;
inline constexpr DWORD ERROR_DEVINST_ALREADY_EXISTS = 0xE0000207;
inline constexpr DWORD ERROR_DEVINFO_NOT_REGISTERED = 0xE0000208;
inline constexpr DWORD ERROR_INVALID_REG_PROPERTY = 0xE0000209;
inline constexpr DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;
inline constexpr DWORD ERROR_DI_DO_DEFAULT = 0xE000020E;
inline constexpr DWORD ERROR_NO_CLASSINSTALL_PARAMS = 0xE0000215;
inline constexpr DWORD ERROR_DI_DONT_INSTALL = 0xE000022B;

extern "C" {

// The 19 calls that work.
BOOL SetupDiClassGuidsFromNameA(const char* className, GUID* guids, DWORD guidCount,
                                DWORD* required);
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator, HWND parent,
                              DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, SP_DEVINFO_DATA* device);
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                                       DWORD* type, BYTE* buffer, DWORD bufferSize,
                                       DWORD* required);
HKEY SetupDiOpenDevRegKey(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD scope, DWORD hwProfile,
                          DWORD keyType, REGSAM access);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
BOOL SetupDiBuildDriverInfoList(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD driverType);
BOOL SetupDiCreateDeviceInfoA(HDEVINFO set, const char* deviceName, const GUID* classGuid,
                              const char* description, HWND parent, DWORD flags,
                              SP_DEVINFO_DATA* device);
BOOL SetupDiSetSelectedDriverA(HDEVINFO set, SP_DEVINFO_DATA* device, SP_DRVINFO_DATA_V1_A* driver);
BOOL SetupDiRegisterDeviceInfo(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD flags,
                               PSP_DETSIG_CMPPROC compare, void* context,
                               SP_DEVINFO_DATA* duplicate);
BOOL SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO set, SP_DEVINFO_DATA* device);
BOOL SetupDiSetClassInstallParamsA(HDEVINFO set, SP_DEVINFO_DATA* device,
                                   SP_CLASSINSTALL_HEADER* params, DWORD paramsSize);
BOOL SetupDiChangeState(HDEVINFO set, SP_DEVINFO_DATA* device);
HINF SetupOpenInfFileA(const char* fileName, const char* infClass, DWORD infStyle, UINT* errorLine);
BOOL SetupFindFirstLineA(HINF inf, const char* section, const char* key, INFCONTEXT* context);
BOOL SetupGetStringFieldA(INFCONTEXT* context, DWORD fieldIndex, char* buffer, DWORD bufferSize,
                          DWORD* required);
LONG SetupGetLineCountA(HINF inf, const char* section);
BOOL SetupGetLineByIndexA(HINF inf, const char* section, DWORD index, INFCONTEXT* context);
void SetupCloseInfFile(HINF inf);

// The 24 names that are exported but not provided.
BOOL SetupOpenMasterInf();
BOOL SetupPromptForDiskA();
BOOL SetupDiSetDeviceRegistryPropertyA();
BOOL SetupDiGetDeviceInstanceIdA();
BOOL SetupDiInstallClassA();
BOOL SetupDiGetINFClassA();
BOOL SetupDiGetSelectedDriverA();
BOOL SetupDiOpenDeviceInfoA();
BOOL SetupDiGetDeviceInstallParamsA();
BOOL SetupDiSetDeviceInstallParamsA();
BOOL SetupPromptReboot();
BOOL SetupInstallFromInfSectionA();
BOOL SetupGetLineTextA();
BOOL SetupFindNextMatchLineA();
BOOL SetupDiEnumDriverInfoW();
BOOL SetupDiGetDriverInfoDetailW();
BOOL SetupDiSetSelectedDriverW();
BOOL SetupDiCreateDevRegKeyA();
BOOL SetupDiSetDeviceRegistryPropertyW();
BOOL SetupGetMultiSzFieldA();
BOOL SetupDefaultQueueCallbackA();
BOOL SetupInitDefaultQueueCallback();
BOOL SetupSetDirectoryIdA();
BOOL SetupDiGetClassInstallParamsA();

} // extern "C"

} // namespace win
