// Dial-up entries through the exports, and the phone book's size rule.
#include "store_fixture.h"
#include "win/rasapi.h"
#include "zantal.h"

#include <memory>

namespace zantal_test {
namespace {

std::unique_ptr<win::RASENTRYA> readEntry(const char* name,
                                          win::DWORD declared = sizeof(win::RASENTRYA))
{
    auto entry = std::make_unique<win::RASENTRYA>();
    entry->dwSize = declared;
    win::DWORD size = declared;
    if (win::RasGetEntryPropertiesA(nullptr, name, entry.get(), &size, nullptr, nullptr) != 0)
        return nullptr;
    return entry;
}

using RasTest = StoreTest;

TEST_F(RasTest, AddWritesAPhoneEntryForTheModem)
{
    ASSERT_EQ(ZANTAL_AddRasEntry("Module GPRS", "Sample GSM Modem", "*99***1#"), 1);
    auto entry = readEntry("module gprs");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->dwfOptions, 0x04000308u);
    EXPECT_STREQ(entry->szLocalPhoneNumber, "*99***1#");
    EXPECT_EQ(entry->dwfNetProtocols, 4u);
    EXPECT_EQ(entry->dwFramingProtocol, 1u);
    EXPECT_STREQ(entry->szDeviceType, "modem");
    EXPECT_STREQ(entry->szDeviceName, "Sample GSM Modem");
    EXPECT_EQ(entry->dwSubEntries, 1u);
    EXPECT_EQ(entry->dwType, 1u);
    EXPECT_EQ(entry->dwEncryptionType, 3u);
    EXPECT_EQ(entry->dwfOptions2, 1u);
    EXPECT_EQ(entry->dwRedialPause, 1u);

    char device[129] = "untouched";
    EXPECT_EQ(ZANTAL_GetRasDevice("Module GPRS", device), 1);
    EXPECT_STREQ(device, "Sample GSM Modem");
}

TEST_F(RasTest, SecondAddReplacesTheEntry)
{
    ASSERT_EQ(ZANTAL_AddRasEntry("Module GPRS", "Modem", "111"), 1);
    ASSERT_EQ(ZANTAL_AddRasEntry("MODULE GPRS", "Modem", "222"), 1);
    EXPECT_STREQ(readEntry("Module GPRS")->szLocalPhoneNumber, "222");
    EXPECT_EQ(ZANTAL_DeleteRasEntry("Module GPRS"), 1);
    EXPECT_FALSE(readEntry("Module GPRS")); // there was only one
}

TEST_F(RasTest, MissingEntriesFailWithoutTouchingTheBuffer)
{
    char device[129] = "untouched";
    EXPECT_EQ(ZANTAL_GetRasDevice("Nothing", device), 0);
    EXPECT_STREQ(device, "untouched");
    EXPECT_EQ(ZANTAL_DeleteRasEntry("Nothing"), 0);
    ZANTAL_AddRasEntry("Other", "Modem", "1");
    EXPECT_EQ(ZANTAL_DeleteRasEntry("Nothing"), 0);
    EXPECT_EQ(ZANTAL_GetRasDevice("Nothing", device), 0);
    EXPECT_EQ(ZANTAL_AddRasEntry("", "Modem", "1"), 0);
    EXPECT_EQ(ZANTAL_AddRasEntry("Bad\nName", "Modem", "1"), 0);
}

TEST_F(RasTest, OverlongTextIsCutToTheRecordsRoom)
{
    const std::string device(300, 'D');
    const std::string number(300, '9');
    ASSERT_EQ(ZANTAL_AddRasEntry("Long", device.c_str(), number.c_str()), 1);
    char out[129];
    ASSERT_EQ(ZANTAL_GetRasDevice("Long", out), 1);
    EXPECT_EQ(std::string(out), device.substr(0, 128));
    EXPECT_EQ(std::string(readEntry("Long")->szLocalPhoneNumber), number.substr(0, 128));
}

TEST_F(RasTest, OnlyFieldsWithinTheDeclaredSizeReachThePhoneBook)
{
    auto entry = std::make_unique<win::RASENTRYA>();
    entry->dwSize = 1768;
    std::strcpy(entry->szDeviceName, "Modem");
    entry->dwSubEntries = 1;
    entry->dwRedialPause = 7;
    ASSERT_EQ(win::RasSetEntryPropertiesA(nullptr, "Old", entry.get(), 1768, nullptr, 0), 0u);
    auto back = readEntry("Old");
    ASSERT_TRUE(back);
    EXPECT_STREQ(back->szDeviceName, "Modem");
    EXPECT_EQ(back->dwSubEntries, 0u);
    EXPECT_EQ(back->dwRedialPause, 0u);

    entry->dwSize = 1000; // no record of that size exists
    EXPECT_NE(win::RasSetEntryPropertiesA(nullptr, "Odd", entry.get(), 1000, nullptr, 0), 0u);
}

// Windows 2000 alone gets the shorter record, which leaves the fields past
// the device name out of the phone book; every other system the full one.
TEST_F(RasTest, OnlyWindows2000WritesTheShortRecord)
{
    const struct {
        const char* system;
        bool shortRecord;
    } cases[] = {
        {"nt:5.0", true},   {"nt:5.0:basic", true}, {"nt:4.0", false}, {"nt:3.51", false},
        {"nt:5.1", false},  {"nt:5.2", false},      {"nt:6.1", false}, {"win:4.10", false},
        {"win:5.0", false}, {"nt:5", false},        {nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system ? c.system : "the running kernel");
        if (c.system)
            setenv("ZANTAL_OS_VERSION", c.system, 1);
        else
            unsetenv("ZANTAL_OS_VERSION");
        ASSERT_EQ(ZANTAL_AddRasEntry("Module GPRS", "Modem", "*99#"), 1);
        auto entry = readEntry("Module GPRS");
        ASSERT_TRUE(entry);
        EXPECT_STREQ(entry->szDeviceName, "Modem");
        EXPECT_EQ(entry->dwfOptions2, c.shortRecord ? 0u : 1u);
        EXPECT_EQ(entry->dwRedialPause, c.shortRecord ? 0u : 1u);

        char device[129] = "untouched";
        EXPECT_EQ(ZANTAL_GetRasDevice("Module GPRS", device), 1);
        EXPECT_STREQ(device, "Modem");
    }
}

} // namespace
} // namespace zantal_test
