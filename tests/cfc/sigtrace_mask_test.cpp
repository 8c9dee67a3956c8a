// The signal-trace lists, the mask the module gets for them byte for byte,
// and the off message at close, with the simulator as the module.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_sigtrace.h"
#include "link_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>

using namespace cfctest;

namespace {

constexpr uint32_t kMaskParameter32 = 0x113;

void putLe32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putBe32(Bytes& out, uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The message written out from its layout, independently of the library:
// header, first base of each group, the 121 base entries, the block area.
Bytes expectedMessage(const std::map<size_t, uint32_t>& entries, const Bytes& blockArea)
{
    Bytes message{0x0A, 0x00, 0x00, 0x00, 0x79, 0x00, 0x00, 0x00};
    putLe32(message, static_cast<uint32_t>(40 + 484 + blockArea.size()));
    for (uint32_t first : {0u, 2u, 37u, 37u, 46u, 54u, 70u, 92u, 92u, 120u})
        putBe32(message, first);
    for (size_t i = 0; i < 121; ++i)
        putBe32(message, entries.contains(i) ? entries.at(i) : 0);
    return concat(message, blockArea);
}

Bytes block(uint8_t fill)
{
    return Bytes(32, fill);
}
Bytes fixedBlocks()
{
    return concat(block(0x00), block(0xFF));
}

class SignalTraceMask : public ::testing::Test {
protected:
    SignalTraceMask()
    {
        WEnableTraceFile();
        // The slot's lists outlive a close and open; only a mode's
        // configuration empties them, so a case starts from empty ones of its
        // own whatever ran before it in this process.
        signals().lists = {};
    }
    ~SignalTraceMask() override
    {
        // Closing with the signal trace on would wait 5 s; only the close
        // tests want that.
        signals().enable.store(0);
        link_.close();
        WDisableTraceFile();
    }

    cfc::SignalTrace& signals() { return cfc::ConnectionAt(kPort).signals; }
    void writeIni(const std::string& text) { std::ofstream(ini_) << text; }

    Bytes build()
    {
        return cfc::BuildSignalTraceMask(signals().lists, cfc::ConnectionAt(kPort).trace);
    }
    // The host messages the module got since the open.
    std::vector<sim::HostMessage> waitForHostMessages(size_t count)
    {
        EXPECT_TRUE(link_.sim().waitForMessages(count, kPatienceMs));
        return link_.sim().hostMessages();
    }

    ScopedTempCwd cwd_;
    static constexpr int kPort = 19;
    ModuleLink link_{kPort, "sigtrace-mask"};
    std::string ini_ = (cwd_.path() / "cfctrace.ini").string();
    ScopedEnv env_{"CFC_TRACE_INI", ini_};
};

TEST_F(SignalTraceMask, WholeBaseWithOneSignalTakenOut)
{
    WAddNimboTraceMask(link_.handle(), 0x010200);
    WRemoveNimboSignal(link_.handle(), 0x010205);
    Bytes own = block(0xFF);
    own[0] = 0xDF;
    EXPECT_EQ(build(), expectedMessage({{4, 64}}, concat(fixedBlocks(), own)));
}

TEST_F(SignalTraceMask, RemovingWinsOverAddingOutsideTheBaseList)
{
    WAddNimboSignal(link_.handle(), 0x030105);
    WRemoveNimboSignal(link_.handle(), 0x030105);
    // The removal counts a block it does not use: it goes out as zeros.
    EXPECT_EQ(build(), expectedMessage({{38, 64}}, concat(fixedBlocks(), Bytes(64, 0x00))));
}

TEST_F(SignalTraceMask, SignalsOfOneBaseShareItsBlock)
{
    WAddNimboTraceMask(link_.handle(), 0x0000FF); // bits 0 to 7 of a base mean nothing
    WAddNimboSignal(link_.handle(), 0x090000);
    WAddNimboSignal(link_.handle(), 0x0900FF);
    WAddNimboSignal(link_.handle(), 0x000007); // inside a whole base: no block
    WRemoveNimboSignal(link_.handle(), 0x000001);
    WRemoveNimboSignal(link_.handle(), 0x000009);
    WRemoveNimboSignal(link_.handle(), 0x080000); // base reports nothing anyway
    Bytes last = block(0x00);
    last[0] = 0x01;
    last[31] = 0x80;
    Bytes first = block(0xFF);
    first[0] = 0xFD;
    first[1] = 0xFD;
    EXPECT_EQ(build(),
              expectedMessage({{0, 96}, {120, 64}}, concat(concat(fixedBlocks(), last), first)));
}

TEST_F(SignalTraceMask, EntriesOutsideTheGroupTableAreLeftOut)
{
    WAddNimboTraceMask(link_.handle(), 0x0A0000); // no group 10
    WAddNimboTraceMask(link_.handle(), 0x020000); // group 2 has no bases
    WAddNimboSignal(link_.handle(), 0x0102FF00);  // group 0x102
    WRemoveNimboSignal(link_.handle(), 0x000205); // group 0 has two bases
    WAddNimboSignal(link_.handle(), 0x092301);    // group 9 has one
    EXPECT_EQ(build(), expectedMessage({}, fixedBlocks()));
    const auto texts = traceTexts();
    EXPECT_TRUE(contains(texts, "(CFC ) SendSignalTraceMask: base 0x0a0000 outside the group "
                                "table, ignored"));
    EXPECT_TRUE(contains(texts, "(CFC ) SendSignalTraceMask: signal 0x000205 outside the group "
                                "table, ignored"));
}

TEST_F(SignalTraceMask, ListsStopAtTheirLimits)
{
    for (uint32_t i = 0; i < 64; ++i)
        EXPECT_EQ(WAddNimboTraceMask(link_.handle(), 0x010000 + (i << 8)), 1);
    EXPECT_EQ(WAddNimboTraceMask(link_.handle(), 0x010000), 0);
    for (uint32_t i = 0; i < 128; ++i) {
        EXPECT_EQ(WAddNimboSignal(link_.handle(), i), 1);
        EXPECT_EQ(WRemoveNimboSignal(link_.handle(), i), 1);
    }
    EXPECT_EQ(WAddNimboSignal(link_.handle(), 1), 0);
    EXPECT_EQ(WRemoveNimboSignal(link_.handle(), 1), 0);
    const auto texts = traceTexts();
    EXPECT_TRUE(contains(texts, "(CFC ) WAddNimboBase(base=0x010000)"));
    EXPECT_TRUE(contains(texts, "WAddNimboTraceMask: too many bases"));
    EXPECT_TRUE(contains(texts, "(CFC ) WAddNimboSignal(signal=0x7f)"));
    EXPECT_TRUE(contains(texts, "WAddNimboSignal: too many bases"));
    EXPECT_TRUE(contains(texts, "WRemoveNimboSignal: too many signals"));
    // Bases 35 and above of group 1 do not exist; all signals share base 0.
    EXPECT_EQ(build().size(), 536u + 32u * 4);
}

TEST(SignalTraceLists, ReachTheSlotOfTheValueBitsOnly)
{
    cfc::SignalTraceLists& lists = cfc::ConnectionAt(6).signals.lists;
    const uint16_t before = lists.addedCount;
    // The handle pattern is not checked: the slot bits decide.
    EXPECT_EQ(WAddNimboSignal(6u << 12, 0x010203), 1);
    EXPECT_EQ(lists.addedCount, before + 1);
    EXPECT_EQ(lists.added[before], 0x010203u);
    // Slot 32 and above: no list exists.
    for (uint32_t value : {0xCFC20CFCu, 0xFFFFFFFFu}) {
        EXPECT_EQ(WAddNimboTraceMask(value, 0), 0);
        EXPECT_EQ(WAddNimboSignal(value, 0), 0);
        EXPECT_EQ(WRemoveNimboSignal(value, 0), 0);
    }
    lists.addedCount = before;
}

TEST_F(SignalTraceMask, ModeConfigurationReachesTheModule)
{
    // NumEntries is hexadecimal: 10 reads Base0 to Base15, not Base16.
    std::string text = "[ServiceModeAddBase]\nNumEntries=10\n";
    for (int i = 0; i <= 16; ++i)
        text += "Base" + std::to_string(i) + "=0x01" + (i < 16 ? "0" : "1") +
                "0123456789ABCDEF"[i % 16] + "00\n";
    text += "[ServiceModeAddSignal]\nNumEntries=1\nSignal0=50001\n";
    text += "[ServiceModeRemoveSignal]\nNumEntries=2\nSignal0=010003\nSignal1=\n";
    text += "[NormalModeAddBase]\nNumEntries=1\nBase0=0\n";
    writeIni(text);
    signals().enable.store(1);
    cfc::LoadSignalTraceConfig(signals(), "ServiceMode");
    EXPECT_EQ(signals().lists.baseCount, 16);
    EXPECT_EQ(signals().lists.addedCount, 1);
    EXPECT_EQ(signals().lists.removedCount, 1);

    const auto messages = waitForHostMessages(2);
    ASSERT_EQ(messages.size(), 2u);
    std::map<size_t, uint32_t> entries;
    for (size_t i = 2; i < 18; ++i)
        entries[i] = 32;
    entries[2] = 96;
    entries[54] = 64;
    Bytes group5 = block(0x00);
    group5[0] = 0x02;
    Bytes base0 = block(0xFF);
    base0[0] = 0xF7;
    EXPECT_EQ(messages[0].type, 0xD3);
    EXPECT_EQ(messages[0].parameter32, kMaskParameter32);
    EXPECT_EQ(messages[0].parameterA, 0);
    EXPECT_EQ(messages[0].parameterB, 3);
    EXPECT_EQ(messages[0].data,
              expectedMessage(entries, concat(concat(fixedBlocks(), group5), base0)));
    EXPECT_EQ(messages[1].type, 0xD5);
    EXPECT_EQ(messages[1].parameterByte, 2);
    EXPECT_EQ(messages[1].data, Bytes{0x00});
}

TEST_F(SignalTraceMask, DisabledConfigurationOnlyEmptiesTheLists)
{
    writeIni("[ServiceModeAddBase]\nNumEntries=1\nBase0=010000\n");
    WAddNimboSignal(link_.handle(), 0x010203);
    cfc::LoadSignalTraceConfig(signals(), "ServiceMode");
    EXPECT_EQ(signals().lists.addedCount, 0);
    EXPECT_EQ(signals().lists.baseCount, 0);
    EXPECT_FALSE(link_.sim().waitForMessages(1, 200));
}

TEST_F(SignalTraceMask, CloseLetsTheSignalsComeOutThenSwitchesThemOff)
{
    signals().enable.store(1);
    const auto start = std::chrono::steady_clock::now();
    link_.close();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000));
    const auto messages = link_.sim().hostMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, 0xD3);
    EXPECT_EQ(messages[0].parameter32, kMaskParameter32);
    EXPECT_EQ(messages[0].parameterB, 3);
    Bytes off = expectedMessage({}, Bytes(16, 0x00));
    EXPECT_EQ(off.size(), 552u);
    EXPECT_EQ(messages[0].data, off);
    EXPECT_TRUE(link_.sim().signalTrace().enabled.empty());
}

TEST_F(SignalTraceMask, CloseWithTheSignalTraceOffSendsNothing)
{
    const auto start = std::chrono::steady_clock::now();
    link_.close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000));
    EXPECT_TRUE(link_.sim().hostMessages().empty());
}

} // namespace
