// The class installer: what installing, removing and changing the state of a
// device does to the store.
#include "add_registry.h"
#include "device_registry.h"
#include "device_sets.h"
#include "inf_loader.h"
#include "win/escape.h"
#include "win/guarded.h"

namespace zantal::devices {

using namespace win;

namespace {

constexpr DWORD CONFIGFLAG_DISABLED = 0x1;
constexpr DWORD CSCONFIGFLAG_DISABLED = 0x1;

bool fail(DWORD error)
{
    SetLastError(error);
    return false;
}

// The install section as this machine reads it: decorated for 64-bit NT,
// then for NT, then plain.
const inf::Section* installSection(const inf::InfFile& file, const std::string& name)
{
    for (const char* suffix : {".NTamd64", ".NT", ""})
        if (const inf::Section* s = file.section(name + suffix))
            return s;
    return nullptr;
}

// The description, numbered like the original host numbers a second modem
// of one kind ("Name #2"), so that friendly names stay unique in the class.
std::string uniqueFriendlyName(const std::string& description, const GUID& classGuid,
                               const std::string& self)
{
    std::vector<std::string> names;
    for (const std::string& id : registeredInstances(&classGuid, nullptr))
        if (!equalsIgnoreCase(id, self))
            if (auto n = openDeviceKey(id).string("FriendlyName"))
                names.push_back(*n);
    auto taken = [&](const std::string& candidate) {
        for (const std::string& n : names)
            if (equalsIgnoreCase(n, candidate))
                return true;
        return false;
    };
    if (!taken(description))
        return description;
    for (unsigned n = 2;; ++n) {
        std::string candidate = description + " #" + std::to_string(n);
        if (!taken(candidate))
            return candidate;
    }
}

// A modem's responses are shared by every modem of its kind: the key they
// live in counts its users.
void addResponsesReference(const RegKey& driverKey)
{
    auto name = driverKey.string("ResponsesKeyName");
    if (!name || name->empty())
        return;
    RegKey shared = RegKey::create(HKEY_LOCAL_MACHINE, std::string(kResponsesPath) + "\\" + *name);
    shared.setDword("RefCount", shared.dword("RefCount").value_or(0) + 1);
}

// Everything an installation writes (the driver key and its number, the
// values, the INF's AddReg entries, the shared key's count, the numbered
// name) is one step of the store: written together or not at all, and never
// interleaved with another installer's.
bool installInStore(Device& device, const DriverNode& driver, const inf::InfFile& file,
                    const inf::Section& section)
{
    RegTransaction writing(true);
    if (writing.status() != ERROR_SUCCESS)
        return fail(static_cast<DWORD>(writing.status()));

    RegKey deviceKey = openDeviceKey(device.instanceId, KEY_ALL_ACCESS);
    if (!deviceKey.valid())
        return fail(ERROR_NO_SUCH_DEVINST);
    RegKey driverKey = openDriverKey(device.instanceId, KEY_ALL_ACCESS);
    std::string driverName = deviceKey.string("Driver").value_or("");
    if (!driverKey.valid())
        driverKey = createDriverKey(device.classGuid, &driverName);
    if (!driverKey.valid())
        return fail(ERROR_REGISTRY_IO_FAILED);

    const bool written = driverKey.setString("DriverDesc", driver.description) &&
                         driverKey.setString("ProviderName", driver.provider) &&
                         driverKey.setString("MatchingDeviceId", driver.hardwareId) &&
                         driverKey.setString("InfPath", driver.infPath) &&
                         driverKey.setString("InfSection", driver.installSection) &&
                         deviceKey.setString("Driver", driverName) &&
                         deviceKey.setString("Mfg", driver.manufacturer);
    if (!written)
        return fail(ERROR_REGISTRY_IO_FAILED);
    if (deviceKey.multiString("HardwareID").empty()) {
        std::vector<std::string> ids{driver.hardwareId};
        ids.insert(ids.end(), driver.compatibleIds.begin(), driver.compatibleIds.end());
        deviceKey.setMultiString("HardwareID", ids);
    }
    if (!inf::applyAddReg(file, section, driverKey.get()))
        return fail(ERROR_INVALID_DATA);
    addResponsesReference(driverKey);
    if (!deviceKey.setString(
            "FriendlyName",
            uniqueFriendlyName(driver.description, device.classGuid, device.instanceId)) ||
        !deviceKey.setDword("ConfigFlags", 0))
        return fail(ERROR_REGISTRY_IO_FAILED);
    deviceKey = RegKey();
    driverKey = RegKey();
    const LONG rc = writing.commit();
    return rc == ERROR_SUCCESS || fail(static_cast<DWORD>(rc));
}

bool installDevice(Device& device)
{
    if (!device.registered)
        return fail(ERROR_DEVINFO_NOT_REGISTERED);
    if (!device.selected)
        return fail(ERROR_NO_DRIVER_SELECTED);
    const DriverNode& driver = *device.selected;
    DWORD error = 0;
    // Read before this step locks the store, so that a large INF holds up no
    // other installer (unless the caller's own transaction holds the lock).
    auto file = inf::loadInf(driver.infPath.c_str(), INF_STYLE_WIN4, nullptr, &error, nullptr);
    if (!file)
        return fail(error);
    const inf::Section* section = installSection(*file, driver.installSection);
    if (!section)
        return fail(ERROR_SECTION_NOT_FOUND);
    return installInStore(device, driver, *file, *section);
}

bool removeDevice(Device& device)
{
    if (!device.registered)
        return fail(ERROR_DEVINFO_NOT_REGISTERED);
    RegTransaction writing(true);
    if (writing.status() != ERROR_SUCCESS)
        return fail(static_cast<DWORD>(writing.status()));
    RegKey deviceKey = openDeviceKey(device.instanceId);
    if (!deviceKey.valid())
        return fail(ERROR_NO_SUCH_DEVINST);
    if (deviceKey.dword("RefuseRemove").value_or(0) != 0)
        return fail(ERROR_ACCESS_DENIED);
    auto driver = deviceKey.string("Driver");
    deviceKey = RegKey();
    if (driver && !driver->empty())
        deleteTree(std::string(kClassPath) + "\\" + *driver);
    if (!deleteTree(std::string(kEnumPath) + "\\" + device.instanceId))
        return fail(ERROR_REGISTRY_IO_FAILED);
    if (const LONG rc = writing.commit(); rc != ERROR_SUCCESS)
        return fail(static_cast<DWORD>(rc));
    device.registered = false;
    return true;
}

bool changeProperties(Device& device, const SP_PROPCHANGE_PARAMS& change)
{
    RegTransaction writing(true);
    if (writing.status() != ERROR_SUCCESS)
        return fail(static_cast<DWORD>(writing.status()));
    RegKey key = openDeviceKey(device.instanceId, KEY_ALL_ACCESS);
    if (!device.registered || !key.valid())
        return fail(ERROR_NO_SUCH_DEVINST);
    const bool global = change.Scope == DICS_FLAG_GLOBAL;
    if (!global && change.Scope != DICS_FLAG_CONFIGSPECIFIC)
        return fail(ERROR_INVALID_PARAMETER);
    const char* value = global ? "ConfigFlags" : "CSConfigFlags";
    const DWORD disabled = global ? CONFIGFLAG_DISABLED : CSCONFIGFLAG_DISABLED;
    DWORD flags = key.dword(value).value_or(0);
    switch (change.StateChange) {
    case DICS_ENABLE: flags &= ~disabled; break;
    case DICS_DISABLE: flags |= disabled; break;
    case DICS_PROPCHANGE: return true; // a restart: nothing stored changes
    default: return fail(ERROR_INVALID_PARAMETER);
    }
    if (!key.setDword(value, flags))
        return fail(ERROR_REGISTRY_IO_FAILED);
    key = RegKey();
    const LONG rc = writing.commit();
    return rc == ERROR_SUCCESS || fail(static_cast<DWORD>(rc));
}

} // namespace

} // namespace zantal::devices

namespace win {

using namespace zantal::devices;

extern "C" {

BOOL SetupDiSetClassInstallParamsA(HDEVINFO setHandle, SP_DEVINFO_DATA* data,
                                   SP_CLASSINSTALL_HEADER* params, DWORD paramsSize)
{
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            Device* device = nullptr;
            if (data && !(device = findDevice(*set, data)))
                return 0;
            auto& slot = device ? device->propertyChange : set->propertyChange;
            if (!params) {
                slot.reset();
                return 1;
            }
            if (params->cbSize != sizeof(SP_CLASSINSTALL_HEADER) ||
                params->InstallFunction != DIF_PROPERTYCHANGE ||
                paramsSize != sizeof(SP_PROPCHANGE_PARAMS))
                return fail(ERROR_INVALID_PARAMETER);
            slot = *reinterpret_cast<const SP_PROPCHANGE_PARAMS*>(params);
            return 1;
        },
        BOOL{0});
}

BOOL SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO setHandle, SP_DEVINFO_DATA* data)
{
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            Device* device = findDevice(*set, data);
            if (!device)
                return 0;
            switch (installFunction) {
            case DIF_INSTALLDEVICE: return installDevice(*device);
            case DIF_REMOVE: return removeDevice(*device);
            case DIF_PROPERTYCHANGE: {
                const auto& change =
                    device->propertyChange ? device->propertyChange : set->propertyChange;
                if (!change)
                    return fail(ERROR_NO_CLASSINSTALL_PARAMS);
                return changeProperties(*device, *change);
            }
            default: return fail(ERROR_DI_DO_DEFAULT);
            }
        },
        BOOL{0});
}

BOOL SetupDiChangeState(HDEVINFO set, SP_DEVINFO_DATA* data)
{
    return SetupDiCallClassInstaller(DIF_PROPERTYCHANGE, set, data);
}

} // extern "C"

} // namespace win
