// The port settings a production program keeps: where they land, what a
// read gives without them, and values from the file that do not fit.
#include "cfc.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace cfctest;

namespace {

#ifdef _WIN32

// On Windows the two live in the registry, under the current hardware
// profile, where other tools of a production PC look for them.
TEST(PortSettings, KeptInTheRegistryAndReadBack)
{
    RegDeleteKeyA(HKEY_CURRENT_CONFIG, "KVX_Library");
    uint8_t port = 0;
    uint32_t baudRate = 0;
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 0) << "nothing stored yet";
    EXPECT_EQ(port, 1);
    EXPECT_EQ(baudRate, 115200u);

    ASSERT_EQ(WWritePortSettings(12, 9600), 1);
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 1);
    EXPECT_EQ(port, 12);
    EXPECT_EQ(baudRate, 115200u) << "the speed is stored, not read back";

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_CONFIG, "KVX_Library", 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD speed = 0, type = 0, size = sizeof speed;
    EXPECT_EQ(
        RegQueryValueExA(key, "Baudrate", nullptr, &type, reinterpret_cast<BYTE*>(&speed), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(speed, 9600u);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_CONFIG, "KVX_Library");
}

#else

std::string contentsOf(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PortSettings, WrittenToTheUsersConfigAndReadBack)
{
    ScopedTempCwd dir;
    const ScopedEnv config("XDG_CONFIG_HOME", (dir.path() / "config").string());
    uint8_t port = 0;
    uint32_t baudRate = 0;
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 0) << "nothing stored yet";
    EXPECT_EQ(port, 1);
    EXPECT_EQ(baudRate, 115200u);

    ASSERT_EQ(WWritePortSettings(7, 57600), 1);
    const auto file = dir.path() / "config" / "cfc" / "cfc.ini";
    EXPECT_EQ(contentsOf(file), "[KVX_Library]\nBaudrate=57600\nComPort=7\n");
    ASSERT_EQ(WWritePortSettings(12, 9600), 1);
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 1);
    EXPECT_EQ(port, 12);
    EXPECT_EQ(baudRate, 115200u) << "the speed is stored, not read back";
    // No temporary file is left beside it.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(file.parent_path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(PortSettings, ValuesThatDoNotFitAreNotTaken)
{
    ScopedTempCwd dir;
    const ScopedEnv config("XDG_CONFIG_HOME", dir.path().string());
    std::filesystem::create_directories(dir.path() / "cfc");
    std::ofstream(dir.path() / "cfc" / "cfc.ini") << "[KVX_Library]\nComPort=300\nBaudrate=x\n";
    uint8_t port = 0;
    uint32_t baudRate = 0;
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 0) << "a port beyond one byte";
    EXPECT_EQ(port, 1);

    std::ofstream(dir.path() / "cfc" / "cfc.ini") << "[KVX_Library]\nComPort=4\nBaudrate=x\n";
    EXPECT_EQ(WReadPortSettings(&port, &baudRate), 1);
    EXPECT_EQ(port, 4);
}

#endif

} // namespace
