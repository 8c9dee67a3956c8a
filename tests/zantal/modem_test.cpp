// Installing and removing modems, and the friendly-name queries, through the
// exports over the sample INF.
#include "modem_fixture.h"
#include "run_as.h"
#include "zantal.h"

#include <chrono>
#include <filesystem>

namespace zantal_test {
namespace {

using Clock = std::chrono::steady_clock;

class InstallTest : public ModemStoreTest {
protected:
    int32_t install(const char* id, const char* port = "COM3", uint32_t speed = 115200)
    {
        return ZANTAL_InstallModem(inf_.c_str(), 0xDEADBEEF, id, port, &speed, friendly_);
    }
    void SetUp() override
    {
        ModemStoreTest::SetUp();
        inf_ = infPath();
        std::strcpy(friendly_, "untouched");
    }
    std::string inf_;
    char friendly_[260];
};

TEST_F(InstallTest, InstallsAttachesRestartsAndNamesTheModem)
{
    const auto start = Clock::now();
    ASSERT_EQ(install("ZNT_GSM_A", "COM3", 230400), 1);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(2000)); // the two restart pauses
    EXPECT_STREQ(friendly_, "Sample GSM Modem");

    auto ids = presentModems();
    ASSERT_EQ(ids.size(), 1u);
    win::RegKey driver = driverKey(ids[0]);
    EXPECT_EQ(driver.string("AttachedTo"), "COM3");
    EXPECT_EQ(driver.dword("MaximumPortSpeed"), 230400u);
    auto dcb = driver.raw("DCB");
    ASSERT_TRUE(dcb);
    EXPECT_EQ(dcb->size(), 28u);
    EXPECT_EQ(win::readLe32(*dcb, 4), 230400u);
    EXPECT_EQ(win::readLe32(*dcb, 8), 0x2015u); // the rest of the record as the INF wrote it
    EXPECT_EQ(deviceKey(ids[0]).multiString("HardwareID"), std::vector<std::string>{"ZNT_GSM_A"});
    EXPECT_EQ(deviceKey(ids[0]).dword("CSConfigFlags"), 0u); // enabled again after the restart

    char port[260] = "x";
    char speed[12] = "x";
    EXPECT_EQ(ZANTAL_GetAttachedToByFriendlyName("sample gsm MODEM", port), 1);
    EXPECT_STREQ(port, "COM3");
    EXPECT_EQ(ZANTAL_GetMaximumPortSpeedByFriendlyName("Sample GSM Modem", speed), 1);
    EXPECT_STREQ(speed, "230400");
}

TEST_F(InstallTest, HardwareIdMustMatchTheInfExactly)
{
    EXPECT_EQ(install("znt_gsm_a"), 0);
    EXPECT_EQ(install("ZNT_GSM_COMPAT"), 0); // only the first ID of a model line counts
    EXPECT_EQ(install(std::string(600, 'A').c_str()), 0);
    EXPECT_EQ(install(""), 0);
    EXPECT_STREQ(friendly_, "untouched");
    EXPECT_TRUE(presentModems().empty());
}

TEST_F(InstallTest, BrokenInfFilesFailBeforeAnythingIsCreated)
{
    const std::string broken = root() + "/broken.inf";
    writeFile(
        broken,
        "[Version]\nSignature=\"$Windows NT$\"\n[Manufacturer]\nM=Models\n[Models]\nD=S,ZNT_GSM_A\n");
    inf_ = broken; // no Provider
    EXPECT_EQ(install("ZNT_GSM_A"), 0);
    writeFile(broken, "[Version]\nSignature=\"$Windows NT$\"\nProvider=P\n");
    EXPECT_EQ(install("ZNT_GSM_A"), 0); // no Manufacturer section
    writeFile(
        broken,
        "[Version]\nSignature=\"$Windows NT$\"\nProvider=P\n[Manufacturer]\nM=Models\n[Models.NTarm]\n"
        "D=S,ZNT_GSM_A\n");
    EXPECT_EQ(install("ZNT_GSM_A"), 0); // no models section this reader knows
    writeFile(broken, "[Version]\nProvider=P\n[Manufacturer]\nM=Models\n[Models]\nD=S,ZNT_GSM_A\n");
    EXPECT_EQ(install("ZNT_GSM_A"), 0); // not a setup file of the right style
    inf_ = root() + "/missing.inf";
    EXPECT_EQ(install("ZNT_GSM_A"), 0);
    EXPECT_TRUE(presentModems().empty());
}

TEST_F(InstallTest, MissingDcbFailsAfterTheDeviceWasInstalled)
{
    EXPECT_EQ(install("ZNT_GSM_NODCB"), 0);
    ASSERT_EQ(presentModems().size(), 1u); // nothing is undone
    EXPECT_EQ(driverKey(presentModems()[0]).string("AttachedTo"), "COM3");
    EXPECT_STREQ(friendly_, "untouched");
}

TEST_F(InstallTest, PlainModelsSectionComesBeforeDecoratedOnes)
{
    // The plain section wins though a 64-bit one names the same ID.
    std::string text(kSampleInf);
    text.replace(text.find("Models, NTamd64"), 15, "Models");
    text += "[Models]\n%ModemB% = ModemA, ZNT_GSM_A\n";
    writeFile(root() + "/inf/sample.inf", text);
    ASSERT_EQ(install("ZNT_GSM_A"), 1);
    EXPECT_STREQ(friendly_, "Sample GSM Modem B");
}

TEST_F(InstallTest, QueriesNeedAPresentModemAndItsValues)
{
    char port[260] = "untouched";
    char speed[12] = "untouched";
    EXPECT_EQ(ZANTAL_GetAttachedToByFriendlyName("Sample GSM Modem", port), 0);
    EXPECT_STREQ(port, "untouched");

    const std::string id = quickInstall("ZNT_GSM_A"); // no AttachedTo written
    driverKey(id).setRaw("MaximumPortSpeed", win::REG_DWORD, std::string("\x01\x02", 2));
    EXPECT_EQ(ZANTAL_GetAttachedToByFriendlyName("Sample GSM Modem", port), 0);
    EXPECT_STREQ(port, "");
    EXPECT_EQ(ZANTAL_GetMaximumPortSpeedByFriendlyName("Sample GSM Modem", speed), 0);
    EXPECT_STREQ(speed, "");

    driverKey(id).setRaw("AttachedTo", win::REG_BINARY, std::string(260, 'C')); // no zero anywhere
    driverKey(id).setDword("MaximumPortSpeed", 0xFFFFFFFFu);
    EXPECT_EQ(ZANTAL_GetAttachedToByFriendlyName("Sample GSM Modem", port), 0);
    EXPECT_EQ(ZANTAL_GetMaximumPortSpeedByFriendlyName("Sample GSM Modem", speed), 1);
    EXPECT_STREQ(speed, "-1");
}

// The driver key is machine-wide and the queries ask for full access to it:
// a process that may not change the machine's keys reads everything else
// but gets no answer, even one whose administrator group is deny-only.
TEST_F(InstallTest, QueriesNeedTheRightToChangeTheMachinesKeys)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "changing users needs root";
    const std::string id = quickInstall("ZNT_GSM_A");
    driverKey(id).setString("AttachedTo", "COM3");
    const std::string driverPath = "System\\CurrentControlSet\\Control\\Class\\" +
                                   deviceKey(id).string("Driver").value_or("missing");
    // Readable by everyone, as the machine's keys are; still root's.
    namespace fs = std::filesystem;
    constexpr auto kReadable = fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(dir(), kReadable, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(dir()))
        fs::permissions(entry.path(), kReadable, fs::perm_options::add);

    // Bits of the child's exit code: 1 admin rights reported, 2 the query
    // answered, 4 the driver key opened for reading, 8 for full access.
    const auto check = [&] {
        char port[260] = "untouched";
        int bits = ZANTAL_HasAdminRights();
        bits |= ZANTAL_GetAttachedToByFriendlyName("Sample GSM Modem", port) ? 2 : 0;
        const auto opens = [&](win::REGSAM access) {
            return win::RegKey::open(win::HKEY_LOCAL_MACHINE, driverPath, access).valid();
        };
        bits |= opens(win::KEY_READ) ? 4 : 0;
        bits |= opens(win::KEY_ALL_ACCESS) ? 8 : 0;
        return bits;
    };
    EXPECT_EQ(check(), 1 | 2 | 4 | 8);
    EXPECT_EXIT(runAs({kNobody}, check), ::testing::ExitedWithCode(4), "");
    EXPECT_EXIT(runAs({kNobody, 0}, check), ::testing::ExitedWithCode(1 | 4), "");
}

using RemoveTest = ModemStoreTest;

TEST_F(RemoveTest, ByIdListRemovesWhatIsPresentIgnoringCase)
{
    quickInstall("ZNT_GSM_A");
    quickInstall("ZNT_GSM_B");
    EXPECT_EQ(ZANTAL_DeinstallModemByID("ZNT_ABSENT,znt_gsm_b"), 1);
    ASSERT_EQ(presentModems().size(), 1u);
    EXPECT_EQ(deviceKey(presentModems()[0]).multiString("HardwareID")[0], "ZNT_GSM_A");
    EXPECT_EQ(ZANTAL_DeinstallModemByID(""), 1);
    EXPECT_EQ(ZANTAL_DeinstallModemByID(",,"), 1);

    // Over 519 characters the list is refused whole, not cut.
    const std::string tooLong = "ZNT_GSM_A," + std::string(510, 'X');
    EXPECT_EQ(ZANTAL_DeinstallModemByID(tooLong.c_str()), 0);
    EXPECT_EQ(presentModems().size(), 1u);
    EXPECT_EQ(ZANTAL_DeinstallModemByID(nullptr), 0);
}

TEST_F(RemoveTest, ResponseKeyCountsItsModems)
{
    const std::string first = quickInstall("ZNT_GSM_A");
    quickInstall("ZNT_GSM_B");
    win::RegKey shared = key(std::string(kResponses) + "\\" + kSampleResponses);
    EXPECT_EQ(shared.dword("RefCount"), 2u); // the installer counts its users
    shared.setDword("RefCount", 3);
    key(std::string(kResponses) + "\\" + kSampleResponses + "\\Settings\\Deeper\\Still");

    EXPECT_EQ(ZANTAL_DeinstallModemByID("ZNT_GSM_A"), 1);
    EXPECT_EQ(shared.dword("RefCount"), 2u);
    shared.setDword("RefCount", 1);
    EXPECT_EQ(ZANTAL_DeinstallModemByFriendlyName("SAMPLE GSM MODEM B"), 1);
    EXPECT_FALSE(win::RegKey::open(win::HKEY_LOCAL_MACHINE,
                                   std::string(kResponses) + "\\" + kSampleResponses)
                     .valid());
    EXPECT_TRUE(win::RegKey::open(win::HKEY_LOCAL_MACHINE, kResponses).valid());
    EXPECT_TRUE(presentModems().empty());
    EXPECT_FALSE(driverKey(first).valid());
}

TEST_F(RemoveTest, UnsafeResponseKeyNamesAreLeftAlone)
{
    const std::string id = quickInstall("ZNT_GSM_A");
    key(std::string(kResponses)).setDword("RefCount", 1);
    key(std::string(kResponses) + "\\Other").setDword("RefCount", 1);
    driverKey(id).setString("ResponsesKeyName", "");
    EXPECT_EQ(ZANTAL_DeinstallModemByID("ZNT_GSM_A"), 1);
    EXPECT_TRUE(
        win::RegKey::open(win::HKEY_LOCAL_MACHINE, std::string(kResponses) + "\\Other").valid());
}

TEST_F(RemoveTest, RefusedRemovalFailsByIdButCountsAsFoundByName)
{
    const std::string id = quickInstall("ZNT_GSM_A");
    deviceKey(id).setDword("RefuseRemove", 1);
    EXPECT_EQ(ZANTAL_DeinstallModemByID("ZNT_GSM_A"), 0);
    EXPECT_EQ(ZANTAL_DeinstallModemByFriendlyName("Sample GSM Modem"), 1);
    EXPECT_EQ(presentModems().size(), 1u);
    EXPECT_EQ(ZANTAL_DeinstallModemByFriendlyName("No Such Modem"), 0);
    EXPECT_EQ(ZANTAL_DeinstallModemByFriendlyName(std::string(300, 'S').c_str()), 0);
}

} // namespace
} // namespace zantal_test
