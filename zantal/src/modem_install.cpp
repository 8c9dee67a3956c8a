// ZANTAL_InstallModem: a modem device created from an INF file, attached to a
// port, set to its maximum speed and restarted.
#include "zantal.h"

#include "inf_description.h"
#include "present_modems.h"
#include "text.h"
#include "win/guarded.h"
#include "win/registry.h"

#include "plat/byte_order.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

using namespace win;

constexpr size_t kMaxHardwareId = 519;
constexpr size_t kMaxPortName = zantal::kNameBuffer - 1;
// The modem driver's line-settings record: its baud rate sits at bytes 4-7.
constexpr DWORD kDcbBuffer = 28;
constexpr size_t kDcbBaudRate = 4;
constexpr std::chrono::milliseconds kRestartPause{1000};

class DriverKey {
public:
    DriverKey(const zantal::SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device)
        : key_(api.OpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_ALL_ACCESS))
    {
    }
    ~DriverKey()
    {
        if (valid())
            RegCloseKey(key_);
    }
    DriverKey(const DriverKey&) = delete;
    DriverKey& operator=(const DriverKey&) = delete;
    bool valid() const { return key_ != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE); }
    HKEY get() const { return key_; }

private:
    HKEY key_;
};

bool attachTo(const zantal::SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device,
              std::string_view port)
{
    DriverKey key(api, set, device);
    const std::string value(port);
    return key.valid() && RegSetValueExA(key.get(), "AttachedTo", 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool setMaximumSpeed(const zantal::SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device,
                     uint32_t speed)
{
    DriverKey key(api, set, device);
    if (!key.valid())
        return false;
    BYTE number[4];
    plat::putLe32(number, 0, speed);
    if (RegSetValueExA(key.get(), "MaximumPortSpeed", 0, REG_DWORD, number, sizeof number) !=
        ERROR_SUCCESS)
        return false;
    BYTE dcb[kDcbBuffer];
    DWORD size = sizeof dcb;
    DWORD type = REG_BINARY;
    if (RegQueryValueExA(key.get(), "DCB", nullptr, &type, dcb, &size) != ERROR_SUCCESS)
        return false;
    // A record too short to hold the baud rate is not one to patch.
    if (size < kDcbBaudRate + 4)
        return false;
    plat::putLe32(dcb, kDcbBaudRate, speed);
    return RegSetValueExA(key.get(), "DCB", 0, type, dcb, size) == ERROR_SUCCESS;
}

bool changeState(const zantal::SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device,
                 DWORD stateChange)
{
    SP_PROPCHANGE_PARAMS change{};
    change.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
    change.ClassInstallHeader.InstallFunction = DIF_PROPERTYCHANGE;
    change.StateChange = stateChange;
    change.Scope = DICS_FLAG_CONFIGSPECIFIC;
    change.HwProfile = 0;
    return api.SetClassInstallParams(set, &device, &change.ClassInstallHeader, sizeof change) &&
           api.ChangeState(set, &device);
}

// The new device picks up its port and speed when it starts, so it is
// disabled and enabled again, each change given time to settle.
bool restart(const zantal::SetupApi& api, HDEVINFO set, SP_DEVINFO_DATA& device)
{
    if (!changeState(api, set, device, DICS_DISABLE))
        return false;
    std::this_thread::sleep_for(kRestartPause);
    if (!changeState(api, set, device, DICS_ENABLE))
        return false;
    std::this_thread::sleep_for(kRestartPause);
    return true;
}

int32_t installModem(const char* infPath, const char* hardwareIdText, const char* portText,
                     const uint32_t* maxPortSpeed, char* friendlyName)
{
    auto hardwareId = zantal::boundedString(hardwareIdText, kMaxHardwareId);
    auto port = zantal::boundedString(portText, kMaxPortName);
    if (!infPath || !hardwareId || !port || !maxPortSpeed || !friendlyName)
        return 0;
    const zantal::SetupApi* api = zantal::bindSetupApi();
    if (!api)
        return 0;
    zantal::PresentModems modems(*api);
    if (!modems.valid())
        return 0;
    HDEVINFO set = modems.set();
    if (!api->BuildDriverInfoList(set, nullptr, SPDIT_CLASSDRIVER))
        return 0;

    SP_DRVINFO_DATA_V1_A driver;
    if (!zantal::readDriverDescription(*api, infPath, *hardwareId, driver))
        return 0;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    const std::string id(*hardwareId);
    bool installed = false;
    {
        // Number, keys, name, shared count, port and speed are one step of
        // the store: concurrent installers each get a device of their own
        // and the file is written once. What a failed step left stays, as
        // on the original host; the restart's waits stay outside the step.
        RegTransaction writing(true);
        if (writing.status() != ERROR_SUCCESS)
            return 0;
        installed =
            api->CreateDeviceInfo(set, id.c_str(), &modems.classGuid(), driver.Description, nullptr,
                                  DICD_GENERATE_ID | DICD_INHERIT_CLASSDRVS, &device) &&
            api->SetSelectedDriver(set, &device, &driver) &&
            api->RegisterDeviceInfo(set, &device, SPRDI_FIND_DUPS, nullptr, nullptr, nullptr) &&
            api->CallClassInstaller(DIF_INSTALLDEVICE, set, &device) &&
            attachTo(*api, set, device, *port) && setMaximumSpeed(*api, set, device, *maxPortSpeed);
        if (writing.commit() != ERROR_SUCCESS)
            return 0;
    }
    if (!installed || !restart(*api, set, device))
        return 0;

    auto name = modems.stringProperty(device, SPDRP_FRIENDLYNAME, zantal::kNameBuffer);
    if (!name || !zantal::copyFitting(friendlyName, zantal::kNameBuffer, *name)) {
        friendlyName[0] = '\0';
        return 0;
    }
    return 1;
}

} // namespace

extern "C" int32_t ZANTAL_InstallModem(const char* infPath, uint32_t, const char* hardwareId,
                                       const char* port, const uint32_t* maxPortSpeed,
                                       char* friendlyName)
{
    return guarded(
        [&] { return installModem(infPath, hardwareId, port, maxPortSpeed, friendlyName); },
        int32_t{0});
}
