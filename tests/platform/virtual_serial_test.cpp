// The in-memory line: what the device side sees of the host, and the host
// side behaving like a real port.
#include "plat/event.h"
#include "plat/virtual_serial.h"
#include "scoped_env.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using plat::IoStatus;

class VirtualLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        device_ = plat::registerVirtualDevice("plat-test");
        int error = 0;
        host_ = plat::openSerialPort("virtual:plat-test", &error);
        ASSERT_TRUE(host_) << error;
    }
    void TearDown() override
    {
        host_.reset();
        plat::unregisterVirtualDevice("plat-test");
    }

    std::vector<uint8_t> readAtDevice(size_t count)
    {
        std::vector<uint8_t> got(count);
        size_t have = 0;
        while (have < count) {
            const size_t n = device_->read(got.data() + have, count - have, 5000);
            if (n == 0)
                break;
            have += n;
        }
        got.resize(have);
        return got;
    }

    std::shared_ptr<plat::VirtualDevice> device_;
    std::unique_ptr<plat::SerialPort> host_;
};

TEST_F(VirtualLine, CarriesBytesBothWays)
{
    const std::vector<uint8_t> out{0x02, 0x00, 0x10, 0x03};
    EXPECT_EQ(host_->write(out.data(), out.size()).status, IoStatus::Complete);
    EXPECT_EQ(readAtDevice(out.size()), out);

    device_->write(out.data(), out.size());
    std::vector<uint8_t> in(out.size());
    EXPECT_EQ(host_->read(in.data(), in.size(), 5000, nullptr).status, IoStatus::Complete);
    EXPECT_EQ(in, out);

    uint8_t none[1];
    EXPECT_EQ(device_->read(none, 1, 10), 0u);
    EXPECT_EQ(host_->read(none, 1, 10, nullptr).status, IoStatus::TimedOut);
}

TEST_F(VirtualLine, DeviceReadCanBeInterrupted)
{
    std::thread stopper([&] {
        std::this_thread::sleep_for(50ms);
        device_->interruptRead();
    });
    uint8_t got[1] = {0x42};
    const auto start = Clock::now();
    EXPECT_EQ(device_->read(got, 1, plat::kWaitForever), 0u);
    stopper.join();
    EXPECT_LT(Clock::now() - start, 5s);

    // One interruption ends one read; bytes flow again afterwards.
    EXPECT_TRUE(host_->write(got, 1).status == IoStatus::Complete);
    EXPECT_EQ(device_->read(got, 1, 5000), 1u);
}

TEST_F(VirtualLine, OpensLikeAnExclusivePort)
{
    int error = 0;
    EXPECT_FALSE(plat::openSerialPort("virtual:plat-test", &error));
    EXPECT_EQ(error, EBUSY);
    EXPECT_FALSE(plat::openSerialPort("virtual:plat-none", &error));
    EXPECT_EQ(error, ENOENT);

    host_.reset();
    host_ = plat::openSerialPort("virtual:plat-test", &error);
    EXPECT_TRUE(host_);

    // The port map may lead a COM number to an in-memory line.
    host_.reset();
    plat::OpenError openError;
    {
        const cfctest::ScopedEnv map("CFC_COM97", "virtual:plat-test");
        host_ = plat::openSerialPort(plat::PortLocation::com(97), &openError);
    }
    EXPECT_TRUE(host_) << openError.sysError;
    EXPECT_TRUE(device_->lineState().hostOpen);

    // A line lives only as long as someone holds its device side.
    auto gone = plat::registerVirtualDevice("plat-gone");
    gone.reset();
    EXPECT_FALSE(plat::openSerialPort("virtual:plat-gone", &error));
    EXPECT_EQ(error, ENOENT);
}

TEST_F(VirtualLine, DeviceSeesSettingsAndModemLines)
{
    std::mutex mutex;
    std::vector<plat::VirtualLineState> seen;
    device_->setLineObserver([&](const plat::VirtualLineState& state) {
        std::lock_guard lock(mutex);
        seen.push_back(state);
        // The simulator answers the ignition from inside the observer.
        if (state.dtr) {
            const uint8_t hello[] = {'O', 'K'};
            device_->write(hello, sizeof hello);
        }
    });

    plat::LineSettings settings;
    settings.baudRate = 57600;
    settings.stopBits = plat::StopBits::One;
    settings.rts = false;
    ASSERT_TRUE(host_->setLineSettings(settings));
    EXPECT_EQ(device_->lineState().settings.baudRate, 57600u);
    EXPECT_FALSE(device_->lineState().rts);

    ASSERT_TRUE(host_->setDtr(true));
    EXPECT_TRUE(device_->lineState().dtr);
    uint8_t answer[2];
    EXPECT_EQ(host_->read(answer, 2, 5000, nullptr).status, IoStatus::Complete);
    EXPECT_EQ(answer[0], 'O');

    // A driven level is what the settings report, so a preset that leaves DTR
    // "unchanged" keeps the ignition where it is.
    plat::LineSettings back;
    ASSERT_TRUE(host_->getLineSettings(back));
    EXPECT_TRUE(back.dtr);
    back.baudRate = 115200;
    ASSERT_TRUE(host_->setLineSettings(back));
    EXPECT_TRUE(device_->lineState().dtr);

    host_.reset();
    std::lock_guard lock(mutex);
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen.front().settings.baudRate, 57600u);
    EXPECT_FALSE(seen.back().hostOpen);
    EXPECT_FALSE(seen.back().dtr) << "closing drops DTR";
}

TEST_F(VirtualLine, RefusalsLikeARealDriver)
{
    device_->setNoModemLines(true);
    EXPECT_FALSE(host_->setDtr(true));
    EXPECT_EQ(host_->lastError(), ENOTTY);
    EXPECT_TRUE(host_->setRts(true));
    EXPECT_FALSE(device_->lineState().dtr);

    device_->setMaxBaudRate(115200);
    plat::LineSettings settings;
    settings.baudRate = 230400;
    EXPECT_FALSE(host_->setLineSettings(settings));
    EXPECT_EQ(host_->lastError(), EINVAL);
    settings.baudRate = 115200;
    EXPECT_TRUE(host_->setLineSettings(settings));

    // DTR/DSR flow control would raise DTR as well; the rest stays in force.
    settings.flowControl = plat::FlowControl::DtrDsr;
    settings.stopBits = plat::StopBits::Two;
    EXPECT_FALSE(host_->setLineSettings(settings));
    EXPECT_EQ(host_->lastError(), ENOTTY);
    EXPECT_FALSE(device_->lineState().dtr);
    EXPECT_EQ(device_->lineState().settings.flowControl, plat::FlowControl::None);
    EXPECT_EQ(device_->lineState().settings.stopBits, plat::StopBits::Two);

    // One character cannot both stop and restart the sender.
    settings.flowControl = plat::FlowControl::XonXoff;
    settings.xonChar = settings.xoffChar = 0x13;
    EXPECT_FALSE(host_->setLineSettings(settings));
    EXPECT_EQ(host_->lastError(), EINVAL);
}

// A line handed to flow control is up whatever level the settings hold; the
// level takes over again when flow control gives the line back.
TEST_F(VirtualLine, FlowControlHoldsItsLineUp)
{
    plat::LineSettings settings;
    settings.flowControl = plat::FlowControl::RtsCts;
    ASSERT_TRUE(host_->setLineSettings(settings));
    EXPECT_TRUE(device_->lineState().rts);
    EXPECT_FALSE(device_->lineState().dtr);
    ASSERT_TRUE(host_->setRts(false));
    EXPECT_TRUE(device_->lineState().rts);

    settings.flowControl = plat::FlowControl::DtrDsr;
    ASSERT_TRUE(host_->setLineSettings(settings));
    EXPECT_TRUE(device_->lineState().dtr);
    EXPECT_FALSE(device_->lineState().rts);

    ASSERT_TRUE(host_->getLineSettings(settings));
    settings.flowControl = plat::FlowControl::None;
    ASSERT_TRUE(host_->setLineSettings(settings));
    EXPECT_FALSE(device_->lineState().dtr);
    EXPECT_EQ(device_->lineState().settings, settings);
}

TEST_F(VirtualLine, HangUpFailsThePendingReadAndEverythingAfter)
{
    std::thread unplug([&] {
        std::this_thread::sleep_for(50ms);
        device_->hangUp();
    });
    uint8_t got[1];
    const auto start = Clock::now();
    const auto r = host_->read(got, 1, 10000, nullptr);
    unplug.join();
    EXPECT_EQ(r.status, IoStatus::Failed);
    EXPECT_EQ(r.sysError, EIO);
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(host_->write(got, 1).status, IoStatus::Failed);
    EXPECT_FALSE(host_->setDtr(false));

    host_.reset();
    int error = 0;
    EXPECT_FALSE(plat::openSerialPort("virtual:plat-test", &error));
    EXPECT_EQ(error, EIO);
}

TEST_F(VirtualLine, CancelEndsAPendingRead)
{
    for (const bool pollable : {true, false}) {
        plat::Event cancel("readCancelEvent2", pollable);
        std::thread writer([&] {
            std::this_thread::sleep_for(50ms);
            cancel.set();
        });
        uint8_t got[1];
        const auto start = Clock::now();
        EXPECT_EQ(host_->read(got, 1, 10000, &cancel).status, IoStatus::Cancelled) << pollable;
        writer.join();
        EXPECT_LT(Clock::now() - start, 5s);
    }
}

TEST(VirtualLineTiming, BitsPerCharacter)
{
    plat::LineSettings s;
    s.dataBits = 8;
    EXPECT_EQ(plat::bitsPerCharacter(s), 10u);
    s.stopBits = plat::StopBits::Two;
    EXPECT_EQ(plat::bitsPerCharacter(s), 11u);
    s.parity = plat::Parity::Even;
    EXPECT_EQ(plat::bitsPerCharacter(s), 12u);
    s.dataBits = 5;
    s.parity = plat::Parity::None;
    s.stopBits = plat::StopBits::OneAndHalf;
    EXPECT_EQ(plat::bitsPerCharacter(s), 8u) << "1.5 stop bits round up";
}

TEST_F(VirtualLine, PacedBytesKeepOrderAndTakeTheirWireTime)
{
    plat::LineSettings settings;
    settings.baudRate = 9600; // 8N1: 10 bits, about 1 ms a character
    ASSERT_TRUE(host_->setLineSettings(settings));
    device_->setPaced(true);

    std::vector<uint8_t> bytes(40);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    const auto wire = std::chrono::microseconds(40 * 10 * 1000000 / 9600);

    auto start = Clock::now();
    device_->write(bytes.data(), 20);
    device_->write(bytes.data() + 20, 20);
    std::vector<uint8_t> got(bytes.size());
    size_t have = 0;
    while (have < got.size()) {
        const auto r = host_->read(got.data() + have, got.size() - have, 5000, nullptr);
        ASSERT_NE(r.status, IoStatus::Failed);
        have += r.transferred;
        if (r.status == IoStatus::TimedOut && r.transferred == 0)
            break;
    }
    EXPECT_GE(Clock::now() - start, wire);
    EXPECT_EQ(got, bytes);

    start = Clock::now();
    EXPECT_EQ(host_->write(bytes.data(), bytes.size()).status, IoStatus::Complete);
    EXPECT_GE(Clock::now() - start, wire) << "a paced write returns when the bytes are on the wire";
    EXPECT_EQ(readAtDevice(bytes.size()), bytes);
}

// Host reading on one thread, writing on another, the device echoing on a
// third: the layout of a connection with its receive thread.
TEST_F(VirtualLine, ThreeThreadsEchoWithoutLossOrRace)
{
    plat::LineSettings settings;
    settings.baudRate = 921600;
    ASSERT_TRUE(host_->setLineSettings(settings));
    device_->setPaced(true);
    constexpr size_t kTotal = 600;

    std::thread device([&] {
        uint8_t chunk[64];
        size_t echoed = 0;
        while (echoed < kTotal) {
            const size_t n = device_->read(chunk, sizeof chunk, 5000);
            if (n == 0)
                return;
            device_->write(chunk, n);
            echoed += n;
        }
    });
    std::vector<uint8_t> sent(kTotal);
    for (size_t i = 0; i < kTotal; ++i)
        sent[i] = static_cast<uint8_t>(i * 7);
    std::thread writer([&] {
        for (size_t i = 0; i < kTotal; i += 30)
            host_->write(sent.data() + i, 30);
    });

    std::vector<uint8_t> got(kTotal);
    size_t have = 0;
    while (have < kTotal) {
        const auto r = host_->read(got.data() + have, kTotal - have, 5000, nullptr);
        have += r.transferred;
        if (r.status != IoStatus::Complete && r.transferred == 0)
            break;
    }
    writer.join();
    device.join();
    EXPECT_EQ(got, sent);
}

} // namespace
