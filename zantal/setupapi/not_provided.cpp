// Names a complete "setupapi.dll" exports that the stand-in does not provide.
// Callers only look them up; calling one fails cleanly.
#include "setupapi.h"

namespace win {

extern "C" {

#define ZANTAL_NOT_PROVIDED(name)                                                                  \
    BOOL name()                                                                                    \
    {                                                                                              \
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);                                                  \
        return 0;                                                                                  \
    }

ZANTAL_NOT_PROVIDED(SetupOpenMasterInf)
ZANTAL_NOT_PROVIDED(SetupPromptForDiskA)
ZANTAL_NOT_PROVIDED(SetupDiSetDeviceRegistryPropertyA)
ZANTAL_NOT_PROVIDED(SetupDiGetDeviceInstanceIdA)
ZANTAL_NOT_PROVIDED(SetupDiInstallClassA)
ZANTAL_NOT_PROVIDED(SetupDiGetINFClassA)
ZANTAL_NOT_PROVIDED(SetupDiGetSelectedDriverA)
ZANTAL_NOT_PROVIDED(SetupDiOpenDeviceInfoA)
ZANTAL_NOT_PROVIDED(SetupDiGetDeviceInstallParamsA)
ZANTAL_NOT_PROVIDED(SetupDiSetDeviceInstallParamsA)
ZANTAL_NOT_PROVIDED(SetupPromptReboot)
ZANTAL_NOT_PROVIDED(SetupInstallFromInfSectionA)
ZANTAL_NOT_PROVIDED(SetupGetLineTextA)
ZANTAL_NOT_PROVIDED(SetupFindNextMatchLineA)
ZANTAL_NOT_PROVIDED(SetupDiEnumDriverInfoW)
ZANTAL_NOT_PROVIDED(SetupDiGetDriverInfoDetailW)
ZANTAL_NOT_PROVIDED(SetupDiSetSelectedDriverW)
ZANTAL_NOT_PROVIDED(SetupDiCreateDevRegKeyA)
ZANTAL_NOT_PROVIDED(SetupDiSetDeviceRegistryPropertyW)
ZANTAL_NOT_PROVIDED(SetupGetMultiSzFieldA)
ZANTAL_NOT_PROVIDED(SetupDefaultQueueCallbackA)
ZANTAL_NOT_PROVIDED(SetupInitDefaultQueueCallback)
ZANTAL_NOT_PROVIDED(SetupSetDirectoryIdA)
ZANTAL_NOT_PROVIDED(SetupDiGetClassInstallParamsA)

#undef ZANTAL_NOT_PROVIDED

} // extern "C"

} // namespace win
