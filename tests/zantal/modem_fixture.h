// A store with the sample modem INF in its driver directory, and a quick way
// to have a modem present without the restart pauses of a full install.
#pragma once

#include "setupapi.h"
#include "store_fixture.h"

#include <vector>

namespace zantal_test {

inline constexpr const char* kSampleInf = R"INF(; Modems of our own for the installation tests.
[Version]
Signature = "$Windows NT$"
Class     = Modem
ClassGUID = {4D36E96D-E325-11CE-BFC1-08002BE10318}
Provider  = %Provider%

[Manufacturer]
%Maker% = Models, NTamd64

[Models.NTamd64]
%ModemA% = ModemA, ZNT_GSM_A
%ModemB% = ModemB, ZNT_GSM_B, ZNT_GSM_COMPAT
%NoDcb%  = NoDcb,  ZNT_GSM_NODCB

[ModemA]
AddReg = Common, ModemA.AddReg

[ModemB]
AddReg = Common, ModemA.AddReg

[NoDcb]
AddReg = Common

[Common]
HKR,,ResponsesKeyName,,"%ModemA%::%Maker%::Sample"
HKR,Init,1,,"AT<cr>"
HKR,Responses,"OK<cr><lf>",1,00,00,00,00,00,00,00,00
HKR,,MaximumPortSpeed,0x10001,57600

[ModemA.AddReg]
HKR,,DCB,1, 1C,00,00,00, 00,E1,00,00, 15,20,00,00, 00,00, 0a,00, 0a,00, 08, 00, 00, 11, 13, 00, 00, 00, 00,00

[Strings]
Provider = "Zantal Tests"
Maker    = "Sample Modems"
ModemA   = "Sample GSM Modem"
ModemB   = "Sample GSM Modem B"
NoDcb    = "Sample Modem Without DCB"
)INF";

inline constexpr const char* kResponses =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Unimodem\\DeviceSpecific";
inline constexpr const char* kSampleResponses = "Sample GSM Modem::Sample Modems::Sample";

class ModemStoreTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        writeFile(infPath(), kSampleInf);
    }

    std::string infPath() const { return root() + "/inf/sample.inf"; }

    static win::GUID modemClass()
    {
        win::GUID guid{};
        win::DWORD count = 0;
        EXPECT_TRUE(win::SetupDiClassGuidsFromNameA("Modem", &guid, 1, &count));
        return guid;
    }

    // Creates, registers and installs a modem the way the export does, minus
    // the port settings and the restart; returns its instance id.
    std::string quickInstall(const char* hardwareId)
    {
        using namespace win;
        const GUID guid = modemClass();
        HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT);
        EXPECT_TRUE(SetupDiBuildDriverInfoList(set, nullptr, SPDIT_CLASSDRIVER));
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        EXPECT_TRUE(SetupDiCreateDeviceInfoA(set, hardwareId, &guid, "", nullptr,
                                             DICD_GENERATE_ID | DICD_INHERIT_CLASSDRVS, &device));
        SP_DRVINFO_DATA_V1_A driver{};
        driver.cbSize = sizeof driver;
        driver.DriverType = SPDIT_CLASSDRIVER;
        std::strcpy(driver.Description, std::string(hardwareId) == "ZNT_GSM_B"
                                            ? "Sample GSM Modem B"
                                            : "Sample GSM Modem");
        std::strcpy(driver.MfgName, "Sample Modems");
        std::strcpy(driver.ProviderName, "Zantal Tests");
        EXPECT_TRUE(SetupDiSetSelectedDriverA(set, &device, &driver));
        EXPECT_TRUE(
            SetupDiRegisterDeviceInfo(set, &device, SPRDI_FIND_DUPS, nullptr, nullptr, nullptr));
        EXPECT_TRUE(SetupDiCallClassInstaller(DIF_INSTALLDEVICE, set, &device));
        SetupDiDestroyDeviceInfoList(set);
        auto ids = presentModems();
        return ids.empty() ? std::string() : ids.back();
    }

    static std::vector<std::string> presentModems()
    {
        std::vector<std::string> ids;
        win::RegKey root =
            win::RegKey::open(win::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Enum\\ROOT");
        for (const std::string& device : root.subkeys())
            for (const std::string& instance : win::RegKey::open(root.get(), device).subkeys())
                ids.push_back("ROOT\\" + device + "\\" + instance);
        return ids;
    }

    static win::RegKey deviceKey(const std::string& instance)
    {
        return win::RegKey::open(win::HKEY_LOCAL_MACHINE,
                                 "System\\CurrentControlSet\\Enum\\" + instance,
                                 win::KEY_ALL_ACCESS);
    }

    static win::RegKey driverKey(const std::string& instance)
    {
        auto driver = deviceKey(instance).string("Driver").value_or("missing");
        return win::RegKey::open(win::HKEY_LOCAL_MACHINE,
                                 "System\\CurrentControlSet\\Control\\Class\\" + driver,
                                 win::KEY_ALL_ACCESS);
    }
};

} // namespace zantal_test
