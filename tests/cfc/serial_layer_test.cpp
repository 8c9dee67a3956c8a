// The serial port layer on the in-memory line: line settings, time-out
// classes, presets, reads and the writer's cancel of a pending read.
#include "cfc.h"
#include "cfc_intern.h"
#include "gwcoml1.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

using namespace cfctest;

namespace {

// A slot with only its port open, so a test can read without the receive
// thread taking the bytes first.
class PortOnlySlot {
public:
    PortOnlySlot(unsigned slot, const std::string& name, int32_t baudRate = 115200)
        : slot_(slot), device_(plat::registerVirtualDevice(name)), name_(name) {
        std::unique_ptr<plat::SerialPort> port;
        result_ = cfc::EmmiL1CommsOpen(plat::PortLocation::device("virtual:" + name), baudRate, static_cast<int32_t>(slot), port);
        cfc::SlotAt(slot).l1.port = std::move(port);
        cfc::SlotAt(slot).events.readCancel.reset();
    }
    ~PortOnlySlot() {
        cfc::SlotAt(slot_).l1.port.reset();
        plat::unregisterVirtualDevice(name_);
    }
    uint32_t handle() const { return cfc::HandleForSlot(slot_); }
    cfc::ErrorCode openResult() const { return result_; }
    plat::VirtualDevice& device() { return *device_; }
    cfc::L1State& l1() { return cfc::SlotAt(slot_).l1; }

private:
    unsigned slot_;
    std::shared_ptr<plat::VirtualDevice> device_;
    std::string name_;
    cfc::ErrorCode result_;
};

TEST(SerialOpen, WritesTheModuleLineSettings) {
    PortOnlySlot slot(20, "l1-settings");
    ASSERT_EQ(slot.openResult(), EMMIERR_OK);
    const plat::VirtualLineState line = slot.device().lineState();
    EXPECT_EQ(line.settings.baudRate, 115200u);
    EXPECT_EQ(line.settings.dataBits, 8);
    EXPECT_EQ(line.settings.parity, plat::Parity::None);
    EXPECT_EQ(line.settings.stopBits, plat::StopBits::Two);
    EXPECT_EQ(line.settings.flowControl, plat::FlowControl::None);
    EXPECT_EQ(line.settings.xonChar, 0);
    EXPECT_EQ(line.settings.xoffChar, 1);
    EXPECT_TRUE(line.rts);
    EXPECT_FALSE(line.dtr);
    EXPECT_EQ(cfc::EmmiL1GetTimeout(slot.handle(), 0), 750u);
    EXPECT_EQ(slot.l1().readTimeout.load(), 10000u) << "until a class is selected";
    EXPECT_EQ(cfc::EmmiL1GetRawReadTimeout(slot.handle()), 0u);
}

TEST(SerialOpen, RefusedRatesAndMissingDevicesFailWithCode4) {
    {
        auto device = plat::registerVirtualDevice("l1-slow");
        device->setMaxBaudRate(57600);
        std::unique_ptr<plat::SerialPort> port;
        EXPECT_EQ(cfc::EmmiL1CommsOpen(plat::PortLocation::device("virtual:l1-slow"), 115200, 21, port), EMMIERR_PORT_OPEN);
        EXPECT_EQ(port, nullptr);
        EXPECT_NE(cfc::SlotAt(21).l1.lastSystemError.load(), 0u);
        EXPECT_EQ(cfc::EmmiL1CommsOpen(plat::PortLocation::device("virtual:l1-slow"), -9600, 21, port), EMMIERR_PORT_OPEN);
        plat::unregisterVirtualDevice("l1-slow");
    }
    std::unique_ptr<plat::SerialPort> port;
    EXPECT_EQ(cfc::EmmiL1CommsOpen(plat::PortLocation::device("virtual:l1-nobody"), 115200, 21, port), EMMIERR_PORT_OPEN);
}

TEST(SerialTimeouts, InterCharacterTimeFollowsTheOpenRate) {
    EXPECT_EQ(cfc::InterCharacterTime(115200), 2u);
    EXPECT_EQ(cfc::InterCharacterTime(57600), 3u);
    EXPECT_EQ(cfc::InterCharacterTime(9600), 18u);

    PortOnlySlot slot(22, "l1-classes", 9600);
    const uint32_t h = slot.handle();
    EXPECT_EQ(cfc::EmmiL1GetTimeout(h, 1), 18u);
    const std::pair<uint8_t, uint32_t> readColumn[] = {{0, 750}, {1, 18}, {2, 1000}, {3, 1}, {7, 18}};
    for (auto [cls, ms] : readColumn) {
        EXPECT_EQ(cfc::EmmiL1SetReadTimeout(h, cls), 0);
        EXPECT_EQ(slot.l1().readTimeout.load(), ms) << "class " << int(cls);
        EXPECT_EQ(slot.l1().readTimeoutClass.load(), cls);
        EXPECT_EQ(cfc::EmmiL1GetTimeout(h, cls), ms);
    }
    const std::pair<uint8_t, uint32_t> rawColumn[] = {{0, 50}, {1, 18}, {2, 1000}, {3, 1}, {9, 18}};
    for (auto [cls, ms] : rawColumn) {
        EXPECT_EQ(cfc::EmmiL1SetRawReadTimeout(h, cls), 0);
        EXPECT_EQ(cfc::EmmiL1GetRawReadTimeout(h), ms) << "class " << int(cls);
    }
}

TEST(SerialPresets, ChangeOnlyTheirFieldsAndKeepTheTimeouts) {
    PortOnlySlot slot(23, "l1-presets");
    const uint32_t h = slot.handle();
    ASSERT_EQ(cfc::EmmiL1SetLineBoot(h), EMMIERR_OK);
    plat::VirtualLineState line = slot.device().lineState();
    EXPECT_EQ(line.settings.baudRate, 57600u);
    EXPECT_FALSE(line.rts);
    EXPECT_EQ(line.settings.stopBits, plat::StopBits::One);
    EXPECT_EQ(line.settings.dataBits, 8) << "untouched fields stay";
    EXPECT_EQ(cfc::EmmiL1GetTimeout(h, 1), 2u) << "still the value of 115200";

    ASSERT_EQ(cfc::EmmiL1SetLineDtrOn(h), EMMIERR_OK);
    line = slot.device().lineState();
    EXPECT_EQ(line.settings.baudRate, 115200u);
    EXPECT_TRUE(line.dtr);
    EXPECT_TRUE(line.rts);
    EXPECT_EQ(line.settings.stopBits, plat::StopBits::Two);

    ASSERT_EQ(cfc::EmmiL1SetLineDtrOff(h), EMMIERR_OK);
    line = slot.device().lineState();
    EXPECT_FALSE(line.dtr);
    EXPECT_TRUE(line.rts);

    // A line without modem control refuses the ignition.
    slot.device().setNoModemLines(true);
    EXPECT_EQ(cfc::EmmiL1SetLineDtrOn(h), EMMIERR_SYSTEM);
    EXPECT_EQ(cfc::GetPortHandle(h), slot.l1().port.get());
    EXPECT_EQ(cfc::GetPortHandle(0), nullptr);
}

TEST(SerialRead, ReportsWholeShortAndRefusedReads) {
    PortOnlySlot slot(24, "l1-read");
    const uint32_t h = slot.handle();
    cfc::EmmiL1SetReadTimeout(h, 0);
    const uint8_t sent[] = {0x02, 0x01, 0xD6};
    slot.device().write(sent, sizeof sent);
    uint8_t got[4] = {0xA5, 0xA5, 0xA5, 0xA5};
    EXPECT_EQ(cfc::EmmiL1Read(h, got, 3), EMMIERR_OK);
    EXPECT_EQ(got[2], 0xD6);

    slot.device().write(sent, 2);
    got[2] = 0xA5;
    EXPECT_EQ(cfc::EmmiL1Read(h, got, 3), EMMIERR_TIMEOUT);
    EXPECT_EQ(got[1], 0x01) << "bytes that arrived stay in the buffer";
    EXPECT_EQ(got[2], 0xA5);

    slot.device().hangUp();
    EXPECT_EQ(cfc::EmmiL1Read(h, got, 1), EMMIERR_SYSTEM);
    EXPECT_EQ(cfc::EmmiL1Write(h, sent, 1), EMMIERR_SYSTEM);
    EXPECT_NE(slot.l1().lastSystemError.load(), 0u);
    EXPECT_EQ(cfc::EmmiL1Read(cfc::HandleForSlot(25), got, 1), EMMIERR_SYSTEM) << "slot not open";
}

TEST(SerialWrite, CancelsAPendingReadInsteadOfWaitingForIt) {
    PortOnlySlot slot(26, "l1-cancel");
    const uint32_t h = slot.handle();
    ASSERT_EQ(slot.l1().readTimeout.load(), 10000u);

    const auto start = std::chrono::steady_clock::now();
    auto reader = std::async(std::launch::async, [h] {
        uint8_t byte = 0;
        return cfc::EmmiL1Read(h, &byte, 1);
    });
    // Wait until the reader holds the port: from then on it is (or is about
    // to be) waiting in its read.
    std::mutex& portLock = slot.l1().portLock;
    for (int i = 0; i < 5000 && portLock.try_lock(); ++i) {
        portLock.unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const uint8_t ack = 0x06;
    EXPECT_EQ(cfc::EmmiL1Write(h, &ack, 1), EMMIERR_OK);
    EXPECT_EQ(reader.get(), EMMIERR_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "well before the 10 s read bound";
    uint8_t seen = 0;
    EXPECT_EQ(slot.device().read(&seen, 1, 2000), 1u);
    EXPECT_EQ(seen, 0x06);
    EXPECT_FALSE(cfc::SlotAt(26).events.readCancel.isSet()) << "the reader resets the cancel";
}

TEST(SerialWrite, ReachesTheLineWhileTheReceiveThreadReads) {
    VirtualComPort com(27, "l1-busy");
    const uint32_t h = WComOpen(27, 115200, 0);
    ASSERT_NE(h, 0u);
    const auto start = std::chrono::steady_clock::now();
    for (uint8_t i = 0; i < 20; ++i) {
        EXPECT_EQ(cfc::EmmiL1Write(h, &i, 1), EMMIERR_OK);
        uint8_t seen = 0xFF;
        ASSERT_EQ(com.device().read(&seen, 1, 2000), 1u);
        EXPECT_EQ(seen, i);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(WComClose(h), 1);
}

} // namespace
