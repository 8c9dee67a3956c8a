// The run-time binding of "setupapi.dll": loaded by name on first need, every
// name of a complete library looked up, kept for the rest of the process.
#pragma once

#include "setupapi_calls.h"

namespace zantal {

// The calls ZANTAL makes, typed as the library declares them.
struct SetupApi {
    decltype(&win::SetupDiClassGuidsFromNameA) ClassGuidsFromName;
    decltype(&win::SetupDiGetClassDevsA) GetClassDevs;
    decltype(&win::SetupDiEnumDeviceInfo) EnumDeviceInfo;
    decltype(&win::SetupDiGetDeviceRegistryPropertyA) GetDeviceRegistryProperty;
    decltype(&win::SetupDiOpenDevRegKey) OpenDevRegKey;
    decltype(&win::SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList;
    decltype(&win::SetupDiBuildDriverInfoList) BuildDriverInfoList;
    decltype(&win::SetupDiCreateDeviceInfoA) CreateDeviceInfo;
    decltype(&win::SetupDiSetSelectedDriverA) SetSelectedDriver;
    decltype(&win::SetupDiRegisterDeviceInfo) RegisterDeviceInfo;
    decltype(&win::SetupDiCallClassInstaller) CallClassInstaller;
    decltype(&win::SetupDiSetClassInstallParamsA) SetClassInstallParams;
    decltype(&win::SetupDiChangeState) ChangeState;
    decltype(&win::SetupOpenInfFileA) OpenInfFile;
    decltype(&win::SetupFindFirstLineA) FindFirstLine;
    decltype(&win::SetupGetStringFieldA) GetStringField;
    decltype(&win::SetupGetLineCountA) GetLineCount;
    decltype(&win::SetupGetLineByIndexA) GetLineByIndex;
    decltype(&win::SetupCloseInfFile) CloseInfFile;
};

// The bound calls, binding first when needed; null when "setupapi.dll"
// cannot be loaded or lacks a required name (the next call tries again).
const SetupApi* bindSetupApi();

} // namespace zantal
