// The port probe behind the GUI's list: which device paths count as serial
// ports that are there. It must decide without opening anything, so the
// sysfs side is tried against a tree built by the test.
#include "plat/port_probe.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <pty.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class PortProbe : public ::testing::Test {
protected:
    // A sysfs tree in which /dev/null (1:3) is described as the test says.
    std::string fakeSysfs(const std::string& subsystem, bool withDevice, const char* uartType)
    {
        const fs::path root = dir_ / ("sys-" + std::to_string(++trees_));
        const fs::path node = root / "dev" / "char" / "1:3";
        fs::create_directories(node);
        fs::create_directories(root / "devices" / "port");
        fs::create_symlink("../../class/" + subsystem, node / "subsystem");
        if (withDevice)
            fs::create_directory_symlink(root / "devices" / "port", node / "device");
        if (uartType)
            std::ofstream(node / "type") << uartType << '\n';
        return root.string();
    }

    kestrixtest::TempDir temp_{"port-probe"};
    const fs::path& dir_ = temp_.path();
    int trees_ = 0;
};

TEST_F(PortProbe, PseudoTerminalCountsWhileItsMasterIsOpen)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    EXPECT_TRUE(plat::serialPortPresent(name)) << name;
    ::close(master);
    EXPECT_FALSE(plat::serialPortPresent(name)) << name;
}

TEST_F(PortProbe, WhatIsNoCharacterDeviceNeverCounts)
{
    const fs::path file = dir_ / "file";
    std::ofstream(file) << "x";
    EXPECT_FALSE(plat::serialPortPresent(file.string()));
    EXPECT_FALSE(plat::serialPortPresent(dir_.string()));
    EXPECT_FALSE(plat::serialPortPresent((dir_ / "missing").string()));
    EXPECT_FALSE(plat::serialPortPresent(""));
    EXPECT_FALSE(plat::serialPortPresent("virtual:line"));
    // A character device of another kind, as the real sysfs describes it.
    EXPECT_FALSE(plat::serialPortPresent("/dev/null"));
}

TEST_F(PortProbe, SysfsDecidesForOtherCharacterDevices)
{
    using plat::detail::serialPortPresent;
    // A UART the driver found, and a line where none answered.
    EXPECT_TRUE(serialPortPresent("/dev/null", fakeSysfs("tty", true, "4")));
    EXPECT_FALSE(serialPortPresent("/dev/null", fakeSysfs("tty", true, "0")));
    EXPECT_FALSE(serialPortPresent("/dev/null", fakeSysfs("tty", true, "garbage")));
    // An adapter port: no UART type, there while its device is.
    EXPECT_TRUE(serialPortPresent("/dev/null", fakeSysfs("tty", true, nullptr)));
    // A tty with no device behind it (a virtual console), and no tty at all.
    EXPECT_FALSE(serialPortPresent("/dev/null", fakeSysfs("tty", false, nullptr)));
    EXPECT_FALSE(serialPortPresent("/dev/null", fakeSysfs("mem", true, nullptr)));
    // Nothing registered for the device number.
    EXPECT_FALSE(serialPortPresent("/dev/null", (dir_ / "empty").string()));
}

} // namespace
