// The SetupAPI vocabulary of the installation code: on Windows the system's
// declarations (the library itself is bound at run time, never linked), on
// Linux those of our stand-in.
#pragma once

#ifdef _WIN32

#include "win/types.h"

#include <setupapi.h>

namespace win {

using ::HDEVINFO;
using ::HINF;
using ::INFCONTEXT;
using ::SP_CLASSINSTALL_HEADER;
using ::SP_DEVINFO_DATA;
using ::SP_DRVINFO_DATA_V1_A;
using ::SP_PROPCHANGE_PARAMS;

using ::SetupCloseInfFile;
using ::SetupDiBuildDriverInfoList;
using ::SetupDiCallClassInstaller;
using ::SetupDiChangeState;
using ::SetupDiClassGuidsFromNameA;
using ::SetupDiCreateDeviceInfoA;
using ::SetupDiDestroyDeviceInfoList;
using ::SetupDiEnumDeviceInfo;
using ::SetupDiGetClassDevsA;
using ::SetupDiGetDeviceRegistryPropertyA;
using ::SetupDiOpenDevRegKey;
using ::SetupDiRegisterDeviceInfo;
using ::SetupDiSetClassInstallParamsA;
using ::SetupDiSetSelectedDriverA;
using ::SetupFindFirstLineA;
using ::SetupGetLineByIndexA;
using ::SetupGetLineCountA;
using ::SetupGetStringFieldA;
using ::SetupOpenInfFileA;

} // namespace win

#else

#include "setupapi.h"

#endif
