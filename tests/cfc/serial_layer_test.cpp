// The serial port layer on the in-memory line: line settings, time-out
// classes, presets, reads and the writer's cancel of a pending read.
#include "cfc.h"
#include "cfc_connection.h"
#include "gwcoml1.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

using namespace cfctest;

namespace {

// A serial layer on its own over COM<port> on an in-memory line, so a test
// can read without a receive thread taking the bytes first.
class LinkOnly {
public:
    LinkOnly(int port, const std::string& name, int32_t baudRate = 115200) : com_(port, name)
    {
        result_ = cfc::EmmiL1CommsOpen(link_, port, baudRate);
    }
    ~LinkOnly() { cfc::EmmiL1CommsClose(link_); }
    cfc::ErrorCode openResult() const { return result_; }
    plat::VirtualDevice& device() { return com_.device(); }
    cfc::SerialLink& link() { return link_; }

private:
    VirtualComPort com_;
    cfc::SerialLink link_;
    cfc::ErrorCode result_;
};

TEST(SerialOpen, WritesTheModuleLineSettings)
{
    LinkOnly slot(20, "l1-settings");
    ASSERT_EQ(slot.openResult(), EMMIERR_OK);
    const plat::VirtualLineState line = slot.device().lineState();
    EXPECT_EQ(line.settings.baudRate, 115200u);
    EXPECT_EQ(line.settings.dataBits, 8);
    EXPECT_EQ(line.settings.parity, plat::Parity::None);
    EXPECT_EQ(line.settings.stopBits, plat::StopBits::Two);
    EXPECT_EQ(line.settings.flowControl, plat::FlowControl::None);
    EXPECT_TRUE(line.rts);
    EXPECT_FALSE(line.dtr);
    EXPECT_EQ(cfc::EmmiL1GetTimeout(slot.link(), 0), 750u);
    EXPECT_EQ(slot.link().readTimeout(), 10000u) << "until a class is selected";
    EXPECT_EQ(cfc::EmmiL1GetRawReadTimeout(slot.link()), 0u);
}

TEST(SerialOpen, RefusedRatesAndMissingDevicesFailWithCode4)
{
    {
        auto device = plat::registerVirtualDevice("l1-slow");
        device->setMaxBaudRate(57600);
        ScopedEnv com("CFC_COM21", "virtual:l1-slow");
        cfc::SerialLink link;
        EXPECT_EQ(cfc::EmmiL1CommsOpen(link, 21, 115200), EMMIERR_PORT_OPEN);
        EXPECT_FALSE(link.isOpen());
        EXPECT_NE(link.lastSystemError(), 0);
        EXPECT_EQ(cfc::EmmiL1CommsOpen(link, 21, -9600), EMMIERR_PORT_OPEN);
        plat::unregisterVirtualDevice("l1-slow");
    }
    ScopedEnv com("CFC_COM21", "virtual:l1-nobody");
    cfc::SerialLink link;
    EXPECT_EQ(cfc::EmmiL1CommsOpen(link, 21, 115200), EMMIERR_PORT_OPEN);
}

TEST(SerialTimeouts, InterCharacterTimeFollowsTheOpenRate)
{
    EXPECT_EQ(cfc::InterCharacterTime(115200), 2u);
    EXPECT_EQ(cfc::InterCharacterTime(57600), 3u);
    EXPECT_EQ(cfc::InterCharacterTime(9600), 18u);

    LinkOnly slot(22, "l1-classes", 9600);
    EXPECT_EQ(cfc::EmmiL1GetTimeout(slot.link(), 1), 18u);
    const std::pair<uint8_t, uint32_t> readColumn[] = {
        {0, 750}, {1, 18}, {2, 1000}, {3, 1}, {7, 18}};
    for (auto [cls, ms] : readColumn) {
        EXPECT_EQ(cfc::EmmiL1SetReadTimeout(slot.link(), cls), 0);
        EXPECT_EQ(slot.link().readTimeout(), ms) << "class " << int(cls);
        EXPECT_EQ(slot.link().readTimeoutClass(), cls);
        EXPECT_EQ(cfc::EmmiL1GetTimeout(slot.link(), cls), ms);
    }
    const std::pair<uint8_t, uint32_t> rawColumn[] = {{0, 50}, {1, 18}, {2, 1000}, {3, 1}, {9, 18}};
    for (auto [cls, ms] : rawColumn) {
        EXPECT_EQ(cfc::EmmiL1SetRawReadTimeout(slot.link(), cls), 0);
        EXPECT_EQ(cfc::EmmiL1GetRawReadTimeout(slot.link()), ms) << "class " << int(cls);
    }
}

TEST(SerialPresets, ChangeOnlyTheirFieldsAndKeepTheTimeouts)
{
    LinkOnly slot(23, "l1-presets");
    ASSERT_EQ(cfc::EmmiL1SetLineBoot(slot.link()), EMMIERR_OK);
    plat::VirtualLineState line = slot.device().lineState();
    EXPECT_EQ(line.settings.baudRate, 57600u);
    EXPECT_FALSE(line.rts);
    EXPECT_EQ(line.settings.stopBits, plat::StopBits::One);
    EXPECT_EQ(line.settings.dataBits, 8) << "untouched fields stay";
    EXPECT_EQ(cfc::EmmiL1GetTimeout(slot.link(), 1), 2u) << "still the value of 115200";

    ASSERT_EQ(cfc::EmmiL1SetLineDtrOn(slot.link()), EMMIERR_OK);
    line = slot.device().lineState();
    EXPECT_EQ(line.settings.baudRate, 115200u);
    EXPECT_TRUE(line.dtr);
    EXPECT_TRUE(line.rts);
    EXPECT_EQ(line.settings.stopBits, plat::StopBits::Two);

    ASSERT_EQ(cfc::EmmiL1SetLineDtrOff(slot.link()), EMMIERR_OK);
    line = slot.device().lineState();
    EXPECT_FALSE(line.dtr);
    EXPECT_TRUE(line.rts);

    // A line without modem control refuses the ignition.
    slot.device().setNoModemLines(true);
    EXPECT_EQ(cfc::EmmiL1SetLineDtrOn(slot.link()), EMMIERR_SYSTEM);
    EXPECT_EQ(cfc::EmmiL1SetDtr(slot.link(), true), EMMIERR_SYSTEM);
    EXPECT_EQ(cfc::EmmiL1SetDtr(slot.link(), false), EMMIERR_OK);
}

TEST(SerialRead, ReportsWholeShortAndRefusedReads)
{
    LinkOnly slot(24, "l1-read");
    cfc::EmmiL1SetReadTimeout(slot.link(), 0);
    const uint8_t sent[] = {0x02, 0x01, 0xD6};
    slot.device().write(sent, sizeof sent);
    uint8_t got[4] = {0xA5, 0xA5, 0xA5, 0xA5};
    EXPECT_EQ(cfc::EmmiL1Read(slot.link(), got, 3), EMMIERR_OK);
    EXPECT_EQ(got[2], 0xD6);

    slot.device().write(sent, 2);
    got[2] = 0xA5;
    EXPECT_EQ(cfc::EmmiL1Read(slot.link(), got, 3), EMMIERR_TIMEOUT);
    EXPECT_EQ(got[1], 0x01) << "bytes that arrived stay in the buffer";
    EXPECT_EQ(got[2], 0xA5);

    slot.device().hangUp();
    EXPECT_EQ(cfc::EmmiL1Read(slot.link(), got, 1), EMMIERR_SYSTEM);
    EXPECT_EQ(cfc::EmmiL1Write(slot.link(), sent, 1), EMMIERR_SYSTEM);
    EXPECT_NE(slot.link().lastSystemError(), 0);
    cfc::SerialLink closed;
    EXPECT_EQ(cfc::EmmiL1Read(closed, got, 1), EMMIERR_SYSTEM) << "link not open";
}

TEST(SerialWrite, CancelsAPendingReadInsteadOfWaitingForIt)
{
    LinkOnly slot(26, "l1-cancel");
    ASSERT_EQ(slot.link().readTimeout(), 10000u);

    const auto start = std::chrono::steady_clock::now();
    cfc::SerialLink& link = slot.link();
    auto reader = std::async(std::launch::async, [&link] {
        uint8_t byte = 0;
        return cfc::EmmiL1Read(link, &byte, 1);
    });
    // Wait until the reader holds the port: from then on it is (or is about
    // to be) waiting in its read.
    for (int i = 0; i < 5000 && !link.portBusy(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const uint8_t ack = 0x06;
    EXPECT_EQ(cfc::EmmiL1Write(slot.link(), &ack, 1), EMMIERR_OK);
    EXPECT_EQ(reader.get(), EMMIERR_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "well before the 10 s read bound";
    uint8_t seen = 0;
    EXPECT_EQ(slot.device().read(&seen, 1, 2000), 1u);
    EXPECT_EQ(seen, 0x06);
    EXPECT_FALSE(link.cancelPending()) << "the reader resets the cancel";
}

TEST(SerialWrite, ReachesTheLineWhileTheReceiveThreadReads)
{
    VirtualComPort com(27, "l1-busy");
    const uint32_t h = WComOpen(27, 115200, 0);
    ASSERT_NE(h, 0u);
    const auto start = std::chrono::steady_clock::now();
    for (uint8_t i = 0; i < 20; ++i) {
        EXPECT_EQ(cfc::EmmiL1Write(connectionOf(h).serial, &i, 1), EMMIERR_OK);
        uint8_t seen = 0xFF;
        ASSERT_EQ(com.device().read(&seen, 1, 2000), 1u);
        EXPECT_EQ(seen, i);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(WComClose(h), 1);
}

} // namespace
