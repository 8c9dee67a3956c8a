// The Win32 serial port against a module on a real COM port: under Wine,
// the simulator on a pseudo-terminal that the prefix maps to COM<n>
// (scripts/test-windows.sh). CFC_TEST_COM names the port; without it there
// is no port to test and every case is skipped.
#include "plat/event.h"
#include "plat/serial.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Wine lacks two things a Windows driver does; only there are they skipped.
bool underWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

int testPort()
{
    const char* number = std::getenv("CFC_TEST_COM");
    return number ? std::atoi(number) : 0;
}

class ComPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (testPort() <= 0)
            GTEST_SKIP() << "CFC_TEST_COM names no COM port with a module on it";
        port_ = plat::openSerialPort(plat::PortLocation::com(testPort()), &openError_);
        ASSERT_TRUE(port_) << openError_.devicePath << ": error " << openError_.sysError;
        // The module's line: 8 data bits, two stop bits, RTS up, DTR down.
        plat::LineSettings line;
        line.baudRate = 115200;
        line.stopBits = plat::StopBits::Two;
        line.rts = true;
        line.xonChar = 0;
        line.xoffChar = 1;
        ASSERT_TRUE(port_->setLineSettings(line)) << port_->lastError();
        ASSERT_TRUE(port_->purge(true, true));
    }

    // Bytes until `ending` came or the bound passed.
    std::string readUntil(const std::string& ending)
    {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + 10s;
        while (got.find(ending) == std::string::npos && std::chrono::steady_clock::now() < end) {
            uint8_t byte = 0;
            const plat::IoResult r = port_->read(&byte, 1, 500, nullptr);
            if (r.status == plat::IoStatus::Failed)
                break;
            if (r.transferred == 1)
                got += static_cast<char>(byte);
        }
        return got;
    }

    plat::OpenError openError_;
    std::unique_ptr<plat::SerialPort> port_;
};

TEST_F(ComPort, TheDeviceIsTheComNameItselfAndKeepsTheSettings)
{
    EXPECT_EQ(openError_.devicePath, "\\\\.\\COM" + std::to_string(testPort()));
    plat::LineSettings back;
    ASSERT_TRUE(port_->getLineSettings(back));
    EXPECT_EQ(back.baudRate, 115200u);
    EXPECT_EQ(back.dataBits, 8);
    EXPECT_EQ(back.parity, plat::Parity::None);
    EXPECT_EQ(back.stopBits, plat::StopBits::Two);
    EXPECT_EQ(back.flowControl, plat::FlowControl::None);
    EXPECT_TRUE(back.rts);
    EXPECT_FALSE(back.dtr);
}

TEST_F(ComPort, AWriteReachesTheModuleAndItsAnswerIsRead)
{
    const std::string at = "at\r";
    const plat::IoResult written =
        port_->write(reinterpret_cast<const uint8_t*>(at.data()), at.size());
    ASSERT_EQ(written.status, plat::IoStatus::Complete);
    EXPECT_EQ(written.transferred, at.size());
    EXPECT_NE(readUntil("OK\r\n").find("OK\r\n"), std::string::npos);
}

TEST_F(ComPort, ASilentLineTimesOutAndACancelEndsAWaitingRead)
{
    uint8_t buffer[4] = {};
    const plat::IoResult quiet = port_->read(buffer, sizeof buffer, 200, nullptr);
    EXPECT_EQ(quiet.status, plat::IoStatus::TimedOut);
    EXPECT_EQ(quiet.transferred, 0u);

    // Far longer than the test waits: only the cancel can end this read.
    plat::Event cancel("readCancel");
    std::thread canceller([&] {
        std::this_thread::sleep_for(100ms);
        cancel.set();
    });
    const plat::IoResult cancelled = port_->read(buffer, sizeof buffer, 60000, &cancel);
    canceller.join();
    EXPECT_EQ(cancelled.status, plat::IoStatus::Cancelled);

    // The cancel is the caller's to reset; the port still reads after it.
    cancel.reset();
    const std::string at = "at\r";
    ASSERT_EQ(port_->write(reinterpret_cast<const uint8_t*>(at.data()), at.size()).status,
              plat::IoStatus::Complete);
    EXPECT_NE(readUntil("OK\r\n").find("OK\r\n"), std::string::npos);
}

TEST_F(ComPort, ASecondOpenOfThePortIsRefusedAsBusy)
{
    plat::OpenError second;
    auto again = plat::openSerialPort(plat::PortLocation::com(testPort()), &second);
    if (again && underWine())
        GTEST_SKIP() << "Wine does not enforce exclusive opens of a COM port";
    EXPECT_FALSE(again);
    EXPECT_EQ(second.sysError, EBUSY);
}

TEST_F(ComPort, DtrTheModulesIgnitionGoesUpAndDown)
{
    if (!port_->setDtr(true)) {
        if (port_->lastError() == ENOTTY && underWine())
            GTEST_SKIP() << "Wine cannot set DTR on a pseudo-terminal, which has no modem lines";
        FAIL() << "setDtr refused with " << port_->lastError();
    }
    plat::LineSettings line;
    ASSERT_TRUE(port_->getLineSettings(line));
    EXPECT_TRUE(line.dtr);
    EXPECT_TRUE(port_->setDtr(false));
    ASSERT_TRUE(port_->getLineSettings(line));
    EXPECT_FALSE(line.dtr);
}

} // namespace
