// The port probe behind the GUI's list: which device paths count as serial
// ports that are there. It must decide without opening anything, so the
// sysfs side is tried against a tree built by the test.
#include "plat/port_probe.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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

// The kernel's console as sysfs names it: class/tty/console/active lists the
// devices, and each tty's "dev" gives its number. /dev/null (1:3) stands in
// for the console's device, as no test may touch a real one.
class KernelConsole : public PortProbe {
protected:
    std::string consoleTree(const std::string& active,
                            const std::vector<std::pair<std::string, std::string>>& ttys)
    {
        const fs::path root = dir_ / ("sys-" + std::to_string(++trees_));
        const fs::path classDir = root / "class" / "tty";
        fs::create_directories(classDir / "console");
        std::ofstream(classDir / "console" / "dev") << "5:1\n";
        if (!active.empty())
            std::ofstream(classDir / "console" / "active") << active << '\n';
        for (const auto& [name, dev] : ttys) {
            fs::create_directories(classDir / name);
            std::ofstream(classDir / name / "dev") << dev << '\n';
        }
        return root.string();
    }
};

TEST_F(KernelConsole, ListedDeviceIsTheConsoleUnderAnyName)
{
    using plat::detail::isKernelConsole;
    const std::string root = consoleTree("ttyS1 ttyS0", {{"ttyS0", "1:3"}, {"ttyS1", "4:65"}});
    EXPECT_TRUE(isKernelConsole("/dev/null", root));
    // A stable name of the same device, as /dev/serial/by-id gives one.
    const fs::path link = dir_ / "by-id-port0";
    fs::create_symlink("/dev/null", link);
    EXPECT_TRUE(isKernelConsole(link.string(), root));
    // Another device, and what is no device at all.
    EXPECT_FALSE(isKernelConsole("/dev/zero", root));
    EXPECT_FALSE(isKernelConsole((dir_ / "missing").string(), root));
    EXPECT_FALSE(isKernelConsole(dir_.string(), root));
}

TEST_F(KernelConsole, Tty0StandsForTheVirtualConsoleInFront)
{
    using plat::detail::isKernelConsole;
    std::string root = consoleTree("tty0", {{"tty0", "4:0"}, {"tty5", "1:3"}});
    std::ofstream(fs::path(root) / "class" / "tty" / "tty0" / "active") << "tty5\n";
    EXPECT_TRUE(isKernelConsole("/dev/null", root));
    // With another one in front, this device is no console.
    std::ofstream(fs::path(root) / "class" / "tty" / "tty0" / "active") << "tty6\n";
    EXPECT_FALSE(isKernelConsole("/dev/null", root));
}

TEST_F(KernelConsole, NothingListedOrNamesLeadingOutsideAreNoConsole)
{
    using plat::detail::isKernelConsole;
    EXPECT_FALSE(isKernelConsole("/dev/null", consoleTree("", {{"ttyS0", "1:3"}})));
    EXPECT_FALSE(isKernelConsole("/dev/null", (dir_ / "empty").string()));
    // An entry with a path in it is not followed, a "dev" that is no number
    // is not taken.
    const std::string root = consoleTree("../../devnull ttyS0", {{"ttyS0", "garbage"}});
    fs::create_directories(fs::path(root) / "devnull");
    std::ofstream(fs::path(root) / "devnull" / "dev") << "1:3\n";
    EXPECT_FALSE(isKernelConsole("/dev/null", root));
}

} // namespace
