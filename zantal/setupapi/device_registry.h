// Where the stand-in keeps devices and classes in the registry store, and the
// small reads and writes over that layout.
#pragma once

#include "win/reg_key.h"
#include "win/types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zantal::devices {

inline constexpr const char* kEnumPath = "System\\CurrentControlSet\\Enum";
inline constexpr const char* kClassPath = "System\\CurrentControlSet\\Control\\Class";
inline constexpr const char* kResponsesPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";
inline constexpr const char* kWindowsPath = "Software\\Microsoft\\Windows\\CurrentVersion";

std::string guidText(const win::GUID& guid);
std::optional<win::GUID> parseGuid(std::string_view text);

// The setup classes every system knows, and classes registered in the store
// (a key under the class path whose value "Class" names it).
std::optional<win::GUID> classGuidForName(std::string_view name);
std::string classNameFor(const win::GUID& guid);

// Instance ids ("ROOT\\NAME\\0000") of the registered devices, optionally of
// one class and one enumerator.
std::vector<std::string> registeredInstances(const win::GUID* classGuid, const char* enumerator);

// A root-enumerated device name as the system accepts it: printable, no
// blanks, backslashes or commas, at most 200 characters.
bool validDeviceName(std::string_view name);

// The first free instance id for a root device of this name, skipping those
// in `taken` as well as the registered ones.
std::string newInstanceId(std::string_view deviceName, const std::vector<std::string>& taken);

win::RegKey openDeviceKey(const std::string& instanceId, win::REGSAM access = win::KEY_READ);
win::RegKey createDeviceKey(const std::string& instanceId);

// The driver key named by a device's "Driver" value ("{class}\\0003").
win::RegKey openDriverKey(const std::string& instanceId, win::REGSAM access);
// Makes the next free driver key of the class; its name in *driverName.
win::RegKey createDriverKey(const win::GUID& classGuid, std::string* driverName);

// Removes a key and what lies below it; parents left empty stay.
bool deleteTree(const std::string& path);

} // namespace zantal::devices
