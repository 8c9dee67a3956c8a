// The host's calibration store and its one-go write into the simulated
// module's NVRAM, checked byte for byte in the module.
#include "cfc.h"
#include "cfc_connection.h"
#include "cfcrpc_engine.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <vector>

using namespace cfctest;

namespace {

using Items = std::map<uint16_t, std::vector<uint8_t>>;

void put16(Bytes& item, size_t at, uint16_t value)
{
    item[at] = static_cast<uint8_t>(value & 0xFF);
    item[at + 1] = static_cast<uint8_t>(value >> 8);
}

std::vector<uint16_t> counting(size_t count, uint16_t first)
{
    std::vector<uint16_t> values(count);
    for (size_t i = 0; i < count; ++i)
        values[i] = static_cast<uint16_t>(first + i);
    return values;
}

class CalibrationStoreTest : public TracedTest {
protected:
    static sim::Options unknownItem18()
    {
        sim::Options options;
        options.firmware.unknownCalibrationItem = 18;
        return options;
    }
    static size_t writes(ModuleLink& link)
    {
        size_t count = 0;
        for (const sim::HostMessage& message : link.sim().hostMessages())
            count += message.type == sim::kTypeCommand && message.command == 59 ? 1 : 0;
        return count;
    }
};

TEST_F(CalibrationStoreTest, CollectedValuesLandInTheModuleByteForByte)
{
    ModuleLink link(40, "store-all");
    const uint32_t h = link.handle();
    // The module holds item 0 (replaced by the store), item 12 (one of the
    // host's, read and written back over the erase) and item 40 (beyond the
    // host's items, kept over the erase by the module itself) before.
    const Bytes old0(208, 0x55);
    const Bytes item12 = countingBytes(40, 0x90);
    const Bytes item40 = countingBytes(24, 0x40);
    ASSERT_EQ(WWriteNVRAMCalibrationItem(h, 0, old0.data(), 208), 1);
    ASSERT_EQ(WWriteNVRAMCalibrationItem(h, 12, item12.data(), 40), 1);
    ASSERT_EQ(WWriteNVRAMQVCalibrationItem(h, 40, item40.data(), 24), 1);

    const auto gains = counting(26, 0x100);
    const auto accurate = counting(26, 0x200);
    const auto gmskFactors = counting(32, 0x300);
    const auto pskFactors = counting(32, 0x400);
    ASSERT_EQ(WQuorleStoreCalibrationDataAGCGainWords(h, 1, gains.data()), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataAGCAccurateValues(h, 0, accurate.data()), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataAFC(h, 0x01020304, 0x0506), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataScalingFactors(h, 2, 0, gmskFactors.data()), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataScalingFactors(h, 3, 1, pskFactors.data()), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataAMLoopOffsets(h, 3, 0x11223344), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataAMLoopOffsets(h, 0, 0x55667788), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataTxIQOffsets(h, 0, 0, 10, -3), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataTxIQOffsets(h, 1, 1, 20, 21), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataTxIQOffsets(h, 1, 0, 1, 1), 1);
    EXPECT_TRUE(traced(
        "(CFC ) WQuorleStoreCalibrationDataTxIQOffsets: skipping GMSK value since already stored"));
    ASSERT_EQ(WQuorleStoreCalibrationDataTxDacOffsets(h, 2, 1, -2), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets(h, 5, -6), 1);
    EXPECT_TRUE(traced("(CFC ) WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets: O.K., "
                       "storedCalibrationItems now 0x000400ff"));

    ASSERT_EQ(WWriteAllStoredValuesToModuleNVRAM(h, 0), 1);
    EXPECT_EQ(link.connection().calibration.storedCalibrationItems, 0u);
    EXPECT_TRUE(traced("(CFC ) WWriteAllStoredValuesToModuleNVRAM: calItem 0 already existent in "
                       "NVRAM"));
    EXPECT_TRUE(traced("(TEST) Successfully read calibration item 12, 40 bytes"));
    EXPECT_TRUE(traced("(CFC) Successfully re-written calibration item 12"));

    Items expected;
    Bytes agc(208, 0);
    for (size_t i = 0; i < 26; ++i)
        put16(agc, 52 + 2 * i, gains[i]);
    expected[0] = agc;
    Bytes acc(208, 0);
    for (size_t i = 0; i < 26; ++i)
        put16(acc, 2 * i, accurate[i]);
    expected[1] = acc;
    expected[2] = {0x5F, 0xD0, 0x05, 0x00, 0x04, 0x03, 0x02, 0x01, 0x06, 0x05, 0, 0, 0xFF, 0x1F};
    Bytes factors(256, 0);
    for (size_t i = 0; i < 32; ++i)
        put16(factors, 128 + 2 * i, gmskFactors[i]);
    expected[3] = factors;
    factors.assign(256, 0);
    for (size_t i = 0; i < 32; ++i)
        put16(factors, 192 + 2 * i, pskFactors[i]);
    expected[4] = factors;
    // Band 3 first, then bands 0, 1, 2.
    expected[5] = {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 0, 0, 0, 0, 0, 0, 0, 0};
    expected[6] = {127, 0, 10, 0xFD, 20, 21, 127, 0, 0, 0, 0, 0, 20, 21, 0, 0};
    expected[7] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0, 0, 0, 0};
    expected[12] = item12;
    expected[18] = {5, 0, 0xFA, 0xFF};
    expected[40] = item40;
    EXPECT_EQ(link.sim().calibrationItems(), expected);
}

TEST_F(CalibrationStoreTest, UnmeasuredOrUnknownAutocalibrationIsNoFailure)
{
    ModuleLink link(41, "store-autocal");
    const uint32_t h = link.handle();
    // Stored as "not measured": nothing to write, the set is cleared.
    ASSERT_EQ(WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets(h, 127, 127), 1);
    ASSERT_EQ(WWriteAllStoredValuesToModuleNVRAM(h, 0), 1);
    EXPECT_EQ(writes(link), 0u);
    EXPECT_EQ(link.connection().calibration.storedCalibrationItems, 0u);

    ASSERT_EQ(WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets(h, 127, 127), 1);
    ASSERT_EQ(WWriteAllStoredValuesToModuleNVRAM(h, 1), 1);
    EXPECT_TRUE(traced("(CFC ) WWriteAllStoredValuesToModuleNVRAM: erase all cal items..."));
    EXPECT_EQ(writes(link), 0u);
    link.close();

    ModuleLink unknown(42, "store-unknown", ModuleLink::Module::Simulator, unknownItem18());
    ASSERT_EQ(WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets(unknown.handle(), 3, 4), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataAFC(unknown.handle(), 1, 2), 1);
    ASSERT_EQ(WWriteAllStoredValuesToModuleNVRAM(unknown.handle(), 0), 1);
    EXPECT_TRUE(traced("(CFC ) WWriteAllStoredValuesToModuleNVRAM: CfcTxDcAutocalibrationIqOffsets "
                       "not known to firmware -> don't save, continue"));
    uint8_t present = 0xEE;
    EXPECT_EQ(WCheckNVRAMCalibrationItem(unknown.handle(), 18, &present), 1);
    EXPECT_EQ(present, 0) << "an item the firmware does not handle is no present one";
    const Items items = unknown.sim().calibrationItems();
    EXPECT_EQ(items.size(), 1u);
    EXPECT_EQ(items.count(2), 1u);
}

TEST_F(CalibrationStoreTest, AnItemThatCannotBeReadIsNotWrittenBackEmpty)
{
    // The firmware's own answers, except that reads of whole items (not
    // the one-byte checks) get only confirms of foreign references.
    auto firmware = std::make_shared<sim::Firmware>(sim::FirmwareOptions{});
    const auto script = [firmware](sim::Simulator& module, const sim::HostMessage& request) {
        const bool itemRead = request.type == sim::kTypeCommand && request.command == 57 &&
                              request.data.size() == 5 && request.data[2] != 1;
        if (!itemRead) {
            firmware->handle(module, request);
            return;
        }
        for (uint8_t back = 3; back >= 1; --back)
            module.sendMessage(58, concat(le16(static_cast<uint16_t>(referenceOf(request) - back)),
                                          Bytes{0, 0, back}));
    };
    ModuleLink link(45, "store-unreadable", ModuleLink::Module::Simulator, {}, script);
    const uint32_t h = link.handle();
    const Bytes item9 = countingBytes(8, 9);
    ASSERT_EQ(WWriteNVRAMCalibrationItem(h, 2, item9.data(), 8), 1);
    ASSERT_EQ(WWriteNVRAMCalibrationItem(h, 9, item9.data(), 8), 1);
    ASSERT_EQ(WQuorleStoreCalibrationDataAFC(h, 1, 2), 1);

    const size_t before = link.sim().hostMessages().size();
    ASSERT_EQ(WWriteAllStoredValuesToModuleNVRAM(h, 0), 1);
    EXPECT_TRUE(traced("(TEST) No calibration item 9 found"));
    EXPECT_FALSE(traced("(CFC) Successfully re-written calibration item 9"));
    // Item 9 is the host's to carry, and it had nothing to carry: the erase
    // took it, and no empty item took its place.
    const auto sent = link.sim().hostMessages();
    for (size_t i = before; i < sent.size(); ++i) {
        if (sent[i].type == sim::kTypeCommand && sent[i].command == 59) {
            EXPECT_NE(sent[i].data.at(2), 9);
        }
    }
    const Items items = firmware->calibrationItems();
    EXPECT_EQ(items.count(9), 0u);
    EXPECT_EQ(items.at(2).size(), 14u);
}

TEST_F(CalibrationStoreTest, InvalidBandOrModulationStoresNothing)
{
    ModuleLink link(43, "store-invalid");
    const uint32_t h = link.handle();
    cfc::Connection& c = link.connection();
    EXPECT_EQ(WQuorleStoreCalibrationDataAMLoopOffsets(h, 4, 1), 0);
    EXPECT_EQ(c.lastError(), EMMIERR_BAD_BAND);
    EXPECT_TRUE(traced("(CFC ) WQuorleStoreCalibrationDataAMLoopOffsets: invalid band 4"));
    // Modulation before band here, band before modulation there.
    EXPECT_EQ(WQuorleStoreCalibrationDataTxIQOffsets(h, 9, 2, 0, 0), 0);
    EXPECT_EQ(c.lastError(), EMMIERR_BAD_MODULATION);
    const std::vector<uint16_t> factors(32, 1);
    EXPECT_EQ(WQuorleStoreCalibrationDataScalingFactors(h, 9, 2, factors.data()), 0);
    EXPECT_EQ(c.lastError(), EMMIERR_BAD_MODULATION);
    EXPECT_EQ(WQuorleStoreCalibrationDataTxDacOffsets(h, 9, 2, 0), 0);
    EXPECT_EQ(c.lastError(), EMMIERR_BAD_BAND);
    EXPECT_EQ(WQuorleStoreCalibrationDataAGCGainWords(h, 4, factors.data()), 0);
    EXPECT_EQ(c.calibration.storedCalibrationItems, 0u);
}

TEST_F(CalibrationStoreTest, AFailedWriteKeepsTheStoredSet)
{
    sim::Options options;
    options.firmware.catalogueFault = {sim::ConfirmFault::Status, 59, 1, 0, sim::kEveryTime};
    ModuleLink link(44, "store-fail", ModuleLink::Module::Simulator, options);
    const uint32_t h = link.handle();
    ASSERT_EQ(WQuorleStoreCalibrationDataAFC(h, 1, 2), 1);
    EXPECT_EQ(WWriteAllStoredValuesToModuleNVRAM(h, 0), 0);
    EXPECT_EQ(link.connection().lastError(), cfc::kRpcBadConfirm);
    EXPECT_EQ(link.connection().calibration.storedCalibrationItems, 0x4u);
    EXPECT_TRUE(traced(
        "(CFC ) WWriteAllStoredValuesToModuleNVRAM: WWriteNVRAMCalibrationItem(2) fails with error 5"));
}

} // namespace
