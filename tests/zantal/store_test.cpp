// The registry store under the installation calls: what it keeps, what it
// refuses, and that a broken file is never made worse.
#include "store_fixture.h"
#include "win/registry.h"
#include "win/store.h"

#include <filesystem>

namespace zantal_test {
namespace {

using namespace win;
using RegistryStoreTest = StoreTest;

TEST_F(RegistryStoreTest, ValuesSurviveTheFileWhateverTheirBytes)
{
    const std::string awkward("a b%c\n\0\xff=:", 11);
    {
        RegKey k = key("Software\\Test\\Deep");
        ASSERT_TRUE(k.setRaw("name with spaces %", REG_BINARY, awkward));
        ASSERT_TRUE(k.setDword("", 42));
    }
    RegKey again = RegKey::open(HKEY_LOCAL_MACHINE, "SOFTWARE\\test\\deep");
    ASSERT_TRUE(again.valid());
    DWORD type = 0;
    EXPECT_EQ(again.raw("NAME WITH SPACES %", &type), awkward);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(again.dword(""), 42u);

    // Only the store file and its lock are left in the root: no temporaries.
    for (const auto& entry : std::filesystem::directory_iterator(root()))
        EXPECT_TRUE(entry.path().filename() == "registry.txt" ||
                    entry.path().filename() == "registry.txt.lock")
            << entry.path();
}

TEST_F(RegistryStoreTest, BuffersAreNeverOverrun)
{
    key("K").setString("LongName", "0123456789");
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &k), ERROR_SUCCESS);
    char name[5] = "####";
    char data[20] = {};
    DWORD nameLength = 4, dataSize = sizeof data;
    EXPECT_EQ(RegEnumValueA(k, 0, name, &nameLength, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(data), &dataSize),
              ERROR_MORE_DATA);
    EXPECT_STREQ(name, "####");
    BYTE small[4] = {};
    DWORD size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(k, "LongName", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(RegSetValueExA(k, "x", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_ACCESS_DENIED);
    RegCloseKey(k);
}

TEST_F(RegistryStoreTest, KeysWithSubkeysGoOnlyAsATree)
{
    key("Parent\\Child\\Grandchild");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Parent"), ERROR_ACCESS_DENIED);
    RegKey child = RegKey::open(HKEY_LOCAL_MACHINE, "Parent\\Child");
    EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Parent"), ERROR_SUCCESS);
    EXPECT_FALSE(child.string("anything"));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(child.get(), "anything", nullptr, nullptr, nullptr, &size),
              ERROR_KEY_DELETED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Parent", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(uintptr_t{0x77})), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryStoreTest, CorruptStoreIsReportedAndLeftAsItIs)
{
    key("K").setString("v", "1");
    const std::string file = root() + "/registry.txt";
    writeFile(file, "not a store\n");
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "K", 0, KEY_READ, &k), ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                              nullptr),
              ERROR_REGISTRY_CORRUPT);
    std::string text;
    ASSERT_TRUE(readWholeFile(file, text, 1000));
    EXPECT_EQ(text, "not a store\n");
}

} // namespace
} // namespace zantal_test
