// The POSIX serial port against a pseudo-terminal: the test holds the master
// side and plays the device.
#include "plat/event.h"
#include "plat/serial.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using plat::IoStatus;

class PtySerial : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[256] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
        int error = 0;
        port_ = plat::openSerialPort(path_, &error);
        ASSERT_TRUE(port_) << std::strerror(error);
    }

    void TearDown() override
    {
        port_.reset();
        closeMaster();
        ::close(slave_);
    }

    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    void sendFromDevice(const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    std::vector<uint8_t> receiveAtDevice(size_t count)
    {
        std::vector<uint8_t> got;
        uint8_t chunk[512];
        pollfd fd{master_, POLLIN, 0};
        while (got.size() < count && ::poll(&fd, 1, 5000) == 1) {
            const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }

    // The pty hands bytes over asynchronously; wait until the port's tty has
    // them before asserting on what is "already there".
    void awaitInput()
    {
        pollfd fd{slave_, POLLIN, 0};
        ASSERT_EQ(::poll(&fd, 1, 5000), 1);
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::unique_ptr<plat::SerialPort> port_;
};

std::vector<uint8_t> everyByteValue()
{
    std::vector<uint8_t> bytes(256);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

TEST_F(PtySerial, CarriesEveryByteValueUnchangedBothWays)
{
    // Control characters (XON/XOFF, CR, interrupt, erase) must not be touched
    // by any line discipline.
    const auto bytes = everyByteValue();
    const auto sent = port_->write(bytes.data(), bytes.size());
    EXPECT_EQ(sent.status, IoStatus::Complete);
    EXPECT_EQ(sent.transferred, bytes.size());
    EXPECT_EQ(receiveAtDevice(bytes.size()), bytes);

    sendFromDevice(bytes);
    std::vector<uint8_t> got(bytes.size());
    const auto read = port_->read(got.data(), got.size(), 5000, nullptr);
    EXPECT_EQ(read.status, IoStatus::Complete);
    EXPECT_EQ(got, bytes);
}

TEST_F(PtySerial, TimeOutKeepsThePartialData)
{
    sendFromDevice({1, 2, 3});
    uint8_t got[5] = {};
    const auto start = Clock::now();
    const auto r = port_->read(got, sizeof got, 50, nullptr);
    EXPECT_EQ(r.status, IoStatus::TimedOut);
    EXPECT_GE(Clock::now() - start, 50ms);
    ASSERT_EQ(r.transferred, 3u);
    EXPECT_EQ(got[2], 3);
}

TEST_F(PtySerial, CancelEndsAPendingReadAtOnce)
{
    // An event without a poll handle must end the read as well.
    for (const bool pollable : {true, false}) {
        plat::Event cancel("readCancelEvent1", pollable);
        ASSERT_EQ(cancel.nativeHandle() >= 0, pollable);
        std::thread writer([&] {
            std::this_thread::sleep_for(50ms);
            cancel.set();
        });
        uint8_t got[4];
        const auto start = Clock::now();
        const auto r = port_->read(got, sizeof got, 10000, &cancel);
        writer.join();
        EXPECT_EQ(r.status, IoStatus::Cancelled) << pollable;
        EXPECT_LT(Clock::now() - start, 5s) << "the read waited for its time-out";
    }
}

TEST_F(PtySerial, StaleCancelTakesWaitingBytesThenEndsTheNextWait)
{
    plat::Event cancel;
    cancel.set();
    sendFromDevice({7, 8});
    awaitInput();
    uint8_t got[2] = {};
    EXPECT_EQ(port_->read(got, 2, 10000, &cancel).status, IoStatus::Complete);
    EXPECT_EQ(got[1], 8);

    const auto start = Clock::now();
    EXPECT_EQ(port_->read(got, 2, 10000, &cancel).status, IoStatus::Cancelled);
    EXPECT_LT(Clock::now() - start, 5s);
}

TEST_F(PtySerial, PortIsExclusive)
{
    int error = 0;
    EXPECT_FALSE(plat::openSerialPort(path_, &error));
    EXPECT_EQ(error, EBUSY);

    // The same device by its COM number is the same port, and the failure
    // names the device the number led to.
    ::setenv("CFC_COM42", path_.c_str(), 1);
    plat::OpenError openError;
    EXPECT_FALSE(plat::openSerialPort(plat::PortLocation::com(42), &openError));
    ::unsetenv("CFC_COM42");
    EXPECT_EQ(openError.sysError, EBUSY);
    EXPECT_EQ(openError.devicePath, path_);

    // Another process (root included) is kept out as well.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int childError = 0;
        const bool opened = plat::openSerialPort(path_, &childError) != nullptr;
        ::_exit(opened ? 0 : (childError == EBUSY ? 1 : 2));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);

    // Root passes TIOCEXCL (hence the lock above), but the flag is visible.
    int exclusive = 0;
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    port_.reset();
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "other users must not stay locked out after the close";
    EXPECT_TRUE(plat::openSerialPort(path_, &error)) << "closing must release the port";
}

TEST_F(PtySerial, OpenFailuresCarryTheSystemErrorAndTheDevice)
{
    int error = 0;
    EXPECT_FALSE(plat::openSerialPort("/dev/cfc-no-such-port", &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(plat::openSerialPort("/dev/null", &error));
    EXPECT_EQ(error, ENOTTY);
    // A Windows device name is no path here, even when its number is mapped.
    ::setenv("CFC_COM42", path_.c_str(), 1);
    port_.reset();
    EXPECT_FALSE(plat::openSerialPort("\\\\.\\COM42", &error));
    EXPECT_EQ(error, ENOENT);

    plat::OpenError openError;
    auto byNumber = plat::openSerialPort(plat::PortLocation::com(42), &openError);
    EXPECT_TRUE(byNumber) << std::strerror(openError.sysError);
    byNumber.reset();
    ::setenv("CFC_COM42", "/dev/cfc-no-such-port", 1);
    EXPECT_FALSE(plat::openSerialPort(plat::PortLocation::com(42), &openError));
    ::unsetenv("CFC_COM42");
    EXPECT_EQ(openError.sysError, ENOENT);
    EXPECT_EQ(openError.devicePath, "/dev/cfc-no-such-port");

    // A number the map has no device for.
    for (const int unmapped : {0, 200}) {
        openError = {EBUSY, "stale"};
        EXPECT_FALSE(plat::openSerialPort(plat::PortLocation::com(unmapped), &openError));
        EXPECT_EQ(openError.sysError, ENOENT);
        EXPECT_EQ(openError.devicePath, "") << unmapped;
    }
}

TEST_F(PtySerial, NoModemLinesRefuseOnlyRaisingDtr)
{
    EXPECT_FALSE(port_->setDtr(true));
    EXPECT_EQ(port_->lastError(), ENOTTY);
    EXPECT_TRUE(port_->setDtr(false));
    EXPECT_TRUE(port_->setRts(true));
    EXPECT_TRUE(port_->setRts(false));

    // The open settings (DTR off, RTS on) work on a pty ...
    plat::LineSettings settings;
    settings.baudRate = 115200;
    settings.stopBits = plat::StopBits::Two;
    settings.rts = true;
    EXPECT_TRUE(port_->setLineSettings(settings));

    // ... the ignition preset does not, yet its line format is in force.
    settings.baudRate = 57600;
    settings.dtr = true;
    EXPECT_FALSE(port_->setLineSettings(settings));
    EXPECT_EQ(port_->lastError(), ENOTTY);
    plat::LineSettings back;
    ASSERT_TRUE(port_->getLineSettings(back));
    EXPECT_EQ(back.baudRate, 57600u);
    EXPECT_FALSE(back.dtr);
}

TEST_F(PtySerial, LineSettingsReachTheTtyAndComeBack)
{
    plat::LineSettings settings;
    settings.baudRate = 57600;
    settings.stopBits = plat::StopBits::Two;
    settings.rts = true; // the line level is remembered, termios has none
    settings.flowControl = plat::FlowControl::RtsCts;
    settings.xonChar = 0;
    settings.xoffChar = 1;
    ASSERT_TRUE(port_->setLineSettings(settings));

    termios t{};
    ASSERT_EQ(::tcgetattr(slave_, &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_cc[VSTOP], 1);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));

    plat::LineSettings back;
    ASSERT_TRUE(port_->getLineSettings(back));
    EXPECT_EQ(back, settings);

    settings.stopBits = plat::StopBits::OneAndHalf;
    ASSERT_TRUE(port_->setLineSettings(settings));
    ASSERT_TRUE(port_->getLineSettings(back));
    EXPECT_EQ(back.stopBits, plat::StopBits::OneAndHalf);
}

TEST_F(PtySerial, FormatTheDriverWillNotTakeIsRefused)
{
    // A pty always runs 8 data bits without parity; taking 7E1 silently would
    // leave the caller believing a format that is not on the line.
    plat::LineSettings settings;
    settings.dataBits = 7;
    settings.parity = plat::Parity::Even;
    EXPECT_FALSE(port_->setLineSettings(settings));
    EXPECT_EQ(port_->lastError(), EINVAL);

    settings = {};
    settings.baudRate = 12345;
    EXPECT_FALSE(port_->setLineSettings(settings));
    EXPECT_EQ(port_->lastError(), EINVAL);
    settings.baudRate = 9600;
    settings.dataBits = 9;
    EXPECT_FALSE(port_->setLineSettings(settings));
}

TEST_F(PtySerial, PurgeDropsWaitingInput)
{
    sendFromDevice({0x55, 0x66});
    awaitInput();
    ASSERT_TRUE(port_->purge(true, true));
    uint8_t got[1];
    const auto r = port_->read(got, 1, 20, nullptr);
    EXPECT_EQ(r.status, IoStatus::TimedOut);
    EXPECT_EQ(r.transferred, 0u);
}

TEST_F(PtySerial, VanishedPeerFailsReadsInsteadOfSpinning)
{
    sendFromDevice({9});
    awaitInput();
    std::thread unplug([&] {
        std::this_thread::sleep_for(50ms);
        closeMaster();
    });
    uint8_t got[4] = {};
    const auto start = Clock::now();
    const auto r = port_->read(got, sizeof got, 10000, nullptr);
    unplug.join();
    EXPECT_EQ(r.status, IoStatus::Failed);
    EXPECT_EQ(r.sysError, EIO);
    EXPECT_EQ(r.transferred, 1u) << "bytes that arrived before the hang-up are kept";
    EXPECT_LT(Clock::now() - start, 5s);

    // Every later read fails at once too, rather than waiting or looping.
    EXPECT_EQ(port_->read(got, 1, 10000, nullptr).status, IoStatus::Failed);
    EXPECT_EQ(port_->write(got, 1).status, IoStatus::Failed);
    EXPECT_EQ(port_->lastError(), EIO);
}

} // namespace
