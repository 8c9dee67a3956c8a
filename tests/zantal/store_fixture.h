// Every ZANTAL test runs over a store of its own: ZANTAL_ROOT points at a
// fresh temporary directory, ZANTAL_SYSFS_ROOT at a fake device tree that
// starts empty, and the port map's user file is kept out of reach. A system
// version a test names (ZANTAL_OS_VERSION) ends with the test.
#pragma once

#include "win/reg_key.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace zantal_test {

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zantal-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::filesystem::create_directories(sysfs() + "/class/tty");
        setenv("ZANTAL_ROOT", root().c_str(), 1);
        setenv("ZANTAL_SYSFS_ROOT", sysfs().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    }

    void TearDown() override
    {
        unsetenv("ZANTAL_ROOT");
        unsetenv("ZANTAL_SYSFS_ROOT");
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("ZANTAL_OS_VERSION");
        std::filesystem::remove_all(dir_);
    }

    std::string root() const { return dir_ + "/store"; }
    std::string sysfs() const { return dir_ + "/sys"; }
    const std::string& dir() const { return dir_; }

    // A tty in the fake device tree; `uartType` "" leaves the type out,
    // `usb` puts its device below a USB controller.
    void addTty(const std::string& name, const std::string& uartType, bool usb = false)
    {
        namespace fs = std::filesystem;
        const std::string device =
            sysfs() +
            (usb ? "/devices/pci0000:00/usb1/1-1/1-1:1.0/" : "/devices/platform/serial8250/") +
            name;
        fs::create_directories(device);
        const std::string tty = sysfs() + "/class/tty/" + name;
        fs::create_directories(tty);
        fs::create_directory_symlink(device, tty + "/device");
        if (!uartType.empty())
            std::ofstream(tty + "/type") << uartType << "\n";
    }

    static win::RegKey key(const std::string& path)
    {
        return win::RegKey::create(win::HKEY_LOCAL_MACHINE, path);
    }

    static void writeFile(const std::string& path, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

private:
    std::string dir_;
};

} // namespace zantal_test
