// The calibration and production calls: every call's request on the wire and
// the judgement of its confirm, walked from one table; the judgement edges;
// the waits' faults staged by the simulated firmware; NVRAM items round
// tripped through that firmware byte for byte; and the message ids that
// every row of the call tables names.
#include "cfcrpc.h"
#include "cfcrpc_catalogue.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace cfctest;

namespace {

Bytes operator+(Bytes a, const Bytes& b)
{
    return concat(std::move(a), b);
}

Bytes bytesIn(const uint8_t* data, size_t size)
{
    return Bytes(data, data + size);
}

// One call as the catalogue lays it out: the request behind the reference,
// a good confirm behind the reference and what the call makes of it, and a
// confirm whose status the call must judge as failure (empty: none).
struct Row {
    const char* name;
    uint16_t request;
    Bytes fields;
    Bytes confirm;
    std::function<uint16_t(cfc::Connection&, Bytes& out)> call;
    Bytes out;
    Bytes failing;
    uint16_t failResult = cfc::kRpcBadConfirm;
    // The outputs after the failing confirm; empty: all left untouched.
    Bytes failedOut = {};
};

// Output areas start out as 0xEE so that what the call writes shows.
constexpr uint8_t kUntouched = 0xEE;

const Bytes kData3{0x11, 0x22, 0x33};

const cfc::BurstSetting kBurst{{1, 2, 3, 4}, {5, 6, 7, 8}, {1, 0, 1, 0}, 2, 3, 4, 5, 6};

// Eight 16-bit words counting up from `first`.
Bytes words(uint16_t first)
{
    Bytes out;
    for (uint16_t i = 0; i < 8; ++i)
        out = concat(out, le16(static_cast<uint16_t>(first + i)));
    return out;
}

std::vector<Row> catalogueRows()
{
    using C = cfc::Connection;
    const auto read = [](auto callRead) {
        return [callRead](C& c, Bytes& out) {
            std::array<uint8_t, 4> data;
            data.fill(kUntouched);
            uint16_t length = 0xEEEE;
            const uint16_t result = callRead(c, data.data(), &length);
            out = bytesIn(data.data(), data.size()) + le16(length);
            return result;
        };
    };
    const auto readVer = [](auto callRead) {
        return [callRead](C& c, Bytes& out) {
            std::array<uint8_t, 4> data;
            data.fill(kUntouched);
            uint16_t length = 0xEEEE;
            uint8_t version = kUntouched;
            const uint16_t result = callRead(c, data.data(), &length, &version);
            out = bytesIn(data.data(), data.size()) + le16(length) + Bytes{version};
            return result;
        };
    };
    const auto check = [](auto callCheck) {
        return [callCheck](C& c, Bytes& out) {
            uint8_t present = kUntouched;
            const uint16_t result = callCheck(c, &present);
            out = {present};
            return result;
        };
    };
    const auto plain = [](auto callPlain) {
        return [callPlain](C& c, Bytes&) { return callPlain(c); };
    };
    const auto area = [](auto callArea, size_t size) {
        return [callArea, size](C& c, Bytes& out) {
            out.assign(size, kUntouched);
            return callArea(c, out.data());
        };
    };
    const auto mode = [](auto callMode) {
        return [callMode](C& c, Bytes& out) {
            uint8_t returned = kUntouched;
            const uint16_t result = callMode(c, &returned);
            out = {returned};
            return result;
        };
    };
    const Bytes user = le16(0x1234) + le32(0x89ABCDEF);
    const Bytes number = countingBytes(8, 0x10);
    const Bytes info = countingBytes(17, 0x40);
    const Bytes response = countingBytes(64, 0x80);
    const Bytes block60 = countingBytes(60, 0x20);
    const Bytes block64 = countingBytes(64, 0x60);
    const Bytes block22 = countingBytes(22, 0xA0);
    const Bytes loopValues = le16(2) + le16(0xFF6A) + le16(7) + le16(900) + le16(0xFBB4);
    const Bytes ok{0};
    const Bytes failed{1};

    // One row a call, as the firmware's table has it.
    // clang-format off
    return {
        {"L1ALNVRAMRead", 49, user + le16(4), le16(3) + Bytes{0, 7, 8, 9},
         read([](C& c, uint8_t* d, uint16_t* l) { return cfc::CFCRPCL1ALNVRAMRead(c, 0x1234, 0x89ABCDEF, d, 4, l); }),
         Bytes{7, 8, 9, kUntouched} + le16(3), le16(3) + Bytes{2, 7, 8, 9}},
        {"L1ALNVRAMReadVer", 109, user + le16(4), le16(2) + Bytes{1, 5, 7, 8},
         readVer([](C& c, uint8_t* d, uint16_t* l, uint8_t* v) { return cfc::CFCRPCL1ALNVRAMReadVer(c, 0x1234, 0x89ABCDEF, d, 4, l, v); }),
         Bytes{7, 8, kUntouched, kUntouched} + le16(2) + Bytes{5}, le16(2) + Bytes{0xFF, 5, 7, 8}},
        {"L1ALNVRAMWrite", 51, user + le16(3) + kData3, ok,
         plain([](C& c) { return cfc::CFCRPCL1ALNVRAMWrite(c, 0x1234, 0x89ABCDEF, 3, kData3.data()); }), {}, failed},
        {"L1ALNVRAMWriteVer", 111, user + le16(3) + Bytes{9} + kData3, ok,
         plain([](C& c) { return cfc::CFCRPCL1ALNVRAMWriteVer(c, 0x1234, 0x89ABCDEF, 3, 9, kData3.data()); }), {}, failed},
        {"L1ALNvRamDelete", 53, user, ok,
         plain([](C& c) { return cfc::CFCRPCL1ALNvRamDelete(c, 0x1234, 0x89ABCDEF); }), {}, failed},
        {"L1ALNvRamErase", 55, {}, ok, plain([](C& c) { return cfc::CFCRPCL1ALNvRamErase(c); }), {}, failed},
        {"L1ALNvRamCheckCal", 57, le16(1) + Bytes{0x21}, le16(1) + Bytes{0, 0x55},
         check([](C& c, uint8_t* p) { return cfc::CFCRPCL1ALNvRamCheckCal(c, 0x21, p); }), {1}, {}},
        {"L1ALNVRAMReadCal", 57, le16(4) + Bytes{0x21}, le16(1) + Bytes{1, 0x31},
         read([](C& c, uint8_t* d, uint16_t* l) { return cfc::CFCRPCL1ALNVRAMReadCal(c, 0x21, d, 4, l); }),
         Bytes{0x31, kUntouched, kUntouched, kUntouched} + le16(1), le16(1) + Bytes{3, 0x31}},
        {"L1ALNvRamWriteCal", 59, le16(0x0021) + le16(3) + kData3, ok,
         plain([](C& c) { return cfc::CFCRPCL1ALNvRamWriteCal(c, 0x1221, 3, kData3.data()); }), {}, failed},
        {"L1ALNvRamEraseCal", 61, {}, ok, plain([](C& c) { return cfc::CFCRPCL1ALNvRamEraseCal(c); }), {}, failed},
        {"SaveAllOther", 63, le16(0x0304), ok, plain([](C& c) { return cfc::CFCRPCSaveAllOther(c, 0x0304); }), {}, failed},
        {"RestoreAllOther", 65, le16(0x0506), ok, plain([](C& c) { return cfc::CFCRPCRestoreAllOther(c, 0x0506); }), {}, failed},
        {"QVNVRAMCheckCal", 105, le16(1) + le16(0x1221), le16(0) + Bytes{2, 0},
         check([](C& c, uint8_t* p) { return cfc::CFCRPCQVNVRAMCheckCal(c, 0x1221, p); }), {0}, {}},
        {"QVNVRAMReadCal", 105, le16(4) + le16(0x1221), le16(4) + Bytes{0, 1, 2, 3, 4},
         read([](C& c, uint8_t* d, uint16_t* l) { return cfc::CFCRPCQVNVRAMReadCal(c, 0x1221, d, 4, l); }),
         Bytes{1, 2, 3, 4} + le16(4), le16(4) + Bytes{5, 1, 2, 3, 4}},
        {"QVNVRAMReadCalVer", 113, le16(4) + le16(0x1221), le16(1) + Bytes{0, 6, 9},
         readVer([](C& c, uint8_t* d, uint16_t* l, uint8_t* v) { return cfc::CFCRPCQVNVRAMReadCalVer(c, 0x1221, d, 4, l, v); }),
         Bytes{9, kUntouched, kUntouched, kUntouched} + le16(1) + Bytes{6}, le16(1) + Bytes{2, 6, 9}},
        {"QVNvRamWriteCal", 59, le16(0x1221) + le16(3) + kData3, ok,
         plain([](C& c) { return cfc::CFCRPCQVNvRamWriteCal(c, 0x1221, 3, kData3.data()); }), {}, failed},
        {"QVNvRamWriteCalVer", 115, le16(0x1221) + le16(3) + Bytes{4} + kData3, ok,
         plain([](C& c) { return cfc::CFCRPCQVNvRamWriteCalVer(c, 0x1221, 3, 4, kData3.data()); }), {}, failed},
        {"CalDevGsmSetAfcDac", 11, le16(0x0ABC), {}, plain([](C& c) { return cfc::CFCRPCCalDevGsmSetAfcDac(c, 0x0ABC); }), {}, {}},
        {"CalDevGsmFreqOffsetMeas", 13, le16(0x0203) + le16(0x1100), le16(0xFF38) + Bytes{7},
         [](C& c, Bytes& out) {
             int16_t offset = 0;
             uint8_t burst = kUntouched;
             const uint16_t result = cfc::CFCRPCCalDevGsmFreqOffsetMeas(c, 0x0203, 0x1100, &offset, &burst);
             out = le16(static_cast<uint16_t>(offset)) + Bytes{burst};
             return result;
         },
         le16(0xFF38) + Bytes{7}, {}},
        {"CalDevGsmGainProgram", 15, le16(0x1234) + Bytes{5, 2, 0}, le16(0) + le16(0x1234),
         [](C& c, Bytes& out) {
             uint16_t value = 0xEEEE;
             const uint16_t result = cfc::CFCRPCCalDevGsmGainProgram(c, 0x1234, 5, 2, 0, &value);
             out = le16(value);
             return result;
         },
         le16(0x1234), le16(1) + le16(9)},
        {"CalDevGsmRssi", 17, le16(0x0203) + le16(0x0040) + Bytes{1}, le16(0x0203) + le16(0xFBA0),
         [](C& c, Bytes& out) {
             int16_t rssi = static_cast<int16_t>(0xEEEE);
             const uint16_t result = cfc::CFCRPCCalDevGsmRssi(c, 0x0203, 0x0040, 1, &rssi);
             out = le16(static_cast<uint16_t>(rssi));
             return result;
         },
         le16(0xFBA0), le16(0x0204) + le16(0xFBA0)},
        {"CalDevGsmDcOffset", 19, {1}, le16(1) + le16(0xFFFE) + le16(3) + le16(0xFFFC),
         [](C& c, Bytes& out) {
             int16_t o[4] = {};
             const uint16_t result = cfc::CFCRPCCalDevGsmDcOffset(c, 1, &o[0], &o[1], &o[2], &o[3]);
             for (const int16_t v : o)
                 out = out + le16(static_cast<uint16_t>(v));
             return result;
         },
         le16(1) + le16(0xFFFE) + le16(3) + le16(0xFFFC), {}},
        {"CalDevGsmSetBandMode", 21, {3}, {}, plain([](C& c) { return cfc::CFCRPCCalDevGsmSetBandMode(c, 3); }), {}, {}},
        {"CalDevGsmSetBurstData", 23, block60, {},
         [block60](C& c, Bytes&) { return cfc::CFCRPCCalDevGsmSetBurstData(c, block60.data()); }, {}, {}},
        {"CalDevGsmSetBurst", 25,
         le16(1) + le16(2) + le16(3) + le16(4) + le16(5) + le16(6) + le16(7) + le16(8) + Bytes{1, 0, 1, 0, 2, 3, 4, 5, 6},
         {0xAA, 0xBB, 2}, plain([](C& c) { return cfc::CFCRPCCalDevGsmSetBurst(c, kBurst); }), {}, {0, 0, 3}},
        {"CalDevGsmRampScale", 27, le16(0x0102), {}, plain([](C& c) { return cfc::CFCRPCCalDevGsmRampScale(c, 0x0102); }), {}, {}},
        {"CalDevGsmSetPowerRamp", 29, block64, {},
         [block64](C& c, Bytes&) { return cfc::CFCRPCCalDevGsmSetPowerRamp(c, block64.data()); }, {}, {}},
        {"CalDevGsmRxControl", 31, Bytes{1, 4} + le32(0x0A0B0C0D), {},
         plain([](C& c) { return cfc::CFCRPCCalDevGsmRxControl(c, 1, 4, 0x0A0B0C0D); }), {}, {}},
        {"CalDevGsmLoopBack", 33, Bytes{0} + le16(0x10) + le16(0x20) + Bytes{3, 5, 7}, {1},
         plain([](C& c) { return cfc::CFCRPCCalDevGsmLoopBack(c, 0, 0x10, 0x20, 3, 5, 7); }), {}, {0}},
        {"CalDevGsmLoopBackData", 35, {}, loopValues + Bytes{1},
         [](C& c, Bytes& out) {
             cfc::LoopBackData d{-1, -1, 0xEEEE, 0xEEEE, -1};
             const uint16_t result = cfc::CFCRPCCalDevGsmLoopBackData(c, &d);
             out = le16(static_cast<uint16_t>(d.timingOffset)) + le16(static_cast<uint16_t>(d.frequencyOffset)) +
                   le16(d.bitErrors) + le16(d.softDecisionTotal) + le16(static_cast<uint16_t>(d.rssi));
             return result;
         },
         loopValues, loopValues + Bytes{0}, cfc::kRpcBadConfirm, le16(0xFFFF) + le16(0xFFFF) + le16(0xEEEE) + le16(0xEEEE) + le16(0xFFFF)},
        {"CalDevGsmSlotDefine", 37, block64 + Bytes{3}, {1},
         [block64](C& c, Bytes&) { return cfc::CFCRPCCalDevGsmSlotDefine(c, block64.data(), 3); }, {}, {2}},
        {"CalDevGsmFrameDefine", 39, block22 + Bytes{4}, {1},
         [block22](C& c, Bytes&) { return cfc::CFCRPCCalDevGsmFrameDefine(c, block22.data(), 4); }, {}, {0}},
        {"CalDevGsmFrameTiming", 41, Bytes{2} + le16(0x10) + le16(0x20) + le16(0x30) + le16(0x40), {},
         plain([](C& c) { return cfc::CFCRPCCalDevGsmFrameTiming(c, 2, 0x10, 0x20, 0x30, 0x40); }), {}, {}},
        {"CalDevGsmFrameUse", 43, {1}, {}, plain([](C& c) { return cfc::CFCRPCCalDevGsmFrameUse(c, 1); }), {}, {}},
        {"CalDevGsmConstTx", 45, le16(0x0203) + le32(0x01020304) + Bytes(12, 0) + le16(0x0506) + Bytes{2}, ok,
         plain([](C& c) { return cfc::CFCRPCCalDevGsmConstTx(c, 0x0203, 0x01020304, 0x0506, 2); }), {}, failed},
        {"CalDevGsmBBCRegister", 47, le16(0x00FF) + words(1) + words(11), words(21),
         [](C& c, Bytes& out) {
             std::array<uint16_t, 8> addresses, values, returned;
             for (uint16_t i = 0; i < 8; ++i) {
                 addresses[i] = static_cast<uint16_t>(1 + i);
                 values[i] = static_cast<uint16_t>(11 + i);
             }
             const uint16_t result = cfc::CFCRPCCalDevGsmBBCRegister(c, 0x00FF, addresses.data(), values.data(), returned.data());
             for (const uint16_t v : returned)
                 out = out + le16(v);
             return result;
         },
         words(21), {}},
        {"GetGainCodeTable", 95, le16(3) + Bytes{1, 2}, le16(1) + le16(2) + le16(0x111) + le16(0x112),
         [](C& c, Bytes& out) {
             std::array<uint16_t, 3> codes;
             codes.fill(0xEEEE);
             uint16_t count = 0xEEEE;
             const uint16_t result = cfc::CFCRPCGetGainCodeTable(c, 3, 1, 2, codes.data(), &count);
             for (const uint16_t v : codes)
                 out = out + le16(v);
             out = out + le16(count);
             return result;
         },
         le16(0x111) + le16(0x112) + le16(0xEEEE) + le16(2), le16(0) + le16(2)},
        {"SetPrechargeValue", 97, le16(0x0708), {}, plain([](C& c) { return cfc::CFCRPCSetPrechargeValue(c, 0x0708); }), {}, {}},
        // No reference: the first two request bytes mean nothing, and the
        // confirm's byte 3 is the result.
        {"ApexProtocolStackModeChange", 3, {2}, {0, 1},
         plain([](C& c) { return cfc::CFCRPCApexProtocolStackModeChange(c, 2); }), {}, {0, 0}, cfc::kRpcBadReference},

        {"FlashSerialNumberRead", 71, {}, Bytes{0, 1, 2, 3, 4},
         area([](C& c, uint8_t* o) { return cfc::CFCRPCFlashSerialNumberRead(c, o); }, 4),
         {1, 2, 3, 4}, {3, 1, 2, 3, 4}},
        {"GetSingleIE", 73, le16(0x0102), le16(0xBEEF) + Bytes{0},
         [](C& c, Bytes& out) {
             uint16_t value = 0xEEEE;
             const uint16_t result = cfc::CFCRPCGetSingleIE(c, 0x0102, &value);
             out = le16(value);
             return result;
         },
         le16(0xBEEF), le16(0xBEEF) + Bytes{2}, 702, le16(0xFFFF)},
        {"ResetIMEIMode", 75, le16(1), {1, 0x99, 0},
         mode([](C& c, uint8_t* m) { return cfc::CFCRPCResetIMEIMode(c, 1, m); }), {1},
         {0, 0x99, 0x80}, 700 - 128, {0}},
        {"SetCustomerIMEIMode", 75, le16(0), {0, 0x99, 0},
         mode([](C& c, uint8_t* m) { return cfc::CFCRPCSetCustomerIMEIMode(c, 0, m); }), {0}, {}},
        {"ReadSerialNumber", 77, {}, number + Bytes{0},
         area([](C& c, uint8_t* o) { return cfc::CFCRPCReadSerialNumber(c, o); }, 8), number,
         number + Bytes{1}, 701, Bytes(8, 0xFF)},
        {"ReadIMEI", 79, {}, number + Bytes{0},
         area([](C& c, uint8_t* o) { return cfc::CFCRPCReadIMEI(c, o); }, 8), number,
         number + Bytes{0xFF}, 699, Bytes(8, 0xFF)},
        {"InitIMEI", 81, {}, ok, plain([](C& c) { return cfc::CFCRPCInitIMEI(c); }), {}, {5}, 705},
        {"FreezeIMEI", 83, number, ok,
         [number](C& c, Bytes&) { return cfc::CFCRPCFreezeIMEI(c, number.data()); }, {}, {1}, 701},
        {"SetSecurityMode", 85, le16(2) + le32(0x11223344), le16(3) + Bytes{0},
         [](C& c, Bytes& out) {
             uint16_t m = 2;
             const uint16_t result = cfc::CFCRPCSetSecurityMode(c, &m, 0x11223344);
             out = le16(m);
             return result;
         },
         le16(3), le16(0) + Bytes{0x7F}, 827, le16(0)},
        {"RequestChallenge", 87, {}, number,
         area([](C& c, uint8_t* o) { return cfc::CFCRPCRequestChallenge(c, o); }, 8), number, {}},
        {"SendResponse", 89, response, ok,
         [response](C& c, Bytes&) { return cfc::CFCRPCSendResponse(c, response.data()); }, {},
         {1}, 701},
        {"GetMobileInfo", 91, {}, info + Bytes{0},
         area([](C& c, uint8_t* o) { return cfc::CFCRPCGetMobileInfo(c, o); }, 17), info,
         info + Bytes{0xFE}, 698, Bytes(17, 0xFF)},
    };
    // clang-format on
}

// Answers every request with the confirm the test put up.
struct Answers {
    std::mutex mutex;
    Bytes confirm;
    Bytes next()
    {
        std::lock_guard lock(mutex);
        return confirm;
    }
    void set(Bytes bytes)
    {
        std::lock_guard lock(mutex);
        confirm = std::move(bytes);
    }
};

ScriptedModule::OnRequest answering(std::shared_ptr<Answers> answers)
{
    return [answers](sim::Simulator& m, const sim::HostMessage& request) {
        m.sendMessage(static_cast<uint16_t>(request.command + 1),
                      le16(referenceOf(request)) + answers->next());
    };
}

TEST(Catalogue, EveryCallPutsItsLayoutOnTheWireAndJudgesItsConfirm)
{
    auto answers = std::make_shared<Answers>();
    ScriptedModule module(2, "cat-table", answering(answers));
    cfc::Connection& connection = module.connection();
    for (const Row& row : catalogueRows()) {
        SCOPED_TRACE(row.name);
        answers->set(row.confirm);
        Bytes out;
        EXPECT_EQ(row.call(connection, out), cfc::kRpcOk);
        EXPECT_EQ(out, row.out);
        const auto requests = module.sim().hostMessages();
        ASSERT_FALSE(requests.empty());
        const sim::HostMessage& sent = requests.back();
        EXPECT_EQ(sent.command, row.request);
        EXPECT_EQ(Bytes(sent.data.begin() + 2, sent.data.end()), row.fields);

        if (row.failing.empty())
            continue;
        answers->set(row.failing);
        Bytes untouched;
        EXPECT_EQ(row.call(connection, untouched), row.failResult);
        const Bytes failedOut =
            row.failedOut.empty() ? Bytes(row.out.size(), kUntouched) : row.failedOut;
        EXPECT_EQ(untouched, failedOut);
    }
}

TEST(CatalogueJudge, ItemStatesOfTheCheckCalls)
{
    struct Case {
        uint16_t length;
        uint8_t state;
        uint16_t result;
        uint8_t present;
    };
    const Case cases[] = {
        {1, 0, cfc::kRpcOk, 1},
        {2, 0, cfc::kRpcBadConfirm, kUntouched},
        {0, 1, cfc::kRpcOk, 0},
        {0, 2, cfc::kRpcOk, 0},
        {0, 4, cfc::kRpcOk, 255},
        {0, 3, cfc::kRpcUndefinedItemState, kUntouched},
        {0, 5, cfc::kRpcUndefinedItemState, kUntouched},
        {0, 0x80, cfc::kRpcUndefinedItemState, kUntouched},
        {0, 0xFF, cfc::kRpcUndefinedItemState, kUntouched},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << int{c.state} << ", length " << c.length);
        const Bytes confirm = le16(0) + le16(c.length) + Bytes{c.state, 0x77};
        uint8_t present = kUntouched;
        EXPECT_EQ(cfc::JudgeItemState(confirm, &present), c.result);
        EXPECT_EQ(present, c.present);
    }
}

TEST(CatalogueJudge, AReadDeliversNoMoreThanAskedWhateverTheLengthField)
{
    // Length field 12, but only 4 bytes asked for: four come, the guard stays.
    const Bytes confirm = le16(0) + le16(12) + Bytes{0} + countingBytes(12, 1);
    std::array<uint8_t, 6> area;
    area.fill(kUntouched);
    uint16_t length = 0;
    EXPECT_EQ(cfc::JudgeItemRead(confirm, false, area.data(), 4, &length, nullptr), cfc::kRpcOk);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(bytesIn(area.data(), area.size()), (Bytes{1, 2, 3, 4, kUntouched, kUntouched}));

    // A confirm that ends before its length field says: no content, nothing
    // delivered.
    const Bytes shortConfirm = le16(0) + le16(4) + Bytes{0, 9};
    area.fill(kUntouched);
    length = 77;
    EXPECT_EQ(cfc::JudgeItemRead(shortConfirm, false, area.data(), 4, &length, nullptr),
              cfc::kRpcBadConfirm);
    EXPECT_EQ(bytesIn(area.data(), 4), Bytes(4, kUntouched));
    EXPECT_EQ(length, 77);
}

class CatalogueFirmware : public TracedTest {
protected:
    static sim::Options withFault(sim::ConfirmFault kind, uint16_t request,
                                  uint32_t count = sim::kEveryTime)
    {
        sim::Options options;
        options.firmware.catalogueFault.kind = kind;
        options.firmware.catalogueFault.request = request;
        options.firmware.catalogueFault.count = count;
        return options;
    }
};

TEST_F(CatalogueFirmware, UserItemsRoundTripByteForByteAcrossFrames)
{
    ModuleLink link(3, "cat-user");
    cfc::Connection& c = link.connection();
    const Bytes big = countingBytes(1400, 3);
    ASSERT_EQ(cfc::CFCRPCL1ALNVRAMWrite(c, 0, 7, 1400, big.data()), cfc::kRpcOk);
    const Bytes largest = countingBytes(1490, 9);
    ASSERT_EQ(cfc::CFCRPCL1ALNVRAMWriteVer(c, 0, 8, 1489, 3, largest.data()), cfc::kRpcOk);

    std::vector<uint8_t> area(1500, kUntouched);
    uint16_t length = 0;
    ASSERT_EQ(cfc::CFCRPCL1ALNVRAMRead(c, 0, 7, area.data(), 1400, &length), cfc::kRpcOk);
    EXPECT_EQ(length, 1400);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 1400), big);
    EXPECT_EQ(area[1400], kUntouched);

    uint8_t version = 0;
    ASSERT_EQ(cfc::CFCRPCL1ALNVRAMReadVer(c, 0, 8, area.data(), 1489, &length, &version),
              cfc::kRpcOk);
    EXPECT_EQ(length, 1489);
    EXPECT_EQ(version, 3);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + 1489),
              Bytes(largest.begin(), largest.begin() + 1489));

    // A shorter area than the item: only what fits.
    ASSERT_EQ(cfc::CFCRPCL1ALNVRAMRead(c, 0, 7, area.data(), 10, &length), cfc::kRpcOk);
    EXPECT_EQ(length, 10);

    ASSERT_EQ(cfc::CFCRPCL1ALNvRamDelete(c, 0, 7), cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMRead(c, 0, 7, area.data(), 10, &length), cfc::kRpcBadConfirm);
    EXPECT_EQ(cfc::CFCRPCL1ALNvRamDelete(c, 0, 7), cfc::kRpcBadConfirm) << "nothing to delete";
    ASSERT_EQ(cfc::CFCRPCL1ALNvRamErase(c), cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMRead(c, 0, 8, area.data(), 10, &length), cfc::kRpcBadConfirm);
}

TEST_F(CatalogueFirmware, AWriteBeyondOneMessageIsRefusedWith9BeforeSending)
{
    ModuleLink link(4, "cat-limit");
    cfc::Connection& c = link.connection();
    const Bytes data = countingBytes(1495);
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMWrite(c, 0, 1, 1491, data.data()), cfc::kRpcNoMemory);
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMWriteVer(c, 0, 1, 1490, 0, data.data()), cfc::kRpcNoMemory);
    EXPECT_EQ(cfc::CFCRPCQVNvRamWriteCal(c, 1, 1495, data.data()), cfc::kRpcNoMemory);
    // The largest that fits goes out.
    EXPECT_EQ(cfc::CFCRPCQVNvRamWriteCal(c, 1, 1494, data.data()), cfc::kRpcOk);
    // Writes do not fetch the version, so the last write is all that went out.
    const auto sent = link.sim().hostMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data.size(), 1500u);
}

TEST_F(CatalogueFirmware, CalibrationItemsOfBothFamiliesSaveAndRestore)
{
    ModuleLink link(5, "cat-cal");
    cfc::Connection& c = link.connection();
    const Bytes narrow = countingBytes(40, 0x40);
    const Bytes wide = countingBytes(600, 0x80);
    // The first family sends only the id's low byte: 0x1221 lands on 0x21.
    ASSERT_EQ(cfc::CFCRPCL1ALNvRamWriteCal(c, 0x1221, 40, narrow.data()), cfc::kRpcOk);
    ASSERT_EQ(cfc::CFCRPCQVNvRamWriteCalVer(c, 0x1221, 600, 2, wide.data()), cfc::kRpcOk);

    uint8_t present = kUntouched;
    EXPECT_EQ(cfc::CFCRPCL1ALNvRamCheckCal(c, 0x21, &present), cfc::kRpcOk);
    EXPECT_EQ(present, 1);
    EXPECT_EQ(cfc::CFCRPCQVNVRAMCheckCal(c, 0x0022, &present), cfc::kRpcOk);
    EXPECT_EQ(present, 0);

    std::vector<uint8_t> area(600);
    uint16_t length = 0;
    uint8_t version = 0;
    ASSERT_EQ(cfc::CFCRPCL1ALNVRAMReadCal(c, 0x21, area.data(), 600, &length), cfc::kRpcOk);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + length), narrow);
    ASSERT_EQ(cfc::CFCRPCQVNVRAMReadCalVer(c, 0x1221, area.data(), 600, &length, &version),
              cfc::kRpcOk);
    EXPECT_EQ(version, 2);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + length), wide);

    // Only the items above the one named outlive the erase.
    ASSERT_EQ(cfc::CFCRPCSaveAllOther(c, 0x21), cfc::kRpcOk);
    ASSERT_EQ(cfc::CFCRPCL1ALNvRamEraseCal(c), cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCQVNVRAMReadCal(c, 0x1221, area.data(), 600, &length), cfc::kRpcBadConfirm);
    ASSERT_EQ(cfc::CFCRPCRestoreAllOther(c, 0x21), cfc::kRpcOk);
    ASSERT_EQ(cfc::CFCRPCQVNVRAMReadCal(c, 0x1221, area.data(), 600, &length), cfc::kRpcOk);
    EXPECT_EQ(Bytes(area.begin(), area.begin() + length), wide);
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMReadCal(c, 0x21, area.data(), 600, &length), cfc::kRpcBadConfirm);
}

TEST_F(CatalogueFirmware, IdentityFreezesOnceAndSecurityOpensWithTheAnsweredChallenge)
{
    ModuleLink link(11, "cat-identity");
    cfc::Connection& c = link.connection();
    const Bytes imei{0x35, 1, 2, 3, 4, 5, 6, 7};
    ASSERT_EQ(cfc::CFCRPCFreezeIMEI(c, imei.data()), cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCFreezeIMEI(c, imei.data()), 702) << "frozen already";
    EXPECT_EQ(cfc::CFCRPCInitIMEI(c), 701);
    Bytes read(8);
    ASSERT_EQ(cfc::CFCRPCReadIMEI(c, read.data()), cfc::kRpcOk);
    EXPECT_EQ(read, imei);

    uint16_t mode = 2;
    EXPECT_EQ(cfc::CFCRPCSetSecurityMode(c, &mode, 0), 703) << "no challenge answered";
    EXPECT_EQ(mode, 0) << "the mode the firmware kept comes back";
    Bytes challenge(8);
    ASSERT_EQ(cfc::CFCRPCRequestChallenge(c, challenge.data()), cfc::kRpcOk);
    Bytes response(64, 0);
    for (size_t i = 0; i < 8; ++i)
        response[i] = static_cast<uint8_t>(challenge[i] ^ 0xFF);
    EXPECT_EQ(cfc::CFCRPCSendResponse(c, response.data()), cfc::kRpcOk);
    mode = 2;
    const uint32_t key = static_cast<uint32_t>(challenge[0] | challenge[1] << 8 |
                                               challenge[2] << 16 | challenge[3] << 24);
    EXPECT_EQ(cfc::CFCRPCSetSecurityMode(c, &mode, key), cfc::kRpcOk);
    EXPECT_EQ(mode, 2);
}

TEST_F(CatalogueFirmware, CalibrationDeviceStateAndTheGainCodeTableCut)
{
    ModuleLink link(12, "cat-device");
    cfc::Connection& c = link.connection();
    // The firmware sends all 12 codes; a capacity of 10 takes 10.
    std::array<uint16_t, 11> codes;
    codes.fill(0xEEEE);
    uint16_t count = 0;
    ASSERT_EQ(cfc::CFCRPCGetGainCodeTable(c, 10, 1, 2, codes.data(), &count), cfc::kRpcOk);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(codes[9], 0x0129);
    EXPECT_EQ(codes[10], 0xEEEE);

    uint16_t value = 0;
    ASSERT_EQ(cfc::CFCRPCCalDevGsmGainProgram(c, 0x0345, 4, 1, 0, &value), cfc::kRpcOk);
    ASSERT_EQ(cfc::CFCRPCCalDevGsmGainProgram(c, 0, 4, 1, 1, &value), cfc::kRpcOk);
    EXPECT_EQ(value, 0x0345);
    EXPECT_EQ(cfc::CFCRPCCalDevGsmGainProgram(c, 0, 4, 1, 3, &value), cfc::kRpcBadConfirm);

    cfc::LoopBackData data;
    EXPECT_EQ(cfc::CFCRPCCalDevGsmLoopBackData(c, &data), cfc::kRpcBadConfirm) << "no loop yet";
    ASSERT_EQ(cfc::CFCRPCCalDevGsmLoopBack(c, 0, 10, 20, 3, 5, 7), cfc::kRpcOk);
    ASSERT_EQ(cfc::CFCRPCCalDevGsmLoopBackData(c, &data), cfc::kRpcOk);
    EXPECT_EQ(data.frequencyOffset, -150);
    EXPECT_EQ(data.rssi, -1100);
    ASSERT_EQ(cfc::CFCRPCCalDevGsmLoopBack(c, 2, 0, 0, 0, 0, 0), cfc::kRpcOk);
    EXPECT_EQ(cfc::CFCRPCCalDevGsmLoopBack(c, 2, 0, 0, 0, 0, 0), cfc::kRpcBadConfirm);
    EXPECT_EQ(cfc::CFCRPCApexProtocolStackModeChange(c, 1), cfc::kRpcOk);

    const Bytes slots = countingBytes(64);
    ASSERT_EQ(cfc::CFCRPCCalDevGsmSlotDefine(c, slots.data(), 1), cfc::kRpcOk);
    EXPECT_TRUE(traced("(RPC ) CFCRPCCalDevGsmSlotDefine: slotdefinition ->"));
}

TEST_F(CatalogueFirmware, AWrongEchoFailsRssiAndBurst)
{
    ModuleLink link(13, "cat-echo", ModuleLink::Module::Simulator,
                    withFault(sim::ConfirmFault::WrongEcho, 0));
    cfc::Connection& c = link.connection();
    int16_t rssi = 1;
    EXPECT_EQ(cfc::CFCRPCCalDevGsmRssi(c, 0x0203, 0, 0, &rssi), cfc::kRpcBadConfirm);
    EXPECT_EQ(rssi, 1);
    EXPECT_EQ(cfc::CFCRPCCalDevGsmSetBurst(c, kBurst), cfc::kRpcBadConfirm);
}

TEST_F(CatalogueFirmware, AStaleConfirmIsSkippedUnderEachDiscipline)
{
    ModuleLink link(6, "cat-stale", ModuleLink::Module::Simulator,
                    withFault(sim::ConfirmFault::ForeignReference, 0));
    cfc::Connection& c = link.connection();
    uint8_t present = kUntouched;
    EXPECT_EQ(cfc::CFCRPCQVNVRAMCheckCal(c, 1, &present), cfc::kRpcOk);
    EXPECT_EQ(countOf("(RPC ) RECV_RPC_CONFIRM: invalid reference received"), 1u);
    uint8_t area[8];
    uint16_t length = 0;
    EXPECT_EQ(cfc::CFCRPCQVNVRAMReadCal(c, 1, area, 8, &length), cfc::kRpcBadConfirm)
        << "the item is absent";
    EXPECT_EQ(countOf("(RPC ) CFCRPCQVNVRAMReadCal: invalid reference received"), 1u);
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMWrite(c, 0, 1, 3, kData3.data()), cfc::kRpcOk);
    EXPECT_EQ(countOf("(RPC ) RECV_RPC_CONFIRM: invalid reference received"), 1u)
        << "five attempts pass it silently";
}

TEST_F(CatalogueFirmware, PersistingForeignReferencesGive4ButEraseCalJudgesTheLast)
{
    // Five stale confirms per request, each different so none is dropped as
    // a repetition.
    ScriptedModule module(10, "cat-foreign", [](sim::Simulator& m, const sim::HostMessage& r) {
        for (uint16_t back = 5; back >= 1; --back)
            m.sendMessage(static_cast<uint16_t>(r.command + 1),
                          le16(static_cast<uint16_t>(referenceOf(r) - back)) + Bytes{0, 0, 0, 0});
    });
    cfc::Connection& c = module.connection();
    uint8_t present = kUntouched;
    EXPECT_EQ(cfc::CFCRPCL1ALNvRamCheckCal(c, 1, &present), cfc::kRpcBadReference);
    EXPECT_EQ(countOf("(RPC ) RECV_RPC_CONFIRM: invalid reference received"), 3u);
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMWrite(c, 0, 1, 3, kData3.data()), cfc::kRpcBadReference);
    uint8_t area[4];
    uint16_t length = 0;
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMRead(c, 0, 1, area, 4, &length), cfc::kRpcBadReference);
    EXPECT_EQ(countOf("(RPC ) CFCRPCL1ALNVRAMRead: invalid reference received"), 3u);
    EXPECT_EQ(cfc::CFCRPCL1ALNvRamEraseCal(c), cfc::kRpcOk);
    // So does the RSSI measurement: its echo (0) is all it checks.
    int16_t rssi = 1;
    EXPECT_EQ(cfc::CFCRPCCalDevGsmRssi(c, 0, 0, 0, &rssi), cfc::kRpcOk);
    EXPECT_EQ(rssi, 0);
    EXPECT_EQ(present, kUntouched);
}

TEST_F(CatalogueFirmware, ShortAndMissingConfirms)
{
    ModuleLink shortened(7, "cat-short", ModuleLink::Module::Simulator,
                         withFault(sim::ConfirmFault::Short, 0));
    cfc::Connection& c = shortened.connection();
    // A confirm cut short is no success, whatever its missing bytes would
    // have said, and delivers nothing.
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMWrite(c, 0, 1, 3, kData3.data()), cfc::kRpcBadConfirm)
        << "a status left off is no status 0";
    std::array<uint8_t, 3> area;
    area.fill(kUntouched);
    uint16_t length = 77;
    EXPECT_EQ(cfc::CFCRPCL1ALNVRAMRead(c, 0, 1, area.data(), 3, &length), cfc::kRpcBadConfirm);
    EXPECT_EQ(bytesIn(area.data(), 3), Bytes(3, kUntouched));
    EXPECT_EQ(length, 77);
    EXPECT_EQ(cfc::CFCRPCCalDevGsmLoopBack(c, 0, 1, 2, 3, 4, 5), cfc::kRpcBadConfirm);
    shortened.close();

    ModuleLink silent(8, "cat-silent", ModuleLink::Module::Simulator,
                      withFault(sim::ConfirmFault::Silent, 0));
    cfc::GetTargetVersion(silent.connection());
    silent.connection().serial.setClass2Timeout(kSilentWaitMs);
    uint8_t present = kUntouched;
    EXPECT_EQ(cfc::CFCRPCL1ALNvRamCheckCal(silent.connection(), 1, &present), cfc::kRpcNoConfirm);
    EXPECT_EQ(cfc::CFCRPCL1ALNvRamEraseCal(silent.connection()), cfc::kRpcNoConfirm);
    EXPECT_EQ(cfc::CFCRPCApexProtocolStackModeChange(silent.connection(), 1), cfc::kRpcNoConfirm);
    EXPECT_EQ(countOf("(EMMI) CFCReceiveFromTarget: expected cmd 0x4, dataLength 4"), 5u);
    EXPECT_EQ(present, kUntouched);
}

TEST_F(CatalogueFirmware, AStatusByteOfTheFirmwareFailsTheCall)
{
    ModuleLink link(9, "cat-status", ModuleLink::Module::Simulator,
                    withFault(sim::ConfirmFault::Status, cfc::CFCRequestSaveAllOther, 1));
    cfc::Connection& c = link.connection();
    EXPECT_EQ(cfc::CFCRPCSaveAllOther(c, 1), cfc::kRpcBadConfirm);
    EXPECT_EQ(cfc::CFCRPCSaveAllOther(c, 1), cfc::kRpcOk) << "the fault struck once";
}

TEST(Catalogue, TheProtocolStackRequestDrawsNoReferenceAndSendsZerosInItsPlace)
{
    auto answers = std::make_shared<Answers>();
    answers->set({0, 1});
    ScriptedModule module(14, "cat-noref", answering(answers));
    cfc::Connection& c = module.connection();
    // The version fetch draws a reference of its own; it is made first.
    cfc::GetTargetVersion(c);
    const uint16_t before = cfc::rpc::DrawReference();
    EXPECT_EQ(cfc::CFCRPCApexProtocolStackModeChange(c, 2), cfc::kRpcOk);
    EXPECT_EQ(cfc::rpc::DrawReference(), static_cast<uint16_t>(before + 1));
    const auto requests = module.sim().hostMessages();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().command, 3);
    EXPECT_EQ(requests.back().data, (Bytes{0, 0, 2}));
}

// Every row of the call tables against the message ids of the calls, as the
// firmware's interface lists them: request id and the confirm id it awaits.
TEST(CallRows, EachRowNamesTheIdsOfItsCall)
{
    namespace rpc = cfc::rpc;
    struct Ids {
        const rpc::CallDef& def;
        uint16_t request;
        uint16_t confirm;
    };
    // clang-format off
    const Ids rows[] = {
        {rpc::kGetVersion, 1, 2}, {rpc::kCalDevGsmFinish, 9, 10},
        {rpc::kGetCurrentOperationMode, 99, 100}, {rpc::kSetCurrentOperationMode, 101, 102},
        {rpc::kApexProtocolStackModeChange, 3, 4},
        {rpc::kSetAfcDac, 11, 12}, {rpc::kFreqOffsetMeas, 13, 14}, {rpc::kGainProgram, 15, 16},
        {rpc::kRssi, 17, 18}, {rpc::kDcOffset, 19, 20}, {rpc::kSetBandMode, 21, 22},
        {rpc::kSetBurstData, 23, 24}, {rpc::kSetBurst, 25, 26}, {rpc::kRampScale, 27, 28},
        {rpc::kSetPowerRamp, 29, 30}, {rpc::kRxControl, 31, 32}, {rpc::kLoopBack, 33, 34},
        {rpc::kLoopBackData, 35, 36}, {rpc::kSlotDefine, 37, 38}, {rpc::kFrameDefine, 39, 40},
        {rpc::kFrameTiming, 41, 42}, {rpc::kFrameUse, 43, 44}, {rpc::kConstTx, 45, 46},
        {rpc::kBBCRegister, 47, 48}, {rpc::kGetGainCodeTable, 95, 96},
        {rpc::kSetPrechargeValue, 97, 98},
        {rpc::kL1ALNVRAMRead, 49, 50}, {rpc::kL1ALNVRAMReadVer, 109, 110},
        {rpc::kL1ALNVRAMWrite, 51, 52}, {rpc::kL1ALNVRAMWriteVer, 111, 112},
        {rpc::kL1ALNvRamDelete, 53, 54}, {rpc::kL1ALNvRamErase, 55, 56},
        {rpc::kL1ALNvRamCheckCal, 57, 58}, {rpc::kL1ALNVRAMReadCal, 57, 58},
        {rpc::kL1ALNvRamWriteCal, 59, 60}, {rpc::kL1ALNvRamEraseCal, 61, 62},
        {rpc::kSaveAllOther, 63, 64}, {rpc::kRestoreAllOther, 65, 66},
        {rpc::kQVNVRAMCheckCal, 105, 106}, {rpc::kQVNVRAMReadCal, 105, 106},
        {rpc::kQVNVRAMReadCalVer, 113, 114}, {rpc::kQVNvRamWriteCal, 59, 60},
        {rpc::kQVNvRamWriteCalVer, 115, 116},
        {rpc::kFlashSerialNumberRead, 71, 72}, {rpc::kGetSingleIE, 73, 74},
        {rpc::kIMEIMode, 75, 76}, {rpc::kReadSerialNumber, 77, 78}, {rpc::kReadIMEI, 79, 80},
        {rpc::kInitIMEI, 81, 82}, {rpc::kFreezeIMEI, 83, 84}, {rpc::kSetSecurityMode, 85, 86},
        {rpc::kRequestChallenge, 87, 88}, {rpc::kSendResponse, 89, 90},
        {rpc::kGetMobileInfo, 91, 92},
    };
    // clang-format on
    for (const Ids& row : rows) {
        SCOPED_TRACE(row.def.name);
        EXPECT_EQ(row.def.request, row.request);
        EXPECT_EQ(rpc::ConfirmId(row.def), row.confirm);
    }
}

} // namespace
