// Driver lists: the class drivers found in the INF files of the driver search
// path, and the choice of one of them for a device.
#include "device_registry.h"
#include "device_sets.h"
#include "inf_loader.h"
#include "win/escape.h"
#include "win/guarded.h"
#include "win/store.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>

namespace zantal::devices {

using namespace win;
using inf::InfFile;

namespace {

std::vector<std::string> searchDirectories()
{
    auto path = RegKey::open(HKEY_LOCAL_MACHINE, kWindowsPath, KEY_READ).string("DevicePath");
    if (!path || path->empty())
        return {storeRoot() + "/inf"};
    std::vector<std::string> dirs;
    size_t pos = 0;
    while (pos <= path->size()) {
        size_t end = path->find(';', pos);
        if (end == std::string::npos)
            end = path->size();
        if (end > pos)
            dirs.push_back(path->substr(pos, end - pos));
        pos = end + 1;
    }
    return dirs;
}

std::vector<std::string> infFilesIn(const std::string& dir)
{
    std::vector<std::string> files;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return files;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 4 && equalsIgnoreCase(name.substr(name.size() - 4), ".inf"))
            files.push_back(dir + "/" + name);
    }
    closedir(d);
    std::sort(files.begin(), files.end());
    return files;
}

// The models section this machine uses: the one decorated for 64-bit NT when
// the manufacturer line offers it, otherwise the plain one.
const inf::Section* modelsSection(const InfFile& file, const inf::Line& manufacturer)
{
    const std::string models = InfFile::field(manufacturer, 1).value_or("");
    for (size_t i = 2; i <= manufacturer.fields.size(); ++i) {
        std::string decoration = InfFile::field(manufacturer, i).value_or("");
        if (startsWithIgnoreCase(decoration, "NTamd64") || equalsIgnoreCase(decoration, "NT"))
            if (const inf::Section* s = file.section(models + "." + decoration))
                return s;
    }
    return file.section(models);
}

bool sameDriver(const DriverNode& node, const SP_DRVINFO_DATA_V1_A& info)
{
    auto field = [](const char(&text)[LINE_LEN]) {
        return std::string_view(text, strnlen(text, LINE_LEN));
    };
    return equalsIgnoreCase(node.description, field(info.Description)) &&
           equalsIgnoreCase(node.manufacturer, field(info.MfgName)) &&
           equalsIgnoreCase(node.provider, field(info.ProviderName));
}

} // namespace

std::vector<DriverNode> findClassDrivers(const GUID& classGuid)
{
    std::vector<DriverNode> drivers;
    const std::string guid = guidText(classGuid);
    const std::string className = classNameFor(classGuid);
    for (const std::string& dir : searchDirectories()) {
        for (const std::string& path : infFilesIn(dir)) {
            DWORD error = 0;
            auto file = inf::loadInf(path.c_str(), INF_STYLE_WIN4, nullptr, &error, nullptr);
            if (!file)
                continue;
            const bool ofClass = equalsIgnoreCase(file->value("Version", "ClassGUID"), guid) ||
                                 (!className.empty() &&
                                  equalsIgnoreCase(file->value("Version", "Class"), className));
            const inf::Section* manufacturers = file->section("Manufacturer");
            if (!ofClass || !manufacturers)
                continue;
            const std::string provider = file->value("Version", "Provider");
            for (const inf::Line& manufacturer : manufacturers->lines) {
                const inf::Section* models = modelsSection(*file, manufacturer);
                if (!models)
                    continue;
                for (const inf::Line& model : models->lines) {
                    DriverNode node;
                    node.description = InfFile::field(model, 0).value_or("");
                    node.manufacturer = InfFile::field(manufacturer, 0).value_or("");
                    node.provider = provider;
                    node.infPath = path;
                    node.installSection = InfFile::field(model, 1).value_or("");
                    node.hardwareId = InfFile::field(model, 2).value_or("");
                    for (size_t i = 3; i <= model.fields.size(); ++i)
                        node.compatibleIds.push_back(*InfFile::field(model, i));
                    drivers.push_back(std::move(node));
                }
            }
        }
    }
    return drivers;
}

} // namespace zantal::devices

namespace win {

using namespace zantal::devices;

extern "C" {

BOOL SetupDiBuildDriverInfoList(HDEVINFO setHandle, SP_DEVINFO_DATA* data, DWORD driverType)
{
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            if (driverType != SPDIT_CLASSDRIVER && driverType != SPDIT_COMPATDRIVER) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return 0;
            }
            if (!data) {
                if (driverType != SPDIT_CLASSDRIVER || !set->hasClass) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return 0;
                }
                set->classDrivers = findClassDrivers(set->classGuid);
                set->classDriversBuilt = true;
                return 1;
            }
            Device* device = findDevice(*set, data);
            if (!device)
                return 0;
            auto drivers = findClassDrivers(device->classGuid);
            if (driverType == SPDIT_COMPATDRIVER) {
                // Only the drivers that name one of the device's own ids.
                auto ids = openDeviceKey(device->instanceId).multiString("HardwareID");
                std::erase_if(drivers, [&](const DriverNode& d) {
                    for (const std::string& id : ids)
                        if (equalsIgnoreCase(id, d.hardwareId))
                            return false;
                    return true;
                });
            }
            device->drivers = std::move(drivers);
            return 1;
        },
        BOOL{0});
}

BOOL SetupDiSetSelectedDriverA(HDEVINFO setHandle, SP_DEVINFO_DATA* data,
                               SP_DRVINFO_DATA_V1_A* info)
{
    return guarded(
        [&]() -> BOOL {
            auto set = findSet(setHandle);
            if (!set)
                return 0;
            Device* device = nullptr;
            if (data && !(device = findDevice(*set, data)))
                return 0;
            auto& selected = device ? device->selected : set->selected;
            if (!info) {
                selected.reset();
                return 1;
            }
            if (info->cbSize != sizeof(SP_DRVINFO_DATA_V1_A) ||
                info->DriverType != SPDIT_CLASSDRIVER) {
                SetLastError(ERROR_INVALID_USER_BUFFER);
                return 0;
            }
            const auto& list = device ? device->drivers : set->classDrivers;
            // Reserved 0 asks for a search by description, maker and provider.
            if (info->Reserved != 0) {
                if (info->Reserved > list.size()) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return 0;
                }
                selected = list[info->Reserved - 1];
                return 1;
            }
            for (size_t i = 0; i < list.size(); ++i) {
                if (sameDriver(list[i], *info)) {
                    selected = list[i];
                    info->Reserved = i + 1;
                    return 1;
                }
            }
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        },
        BOOL{0});
}

} // extern "C"

} // namespace win
