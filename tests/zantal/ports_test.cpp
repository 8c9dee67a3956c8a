// Port lists and the speed probe, through the exports.
#include "store_fixture.h"
#include "zantal.h"

#include "plat/serial.h"

#include <cstring>
#include <dirent.h>
#include <pty.h>
#include <unistd.h>

namespace zantal_test {
namespace {

const char* kSerialMap = "Hardware\\DeviceMap\\SerialComm";

struct PortList {
    std::string text;
    int32_t count;
};

PortList ports(uint32_t bufferSize, bool usb = false)
{
    std::string buffer(bufferSize + 1, '#');
    int32_t count = -1;
    if (usb)
        ZANTAL_FindAllHardwareUSBPorts(buffer.data(), bufferSize, &count);
    else
        ZANTAL_FindAllHardwarePorts(buffer.data(), bufferSize, &count);
    EXPECT_EQ(buffer[bufferSize], '#') << "written past the buffer";
    return {buffer.c_str(), count};
}

using PortListTest = StoreTest;

TEST_F(PortListTest, RealUartsOnlyAndTheBufferDecidesWhatFits)
{
    addTty("ttyS0", "4");
    addTty("ttyS1", "0"); // a placeholder slot without a UART
    addTty("ttyS3", "4");
    std::filesystem::create_directories(sysfs() + "/class/tty/tty0"); // no device behind it

    PortList ten = ports(10);
    EXPECT_EQ(ten.text, "COM1,COM4");
    EXPECT_EQ(ten.count, 2);
    PortList nine = ports(9);
    EXPECT_EQ(nine.text, "COM1");
    EXPECT_EQ(nine.count, 1);
    PortList usb = ports(64, true);
    EXPECT_EQ(usb.text, "");
    EXPECT_EQ(usb.count, 0);
}

TEST_F(PortListTest, UsbPortsAreKnownByTheirDeviceName)
{
    addTty("ttyS0", "4");
    addTty("ttyUSB0", "", true);
    addTty("ttyACM0", "", true);
    key(kSerialMap).setString("\\Device\\myUsbSerial", "COM40");

    EXPECT_EQ(ports(64).text, "COM1");
    PortList usb = ports(64, true);
    // Stored entries first, then the kernel's, each under its lowest COM number.
    EXPECT_EQ(usb.text, "COM40,COM5,COM21");
    EXPECT_EQ(usb.count, 3);
}

TEST_F(PortListTest, NamesAreTakenAsStoredAndFiltered)
{
    win::RegKey map = key(kSerialMap);
    map.setString("\\Device\\Serial7", "com7");
    map.setString("VMDMD0", "COM9");              // a virtual modem port
    map.setString("\\Device\\Parallel0", "LPT1"); // not a COM port
    map.setString("\\Device\\Serial4", "COM4");
    map.setString("\\Device\\Serial5", "COM5,COM6"); // a comma would split the entry
    map.setRaw("\\Device\\Long", win::REG_SZ, "COM" + std::string(300, '8'));
    map.setRaw("\\Device\\Serial2", win::REG_BINARY, "COM2"); // no terminating zero
    key("System\\CurrentControlSet\\Services\\OrvlCom\\Settings\\com4");

    PortList all = ports(64);
    EXPECT_EQ(all.text, "com7,COM2");
    EXPECT_EQ(all.count, 2);
}

TEST_F(PortListTest, NoBufferNoList)
{
    addTty("ttyS0", "4");
    int32_t count = -1;
    ZANTAL_FindAllHardwarePorts(nullptr, 64, &count);
    EXPECT_EQ(count, 0);
    char one[1] = {'#'};
    ZANTAL_FindAllHardwarePorts(one, 0, &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(one[0], '#');
    ZANTAL_FindAllHardwarePorts(one, 1, &count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(one[0], '\0');
}

class SpeedProbeTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        char name[64];
        int slave = -1;
        ASSERT_EQ(openpty(&master_, &slave, name, nullptr, nullptr), 0);
        close(slave);
        slave_ = name;
        setenv("CFC_COM200", slave_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("CFC_COM200");
        close(master_);
        StoreTest::TearDown();
    }

    // How many of this process's descriptors are open on the pty's slave.
    int slaveDescriptors() const
    {
        int found = 0;
        DIR* fds = opendir("/proc/self/fd");
        while (dirent* e = readdir(fds)) {
            char target[256] = {};
            std::string link = std::string("/proc/self/fd/") + e->d_name;
            if (readlink(link.c_str(), target, sizeof target - 1) > 0 && slave_ == target)
                ++found;
        }
        closedir(fds);
        return found;
    }

    int master_ = -1;
    std::string slave_;
};

// A pseudo-terminal has no modem lines, so it refuses the DTR the probe asks
// for with the very first speed; the other outcomes are covered over a fake
// port in speed_probe_test.cpp.
TEST_F(SpeedProbeTest, PseudoTerminalAcceptsNoSpeedAndIsLeftClosed)
{
    char speed[7] = "xxxxx";
    EXPECT_EQ(ZANTAL_GetMaxComPortSpeed("COM200", speed), 1);
    EXPECT_STREQ(speed, "");
    EXPECT_EQ(slaveDescriptors(), 0);
    int error = 0;
    EXPECT_TRUE(plat::openSerialPort(slave_, &error)) << "still held: " << error;
}

TEST_F(SpeedProbeTest, BusyOrMissingPortLeavesTheBufferAlone)
{
    int error = 0;
    auto holder = plat::openSerialPort(slave_, &error);
    ASSERT_TRUE(holder) << error;
    char speed[7] = "xxxxx";
    EXPECT_EQ(ZANTAL_GetMaxComPortSpeed("COM200", speed), 2);
    EXPECT_STREQ(speed, "xxxxx");
    holder.reset();

    setenv("CFC_COM201", "/nonexistent/tty", 1);
    EXPECT_EQ(ZANTAL_GetMaxComPortSpeed("COM201", speed), 2);
    unsetenv("CFC_COM201");
    EXPECT_EQ(ZANTAL_GetMaxComPortSpeed(std::string(300, 'C').c_str(), speed), 2);
    EXPECT_STREQ(speed, "xxxxx");
}

} // namespace
} // namespace zantal_test
