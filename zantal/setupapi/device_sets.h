// Device information sets: the devices a caller is working on, with the
// driver lists and install parameters that belong to them.
#pragma once

#include "setupapi.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zantal::devices {

struct DriverNode {
    std::string description;
    std::string manufacturer;
    std::string provider;
    std::string infPath;
    std::string installSection;
    std::string hardwareId;
    std::vector<std::string> compatibleIds;
};

struct Device {
    std::string instanceId;
    // The name a generated instance id was made from: registration picks
    // the number again should another installer have taken it meanwhile.
    std::string generatedFrom;
    win::GUID classGuid{};
    win::DWORD devInst = 0;
    bool registered = false;
    std::string description; // kept until registration writes it
    std::vector<DriverNode> drivers;
    std::optional<DriverNode> selected;
    std::optional<win::SP_PROPCHANGE_PARAMS> propertyChange;
};

struct DeviceSet {
    bool hasClass = false;
    win::GUID classGuid{};
    std::vector<Device> devices;
    bool classDriversBuilt = false;
    std::vector<DriverNode> classDrivers;
    std::optional<DriverNode> selected;
    std::optional<win::SP_PROPCHANGE_PARAMS> propertyChange;
};

std::shared_ptr<DeviceSet> findSet(win::HDEVINFO set);

// The set's element a caller's record names (its Reserved field carries the
// element's position); null with the last error set when it names none.
Device* findDevice(DeviceSet& set, const win::SP_DEVINFO_DATA* data);
void describe(const Device& device, size_t index, win::SP_DEVINFO_DATA* data);

// The class drivers in the INF files of the driver search path.
std::vector<DriverNode> findClassDrivers(const win::GUID& classGuid);

} // namespace zantal::devices
