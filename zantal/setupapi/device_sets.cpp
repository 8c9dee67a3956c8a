// Device information sets and the calls that create, list, register and
// describe their devices.
#include "device_sets.h"

#include "device_registry.h"
#include "win/escape.h"
#include "win/guarded.h"
#include "win/handle_table.h"

#include <atomic>
#include <cstring>

namespace zantal::devices {

using namespace win;

namespace {

HandleTable<DeviceSet> g_sets(0x4000);
std::atomic<DWORD> g_nextDevInst{1};

bool fail(DWORD error)
{
    SetLastError(error);
    return false;
}

struct PropertyValue {
    const char* valueName;
    DWORD type;
};

std::optional<PropertyValue> propertyValue(DWORD property)
{
    switch (property) {
    case SPDRP_DEVICEDESC: return PropertyValue{"DeviceDesc", REG_SZ};
    case SPDRP_HARDWAREID: return PropertyValue{"HardwareID", REG_MULTI_SZ};
    case SPDRP_COMPATIBLEIDS: return PropertyValue{"CompatibleIDs", REG_MULTI_SZ};
    case SPDRP_CLASS: return PropertyValue{"Class", REG_SZ};
    case SPDRP_CLASSGUID: return PropertyValue{"ClassGUID", REG_SZ};
    case SPDRP_DRIVER: return PropertyValue{"Driver", REG_SZ};
    case SPDRP_MFG: return PropertyValue{"Mfg", REG_SZ};
    case SPDRP_FRIENDLYNAME: return PropertyValue{"FriendlyName", REG_SZ};
    default: return std::nullopt;
    }
}

} // namespace

std::shared_ptr<DeviceSet> findSet(HDEVINFO set)
{
    auto found = g_sets.find(set);
    if (!found)
        SetLastError(ERROR_INVALID_HANDLE);
    return found;
}

Device* findDevice(DeviceSet& set, const SP_DEVINFO_DATA* data)
{
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA) || data->Reserved == 0 ||
        data->Reserved > set.devices.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Device& device = set.devices[data->Reserved - 1];
    if (device.devInst != data->DevInst) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return nullptr;
    }
    return &device;
}

void describe(const Device& device, size_t index, SP_DEVINFO_DATA* data)
{
    data->ClassGuid = device.classGuid;
    data->DevInst = device.devInst;
    data->Reserved = index + 1;
}

} // namespace zantal::devices

namespace win {

using namespace zantal::devices;

extern "C" {

BOOL SetupDiClassGuidsFromNameA(const char* className, GUID* guids, DWORD guidCount,
                                DWORD* required)
{
    return guarded(
        [&]() -> BOOL {
            if (!className || !required || (guidCount && !guids))
                return fail(ERROR_INVALID_PARAMETER);
            auto guid = classGuidForName(className);
            *required = guid ? 1 : 0;
            if (guid && guidCount == 0)
                return fail(ERROR_INSUFFICIENT_BUFFER);
            if (guid)
                guids[0] = *guid;
            return 1;
        },
        BOOL{0});
}

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, const char* enumerator, HWND, DWORD flags)
{
    return guarded(
        [&]() -> HDEVINFO {
            const bool allClasses = flags & DIGCF_ALLCLASSES;
            if (!allClasses && !classGuid) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return INVALID_HANDLE_VALUE;
            }
            // One reading of the store for the whole list; a store that cannot
            // be read is a failure, not a machine without devices.
            RegTransaction reading(false);
            if (reading.status() != ERROR_SUCCESS) {
                SetLastError(static_cast<DWORD>(reading.status()));
                return INVALID_HANDLE_VALUE;
            }
            auto set = std::make_shared<DeviceSet>();
            if (!allClasses) {
                set->hasClass = true;
                set->classGuid = *classGuid;
            }
            // Every registered device is present: the stand-in has no phantoms.
            for (const std::string& id :
                 registeredInstances(allClasses ? nullptr : classGuid, enumerator)) {
                Device device;
                device.instanceId = id;
                device.classGuid =
                    parseGuid(openDeviceKey(id).string("ClassGUID").value_or("")).value_or(GUID{});
                device.devInst = g_nextDevInst++;
                device.registered = true;
                set->devices.push_back(std::move(device));
            }
            return g_sets.add<HDEVINFO>(std::move(set));
        },
        HDEVINFO{INVALID_HANDLE_VALUE});
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO setHandle, DWORD index, SP_DEVINFO_DATA* data)
{
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA))
                return fail(ERROR_INVALID_USER_BUFFER);
            if (index >= set->devices.size())
                return fail(ERROR_NO_MORE_ITEMS);
            describe(set->devices[index], index, data);
            return 1;
        },
        BOOL{0});
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set)
{
    if (g_sets.remove(set))
        return 1;
    return fail(ERROR_INVALID_HANDLE);
}

BOOL SetupDiCreateDeviceInfoA(HDEVINFO setHandle, const char* deviceName, const GUID* classGuid,
                              const char* description, HWND, DWORD flags, SP_DEVINFO_DATA* data)
{
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            if (!deviceName || !classGuid)
                return fail(ERROR_INVALID_PARAMETER);
            if (data && data->cbSize != sizeof(SP_DEVINFO_DATA))
                return fail(ERROR_INVALID_USER_BUFFER);
            if (set->hasClass && !(set->classGuid == *classGuid))
                return fail(ERROR_CLASS_MISMATCH);

            std::vector<std::string> taken;
            for (const Device& d : set->devices)
                taken.push_back(d.instanceId);
            std::string id;
            if (flags & DICD_GENERATE_ID) {
                if (!validDeviceName(deviceName))
                    return fail(ERROR_INVALID_DEVINST_NAME);
                id = newInstanceId(deviceName, taken);
                if (id.empty())
                    return fail(ERROR_DEVINST_ALREADY_EXISTS);
            } else {
                id = toUpper(deviceName);
                if (id.size() > 200 || id.empty())
                    return fail(ERROR_INVALID_DEVINST_NAME);
                if (openDeviceKey(id).valid())
                    return fail(ERROR_DEVINST_ALREADY_EXISTS);
                for (const std::string& t : taken)
                    if (equalsIgnoreCase(t, id))
                        return fail(ERROR_DEVINST_ALREADY_EXISTS);
            }

            Device device;
            device.instanceId = id;
            if (flags & DICD_GENERATE_ID)
                device.generatedFrom = deviceName;
            device.classGuid = *classGuid;
            device.devInst = g_nextDevInst++;
            device.description = description ? description : "";
            if ((flags & DICD_INHERIT_CLASSDRVS) && set->classDriversBuilt)
                device.drivers = set->classDrivers;
            set->devices.push_back(std::move(device));
            if (data)
                describe(set->devices.back(), set->devices.size() - 1, data);
            return 1;
        },
        BOOL{0});
}

BOOL SetupDiRegisterDeviceInfo(HDEVINFO setHandle, SP_DEVINFO_DATA* data, DWORD, PSP_DETSIG_CMPPROC,
                               void*, SP_DEVINFO_DATA*)
{
    // Duplicates are found by comparing hardware resources; root devices
    // have none, so there is nothing to compare and none is reported.
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            Device* device = findDevice(*set, data);
            if (!device)
                return 0;
            if (device->registered)
                return 1;
            // The number is checked and the key made in one step, so two
            // installers never register one instance.
            RegTransaction writing(true);
            if (writing.status() != ERROR_SUCCESS)
                return fail(static_cast<DWORD>(writing.status()));
            std::string id = device->instanceId;
            if (openDeviceKey(id).valid()) {
                if (device->generatedFrom.empty())
                    return fail(ERROR_DEVINST_ALREADY_EXISTS);
                std::vector<std::string> taken;
                for (const Device& d : set->devices)
                    if (&d != device)
                        taken.push_back(d.instanceId);
                id = newInstanceId(device->generatedFrom, taken);
                if (id.empty())
                    return fail(ERROR_DEVINST_ALREADY_EXISTS);
            }
            RegKey key = createDeviceKey(id);
            if (!key.valid() || !key.setString("ClassGUID", guidText(device->classGuid)) ||
                !key.setString("Class", classNameFor(device->classGuid)) ||
                !key.setString("DeviceDesc", device->description))
                return fail(ERROR_REGISTRY_IO_FAILED);
            key = RegKey();
            if (const LONG rc = writing.commit(); rc != ERROR_SUCCESS)
                return fail(static_cast<DWORD>(rc));
            device->instanceId = id;
            device->registered = true;
            return 1;
        },
        BOOL{0});
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO setHandle, SP_DEVINFO_DATA* data, DWORD property,
                                       DWORD* type, BYTE* buffer, DWORD bufferSize, DWORD* required)
{
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            Device* device = findDevice(*set, data);
            if (!device)
                return 0;
            auto what = propertyValue(property);
            if (!what)
                return fail(ERROR_INVALID_REG_PROPERTY);
            std::optional<std::string> bytes;
            if (device->registered) {
                bytes = openDeviceKey(device->instanceId).raw(what->valueName);
            } else if (property == SPDRP_DEVICEDESC) {
                bytes = device->description + '\0';
            }
            if (!bytes)
                return fail(ERROR_INVALID_DATA);
            const auto size = static_cast<DWORD>(bytes->size());
            if (type)
                *type = what->type;
            if (required)
                *required = size;
            if (!buffer || bufferSize < size)
                return fail(ERROR_INSUFFICIENT_BUFFER);
            std::memcpy(buffer, bytes->data(), size);
            return 1;
        },
        BOOL{0});
}

HKEY SetupDiOpenDevRegKey(HDEVINFO setHandle, SP_DEVINFO_DATA* data, DWORD scope, DWORD,
                          DWORD keyType, REGSAM access)
{
    const auto invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    return guarded(
        [&]() -> HKEY {
            auto set = findSet(setHandle);
            if (!set)
                return invalid;
            Device* device = findDevice(*set, data);
            if (!device)
                return invalid;
            if (scope != DICS_FLAG_GLOBAL || (keyType != DIREG_DRV && keyType != DIREG_DEV)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return invalid;
            }
            RegKey key = keyType == DIREG_DRV
                             ? openDriverKey(device->instanceId, access)
                             : openDeviceKey(device->instanceId + "\\Device Parameters", access);
            if (!key.valid()) {
                SetLastError(ERROR_KEY_DOES_NOT_EXIST);
                return invalid;
            }
            return key.release();
        },
        invalid);
}

} // extern "C"

} // namespace win
