// Every public calibration and production operation that talks to the module,
// walked from one table: the requests it puts on the line, byte for byte as
// the request layouts have them, and what it delivers from a known confirm.
// The expected bytes are written out here from the layouts (operation codes,
// field order, low byte first); bytes the layouts leave open are not pinned.
#include "cfc.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace cfctest;

namespace {

// An expected request payload: byte values, or kAny where the layout leaves
// the byte open.
using Pattern = std::vector<int>;
constexpr int kAny = -1;

Pattern operator+(Pattern a, const Pattern& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Pattern any(size_t count)
{
    return Pattern(count, kAny);
}
// The reference leads almost every request; its value is the counter's.
Pattern ref()
{
    return any(2);
}
Pattern w(uint16_t value)
{
    return {value & 0xFF, value >> 8};
}
Pattern d(uint32_t value)
{
    return {static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>((value >> 16) & 0xFF), static_cast<int>(value >> 24)};
}
Pattern fill(size_t count, int value)
{
    return Pattern(count, value);
}
Pattern of(const Bytes& bytes)
{
    return Pattern(bytes.begin(), bytes.end());
}
// An AT request's text area: the line, CR and a zero; the rest means nothing.
Pattern atLine(const std::string& line)
{
    return ref() + of(bytesOf(line)) + Pattern{0x0D, 0x00} + any(128 - line.size() - 2);
}

std::string hex(const Pattern& bytes)
{
    std::string text;
    for (const int b : bytes) {
        char cell[4] = "?? ";
        if (b != kAny)
            std::snprintf(cell, sizeof cell, "%02X ", b);
        text += cell;
    }
    return text;
}

::testing::AssertionResult matches(const Bytes& sent, const Pattern& expected)
{
    bool same = sent.size() == expected.size();
    for (size_t i = 0; same && i < sent.size(); ++i)
        same = expected[i] == kAny || expected[i] == sent[i];
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\n  sent     " << hex(of(sent)) << "\n  expected " << hex(expected);
}

// The confirms the module sends for one request, given its reference.
using Answer = std::function<std::vector<Bytes>(uint16_t reference)>;

Answer confirm(const Bytes& rest)
{
    return [rest](uint16_t reference) { return std::vector<Bytes>{concat(le16(reference), rest)}; };
}
// A confirm whose first bytes are no reference.
Answer unreferenced(const Bytes& all)
{
    return [all](uint16_t) { return std::vector<Bytes>{all}; };
}
// The first answer for the first request of the id, and so on; the last
// answers all further ones.
Answer inTurn(std::vector<Answer> answers)
{
    auto next = std::make_shared<size_t>(0);
    return [answers, next](uint16_t reference) {
        const size_t at = std::min(*next, answers.size() - 1);
        ++*next;
        return answers[at](reference);
    };
}
// The echo of an AT line and, behind it, the module's answer.
Answer atAnswer(const std::string& echo, const std::string& response)
{
    return [=](uint16_t reference) {
        return std::vector<Bytes>{concat(le16(reference), atTextArea(echo)),
                                  concat(le16(reference), atTextArea(response))};
    };
}

struct Request {
    uint16_t id;
    Pattern payload;
};

enum class Firmware { Versioned, Plain };

// One operation: how to call it and collect its outputs as bytes (16-bit
// values low byte first), the requests it must send in order, the confirms
// by request id, and the outputs those confirms must give.
struct Row {
    const char* name;
    std::function<int32_t(uint32_t handle, Bytes& out)> call;
    std::vector<Request> requests;
    std::map<uint16_t, Answer> answers;
    Bytes out = {};
    Firmware firmware = Firmware::Versioned;
};

// Output areas start out so, to show what a call leaves alone.
constexpr uint8_t kUntouched = 0xEE;

Bytes signedLe16(int16_t value)
{
    return le16(static_cast<uint16_t>(value));
}

Bytes wordsLe(const uint16_t* words, size_t count)
{
    Bytes out;
    for (size_t i = 0; i < count; ++i)
        out = concat(out, le16(words[i]));
    return out;
}

const Bytes kData3{0x11, 0x22, 0x33};
constexpr uint32_t kUser = 0x89ABCDEF;
constexpr uint16_t kValue = 0x1234;
constexpr uint16_t kQvId = 0x1221;

// A read into an area of four bytes: the area and the length read.
template <typename Read>
std::function<int32_t(uint32_t, Bytes&)> readInto(Read read)
{
    return [read](uint32_t h, Bytes& out) {
        std::array<uint8_t, 4> area;
        area.fill(kUntouched);
        uint16_t length = 0xEEEE;
        const int32_t done = read(h, area.data(), &length);
        out = concat(Bytes(area.begin(), area.end()), le16(length));
        return done;
    };
}
// As readInto, with the version behind.
template <typename Read>
std::function<int32_t(uint32_t, Bytes&)> readVerInto(Read read)
{
    return [read](uint32_t h, Bytes& out) {
        uint8_t version = kUntouched;
        const int32_t done = readInto([&](uint32_t handle, uint8_t* area, uint16_t* length) {
            return read(handle, area, length, &version);
        })(h, out);
        out.push_back(version);
        return done;
    };
}
// An operation with no outputs.
template <typename Call>
std::function<int32_t(uint32_t, Bytes&)> plain(Call call)
{
    return [call](uint32_t h, Bytes&) { return call(h); };
}
// An output area of `size` bytes.
template <typename Call>
std::function<int32_t(uint32_t, Bytes&)> area(size_t size, Call call)
{
    return [size, call](uint32_t h, Bytes& out) {
        out.assign(size, kUntouched);
        return call(h, out.data());
    };
}

std::vector<Row> catalogueRows()
{
    const Bytes ok{0};
    // clang-format off
    return {
        // NVRAM calibration items: 57 and 105 are both the check (size 1)
        // and the read; the write of either family is 59.
        {"WCheckNVRAMCalibrationItem",
         [](uint32_t h, Bytes& out) { uint8_t p = kUntouched; const int32_t r = WCheckNVRAMCalibrationItem(h, 0x21, &p); out = {p}; return r; },
         {{57, ref() + w(1) + Pattern{0x21}}}, {{57, confirm(concat(le16(1), {0, 0x77}))}}, {1}},
        {"WReadNVRAMCalibrationItem",
         readInto([](uint32_t h, uint8_t* a, uint16_t* l) { return WReadNVRAMCalibrationItem(h, 0x21, a, 4, l); }),
         {{57, ref() + w(4) + Pattern{0x21}}}, {{57, confirm(concat(le16(3), {0, 0xAA, 0xBB, 0xCC}))}},
         concat({0xAA, 0xBB, 0xCC, kUntouched}, le16(3))},
        {"WWriteNVRAMCalibrationItem",
         plain([](uint32_t h) { return WWriteNVRAMCalibrationItem(h, 0x21, kData3.data(), 3); }),
         {{59, ref() + w(0x0021) + w(3) + of(kData3)}}, {{59, confirm(ok)}}},
        {"WEraseAllNVRAMCalibrationItems", plain([](uint32_t h) { return WEraseAllNVRAMCalibrationItems(h); }),
         {{61, ref()}}, {{61, confirm(ok)}}},
        {"WSaveAllOtherNVRAMCalibrationItems", plain([](uint32_t h) { return WSaveAllOtherNVRAMCalibrationItems(h, 0x0304); }),
         {{63, ref() + w(0x0304)}}, {{63, confirm(ok)}}},
        {"WRestoreAllOtherNVRAMCalibrationItems", plain([](uint32_t h) { return WRestoreAllOtherNVRAMCalibrationItems(h, 0x0506); }),
         {{65, ref() + w(0x0506)}}, {{65, confirm(ok)}}},
        {"WCheckNVRAMQVCalibrationItem",
         [](uint32_t h, Bytes& out) { uint8_t p = kUntouched; const int32_t r = WCheckNVRAMQVCalibrationItem(h, kQvId, &p); out = {p}; return r; },
         {{105, ref() + w(1) + w(kQvId)}}, {{105, confirm(concat(le16(0), {2, 0x77}))}}, {0}},
        {"WReadNVRAMQVCalibrationItem",
         readInto([](uint32_t h, uint8_t* a, uint16_t* l) { return WReadNVRAMQVCalibrationItem(h, kQvId, a, 4, l); }),
         {{105, ref() + w(4) + w(kQvId)}}, {{105, confirm(concat(le16(2), {1, 0x5A, 0x5B}))}},
         concat({0x5A, 0x5B, kUntouched, kUntouched}, le16(2))},
        {"WWriteNVRAMQVCalibrationItem",
         plain([](uint32_t h) { return WWriteNVRAMQVCalibrationItem(h, kQvId, kData3.data(), 3); }),
         {{59, ref() + w(kQvId) + w(3) + of(kData3)}}, {{59, confirm(ok)}}},
        {"WReadNVRAMQVCalibrationItemVer",
         readVerInto([](uint32_t h, uint8_t* a, uint16_t* l, uint8_t* v) { return WReadNVRAMQVCalibrationItemVer(h, kQvId, a, 4, l, v); }),
         {{113, ref() + w(4) + w(kQvId)}}, {{113, confirm(concat(le16(2), {0, 7, 0x5A, 0x5B}))}},
         concat(concat({0x5A, 0x5B, kUntouched, kUntouched}, le16(2)), {7})},
        {"WReadNVRAMQVCalibrationItemVer without item versions",
         readVerInto([](uint32_t h, uint8_t* a, uint16_t* l, uint8_t* v) { return WReadNVRAMQVCalibrationItemVer(h, kQvId, a, 4, l, v); }),
         {{105, ref() + w(4) + w(kQvId)}}, {{105, confirm(concat(le16(2), {0, 0x5A, 0x5B}))}},
         concat(concat({0x5A, 0x5B, kUntouched, kUntouched}, le16(2)), {kUntouched}), Firmware::Plain},
        {"WWriteNVRAMQVCalibrationItemVer",
         plain([](uint32_t h) { return WWriteNVRAMQVCalibrationItemVer(h, kQvId, kData3.data(), 3, 9); }),
         {{115, ref() + w(kQvId) + w(3) + Pattern{9} + of(kData3)}}, {{115, confirm(ok)}}},
        {"WWriteNVRAMQVCalibrationItemVer without item versions",
         plain([](uint32_t h) { return WWriteNVRAMQVCalibrationItemVer(h, kQvId, kData3.data(), 3, 9); }),
         {{59, ref() + w(kQvId) + w(3) + of(kData3)}}, {{59, confirm(ok)}}, {}, Firmware::Plain},

        // NVRAM user items: the value before the user id on the wire.
        {"WReadNVRAMUserItem",
         readInto([](uint32_t h, uint8_t* a, uint16_t* l) { return WReadNVRAMUserItem(h, kUser, kValue, a, 4, l); }),
         {{49, ref() + w(kValue) + d(kUser) + w(4)}}, {{49, confirm(concat(le16(3), {0, 7, 8, 9}))}},
         concat({7, 8, 9, kUntouched}, le16(3))},
        {"WWriteNVRAMUserItem",
         plain([](uint32_t h) { return WWriteNVRAMUserItem(h, kUser, kValue, kData3.data(), 3); }),
         {{51, ref() + w(kValue) + d(kUser) + w(3) + of(kData3)}}, {{51, confirm(ok)}}},
        {"WReadNVRAMUserItemVer",
         readVerInto([](uint32_t h, uint8_t* a, uint16_t* l, uint8_t* v) { return WReadNVRAMUserItemVer(h, kUser, kValue, a, 4, l, v); }),
         {{109, ref() + w(kValue) + d(kUser) + w(4)}}, {{109, confirm(concat(le16(2), {1, 5, 7, 8}))}},
         concat(concat({7, 8, kUntouched, kUntouched}, le16(2)), {5})},
        {"WReadNVRAMUserItemVer without item versions",
         readVerInto([](uint32_t h, uint8_t* a, uint16_t* l, uint8_t* v) { return WReadNVRAMUserItemVer(h, kUser, kValue, a, 4, l, v); }),
         {{49, ref() + w(kValue) + d(kUser) + w(4)}}, {{49, confirm(concat(le16(2), {1, 7, 8}))}},
         concat(concat({7, 8, kUntouched, kUntouched}, le16(2)), {kUntouched}), Firmware::Plain},
        {"WWriteNVRAMUserItemVer",
         plain([](uint32_t h) { return WWriteNVRAMUserItemVer(h, kUser, kValue, kData3.data(), 3, 4); }),
         {{111, ref() + w(kValue) + d(kUser) + w(3) + Pattern{4} + of(kData3)}}, {{111, confirm(ok)}}},
        {"WWriteNVRAMUserItemVer without item versions",
         plain([](uint32_t h) { return WWriteNVRAMUserItemVer(h, kUser, kValue, kData3.data(), 3, 4); }),
         {{51, ref() + w(kValue) + d(kUser) + w(3) + of(kData3)}}, {{51, confirm(ok)}}, {}, Firmware::Plain},
        {"WDeleteNVRAMUserItem", plain([](uint32_t h) { return WDeleteNVRAMUserItem(h, kUser, kValue); }),
         {{53, ref() + w(kValue) + d(kUser)}}, {{53, confirm(ok)}}},
        {"WEraseAllNVRAMUserItems", plain([](uint32_t h) { return WEraseAllNVRAMUserItems(h); }),
         {{55, ref()}}, {{55, confirm(ok)}}},

        // Radio test control.
        {"WSetAFC", plain([](uint32_t h) { return WSetAFC(h, 0x0ABC); }),
         {{11, ref() + w(0x0ABC)}}, {{11, confirm({})}}},
        {"WSetAFCAndMeasure",
         [](uint32_t h, Bytes& out) { int16_t o = -1; const int32_t r = WSetAFCAndMeasure(h, 0x0203, 0x1100, &o); out = signedLe16(o); return r; },
         {{13, ref() + w(0x0203) + w(0x1100)}}, {{13, confirm(concat(signedLe16(-200), {1}))}}, signedLe16(-200)},
        {"WSetGainProgramWord", plain([](uint32_t h) { return WSetGainProgramWord(h, 0x1234, 5, 2); }),
         {{15, ref() + w(0x1234) + Pattern{5, 2, 0}}}, {{15, confirm(concat(le16(0), le16(0x1234)))}}},
        {"WGetGainProgramWord",
         [](uint32_t h, Bytes& out) { uint16_t v = 0xEEEE; const int32_t r = WGetGainProgramWord(h, 5, 2, &v); out = le16(v); return r; },
         {{15, ref() + w(0) + Pattern{5, 2, 1}}}, {{15, confirm(concat(le16(0), le16(0x0ABC)))}}, le16(0x0ABC)},
        {"WSetAccurateValue", plain([](uint32_t h) { return WSetAccurateValue(h, 0x0022, 5, 2); }),
         {{15, ref() + w(0x0022) + Pattern{5, 2, 2}}}, {{15, confirm(concat(le16(0), le16(0x0022)))}}},
        {"WGetPowerValue",
         [](uint32_t h, Bytes& out) { int16_t v = -1; const int32_t r = WGetPowerValue(h, 0x0203, 0x0040, 1, &v); out = signedLe16(v); return r; },
         {{17, ref() + w(0x0203) + w(0x0040) + Pattern{1}}}, {{17, confirm(concat(le16(0x0203), signedLe16(-1120)))}},
         signedLe16(-1120)},
        {"WGetUsedIQOffsetValues",
         [](uint32_t h, Bytes& out) {
             std::array<int16_t, 4> o{-1, -1, -1, -1};
             const int32_t r = WGetUsedIQOffsetValues(h, 1, o.data());
             for (const int16_t v : o)
                 out = concat(out, signedLe16(v));
             return r;
         },
         {{19, ref() + Pattern{1}}},
         {{19, confirm(concat(concat(signedLe16(1), signedLe16(-2)), concat(signedLe16(3), signedLe16(-4))))}},
         concat(concat(signedLe16(1), signedLe16(-2)), concat(signedLe16(3), signedLe16(-4)))},
        {"WSetCurrentDualBandMode", plain([](uint32_t h) { return WSetCurrentDualBandMode(h, 3); }),
         {{21, ref() + Pattern{3}}}, {{21, confirm({})}}},
        {"WSetPowerRamp",
         plain([](uint32_t h) {
             std::array<uint16_t, 32> ramp;
             for (uint16_t i = 0; i < 32; ++i)
                 ramp[i] = static_cast<uint16_t>(i << 8 | (0x80 + i));
             return WSetPowerRamp(h, ramp.data());
         }),
         {{29, ref() + [] { Pattern p; for (int i = 0; i < 32; ++i) p = p + Pattern{0x80 + i, i}; return p; }()}},
         {{29, confirm({})}}},
        {"WSetRampScaleFactor", plain([](uint32_t h) { return WSetRampScaleFactor(h, 0x0102); }),
         {{27, ref() + w(0x0102)}}, {{27, confirm({})}}},
        {"WSetCircuitSwitchedTDMAFrame",
         plain([](uint32_t h) {
             const uint8_t on[4] = {1, 0, 1, 0};
             const uint16_t channels[4] = {0x0101, 0x0102, 0x0103, 0x0104};
             const uint16_t gains[4] = {0x0201, 0x0202, 0x0203, 0x0204};
             return WSetCircuitSwitchedTDMAFrame(h, 2, on, channels, gains, 3, 4, 5, 6, 0x0190);
         }),
         {{27, ref() + w(0x0190)},
          {25, ref() + w(0x0101) + w(0x0102) + w(0x0103) + w(0x0104) + w(0x0201) + w(0x0202) + w(0x0203) +
                   w(0x0204) + Pattern{1, 0, 1, 0, 2, 3, 4, 5, 6}}},
         {{27, confirm({})}, {25, confirm({0x99, 0x99, 2})}}},
        // The index goes out only where the operation has one; the
        // parameter only where it takes one.
        {"WRadioPowerOn", plain([](uint32_t h) { return WRadioPowerOn(h); }),
         {{31, ref() + any(1) + Pattern{0} + any(4)}}, {{31, confirm({})}}},
        {"WRadioPowerDown", plain([](uint32_t h) { return WRadioPowerDown(h); }),
         {{31, ref() + any(1) + Pattern{1} + any(4)}}, {{31, confirm({})}}},
        {"WRadioReceiverOn", plain([](uint32_t h) { return WRadioReceiverOn(h, 0x0A0B0C0D); }),
         {{31, ref() + any(1) + Pattern{2} + d(0x0A0B0C0D)}}, {{31, confirm({})}}},
        {"WRadioReceiverOff", plain([](uint32_t h) { return WRadioReceiverOff(h, 0x0D0C0B0A); }),
         {{31, ref() + any(1) + Pattern{3} + d(0x0D0C0B0A)}}, {{31, confirm({})}}},
        {"WRadioSendTelegram", plain([](uint32_t h) { return WRadioSendTelegram(h, 0x11223344); }),
         {{31, ref() + any(1) + Pattern{4} + d(0x11223344)}}, {{31, confirm({})}}},
        {"WRadioSetInitTelegram", plain([](uint32_t h) { return WRadioSetInitTelegram(h, 0x55667788, 7); }),
         {{31, ref() + Pattern{7, 5} + d(0x55667788)}}, {{31, confirm({})}}},
        {"WStartLoopback", plain([](uint32_t h) { return WStartLoopback(h, 0x0110, 0x0220, 3, 5, 7); }),
         {{33, ref() + Pattern{0} + w(0x0110) + w(0x0220) + Pattern{3, 5, 7}}}, {{33, confirm({1})}}},
        {"WChangeLoopback", plain([](uint32_t h) { return WChangeLoopback(h, 0x0221, 4, 6, 8); }),
         {{33, ref() + Pattern{1} + w(0) + w(0x0221) + Pattern{4, 6, 8}}}, {{33, confirm({1})}}},
        {"WStopLoopback", plain([](uint32_t h) { return WStopLoopback(h); }),
         {{33, ref() + Pattern{2} + w(0) + w(0) + Pattern{0, 0, 0}}}, {{33, confirm({1})}}},
        {"WGetLoopbackData",
         [](uint32_t h, Bytes& out) {
             int16_t timing = -1, frequency = -1, rssi = -1;
             uint16_t errors = 0xEEEE, soft = 0xEEEE;
             const int32_t r = WGetLoopbackData(h, &timing, &frequency, &errors, &soft, &rssi);
             out = concat(concat(concat(signedLe16(timing), signedLe16(frequency)), concat(le16(errors), le16(soft))),
                          signedLe16(rssi));
             return r;
         },
         {{35, ref()}},
         {{35, confirm(concat(concat(concat(signedLe16(-3), signedLe16(-150)), concat(le16(7), le16(900))),
                              concat(signedLe16(-1100), {1})))}},
         concat(concat(concat(signedLe16(-3), signedLe16(-150)), concat(le16(7), le16(900))), signedLe16(-1100))},

        // GPRS slots and frames: a slot definition is type, second byte,
        // a 16-bit value and 60 data bytes, then the slot number.
        {"WConfigureGPRSLogicalRxSlot", plain([](uint32_t h) { return WConfigureGPRSLogicalRxSlot(h, 1, 0, 0x0123); }),
         {{37, ref() + Pattern{2, 5} + w(0x0123) + fill(60, 116) + Pattern{1}}}, {{37, confirm({1})}}},
        {"WConfigureGPRSLogicalRxSlot 8PSK", plain([](uint32_t h) { return WConfigureGPRSLogicalRxSlot(h, 6, 1, 0x0321); }),
         {{37, ref() + Pattern{5, 5} + w(0x0321) + fill(60, 116) + Pattern{6}}}, {{37, confirm({1})}}},
        {"WConfigureGPRSLogicalMonSlot", plain([](uint32_t h) { return WConfigureGPRSLogicalMonSlot(h, 3, 0x0345); }),
         {{37, ref() + Pattern{3, 5} + w(0x0345) + fill(60, 117) + Pattern{3}}}, {{37, confirm({1})}}},
        {"WConfigureGPRSLogicalUnusedSlot", plain([](uint32_t h) { return WConfigureGPRSLogicalUnusedSlot(h, 4); }),
         {{37, ref() + Pattern{0, 5} + w(40) + fill(60, 118) + Pattern{4}}}, {{37, confirm({1})}}},
        // The burst data given first goes out as it is, and into the Tx
        // slot with each word's bits reversed (GMSK keeps 10 words).
        {"WConfigureGPRSLogicalTxSlot",
         plain([](uint32_t h) {
             std::array<uint16_t, 30> burst{};
             burst.fill(0x7777);
             burst[0] = 0x0001;
             burst[1] = 0x00F0;
             burst[2] = 0x1234;
             if (WSetBurstData(h, burst.data(), 0) == 0)
                 return 0;
             return WConfigureGPRSLogicalTxSlot(h, 2, 0, 7, 0);
         }),
         {{23, ref() + w(0x0001) + w(0x00F0) + w(0x1234) + [] { Pattern p; for (int i = 3; i < 30; ++i) p = p + w(0x7777); return p; }()},
          {37, ref() + Pattern{1, 7} + w(40) + w(0x8000) + w(0x0F00) + w(0x2C48) + [] { Pattern p; for (int i = 3; i < 10; ++i) p = p + w(0xEEEE); return p; }() +
                   fill(40, 0) + Pattern{2}}},
         {{23, confirm({})}, {37, confirm({1})}}},
        {"WConfigureGPRSLogicalTxSlot other type, 8PSK",
         plain([](uint32_t h) {
             std::array<uint16_t, 30> burst;
             burst.fill(0x0003);
             if (WSetBurstData(h, burst.data(), 1) == 0)
                 return 0;
             return WConfigureGPRSLogicalTxSlot(h, 5, 1, 9, 1);
         }),
         {{23, ref() + [] { Pattern p; for (int i = 0; i < 30; ++i) p = p + w(0x0003); return p; }()},
          {37, ref() + Pattern{6, 9} + w(40) + [] { Pattern p; for (int i = 0; i < 30; ++i) p = p + w(0xC000); return p; }() + Pattern{5}}},
         {{23, confirm({})}, {37, confirm({1})}}},
        // All ones: 156 bits for GMSK, 468 for 8PSK, first bit in bit 15.
        {"WSetCfcBurstDataMode GMSK", plain([](uint32_t h) { return WSetCfcBurstDataMode(h, 1, 0, 0); }),
         {{23, ref() + fill(18, 0xFF) + w(0xFFF0) + fill(40, 0)}}, {{23, confirm({})}}},
        {"WSetCfcBurstDataMode 8PSK", plain([](uint32_t h) { return WSetCfcBurstDataMode(h, 1, 0, 1); }),
         {{23, ref() + fill(58, 0xFF) + w(0xF000)}}, {{23, confirm({})}}},
        // The frame definition: the eight slots' mapping, then the three
        // channels and the four advances.
        {"WConfigureGPRSMultiFrame",
         plain([](uint32_t h) {
             const uint8_t mapping[8] = {1, 2, 3, 4, 5, 6, 7, 8};
             return WConfigureGPRSMultiFrame(h, 4, mapping, 0x1101, 0x2202, 0x3303, 0x4404, 0x5505, 0x6606, 0x7707);
         }),
         {{39, ref() + Pattern{1, 2, 3, 4, 5, 6, 7, 8} + w(0x1101) + w(0x2202) + w(0x3303) + w(0x4404) + w(0x5505) +
                   w(0x6606) + w(0x7707) + Pattern{4}}},
         {{39, confirm({1})}}},
        {"WChangeGPRSTiming", plain([](uint32_t h) { return WChangeGPRSTiming(h, 2, 0x0110, 0x0220, 0x0330, 0x0440); }),
         {{41, ref() + Pattern{2} + w(0x0110) + w(0x0220) + w(0x0330) + w(0x0440)}}, {{41, confirm({})}}},
        {"WSetGPRSUsage", plain([](uint32_t h) { return WSetGPRSUsage(h, 1); }),
         {{43, ref() + Pattern{1}}}, {{43, confirm({})}}},

        // Baseband registers: mask, eight addresses, eight values.
        {"WBBCRegister",
         [](uint32_t h, Bytes& out) {
             const uint16_t addresses[8] = {1, 2, 3, 4, 5, 6, 7, 0x0108};
             const uint16_t values[8] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x0218};
             std::array<uint16_t, 8> got;
             got.fill(0xEEEE);
             const int32_t r = WBBCRegister(h, 0x00FF, addresses, values, got.data());
             out = wordsLe(got.data(), got.size());
             return r;
         },
         {{47, ref() + w(0x00FF) + w(1) + w(2) + w(3) + w(4) + w(5) + w(6) + w(7) + w(0x0108) + w(0x11) + w(0x12) +
                   w(0x13) + w(0x14) + w(0x15) + w(0x16) + w(0x17) + w(0x0218)}},
         {{47, confirm(concat(concat(concat(le16(0x21), le16(0x22)), concat(le16(0x23), le16(0x24))),
                              concat(concat(le16(0x25), le16(0x26)), concat(le16(0x27), le16(0x0328)))))}},
         concat(concat(concat(le16(0x21), le16(0x22)), concat(le16(0x23), le16(0x24))),
                concat(concat(le16(0x25), le16(0x26)), concat(le16(0x27), le16(0x0328))))},
        {"WSetTxOffset", plain([](uint32_t h) { return WSetTxOffset(h, 0x12, 0x34); }),
         {{47, ref() + w(0x0A5A) + w(3) + w(4) + w(3) + w(4) + w(3) + w(4) + any(4) + any(4) + w(0x12) + w(0x34) + any(8)}},
         {{47, confirm(Bytes(16, 0))}}},
        {"WSetAMLoopOffset", plain([](uint32_t h) { return WSetAMLoopOffset(h, 0, 0x0203, 0x21, 0x0506, 0x100); }),
         {{45, ref() + w(0x0203) + d(0x21) + fill(12, 0) + w(0x0506) + Pattern{0}}}, {{45, confirm({0})}}},
        // A non-zero mode: the Tx control registers read, prepared, the
        // constant transmission, read again and the ramp DAC set.
        {"WSetAMLoopOffset with the registers", plain([](uint32_t h) { return WSetAMLoopOffset(h, 1, 0x0203, 0x21, 0x0506, 0x155); }),
         {{47, ref() + w(0x2A) + w(0) + w(1) + w(2) + any(10) + any(16)},
          {47, ref() + w(0xAA5A) + any(16) + any(4) + w(0x0001 | 0x0110) + w(0) + any(8)},
          {45, ref() + w(0x0203) + d(0x21) + fill(12, 0) + w(0x0506) + Pattern{1}},
          {47, ref() + w(0xAA) + w(1) + w(10) + w(0) + w(2) + any(8) + any(16)},
          {47, ref() + w(0xAA5A) + any(16) + any(4) + w(0x155) + w(0x0E83) + any(8)}},
         {{47, confirm(concat(concat(le16(0x0F0F), le16(0x0001)), concat(le16(0x0002), Bytes(10, 0))))}, {45, confirm({0})}}},
        {"WSetPrechargeValue", plain([](uint32_t h) { return WSetPrechargeValue(h, 0x0708); }),
         {{97, ref() + w(0x0708)}}, {{97, confirm({})}}},
        // Capacity 16, the band before the gain index; the codes come out
        // one a call.
        {"WInitGainCodeTemplates",
         [](uint32_t h, Bytes& out) {
             const int32_t r = WInitGainCodeTemplates(h, 2, 1);
             for (uint16_t code = 0; WGetNextGainCode(h, &code) == 1;)
                 out = concat(out, le16(code));
             return r;
         },
         {{95, ref() + w(16) + Pattern{1, 2}}},
         {{95, confirm(concat(concat(le16(1), le16(3)), concat(concat(le16(0x0121), le16(0x0122)), le16(0x0123))))}},
         concat(concat(le16(0x0121), le16(0x0122)), le16(0x0123))},
        // Normal mode at first: the protocol stack goes off (its request
        // and confirm carry no reference); the mode has moved after the
        // change, so the first is set back.
        {"WSetApexBandMode", plain([](uint32_t h) { return WSetApexBandMode(h, 2); }),
         {{99, ref()}, {3, any(2) + Pattern{0}}, {69, ref() + Pattern{2}}, {103, ref()}, {99, ref()}, {101, ref() + Pattern{0}}},
         {{99, inTurn({confirm({0, 0, 0}), confirm({0, 0, 1})})},
          {3, unreferenced({0, 0, 0, 1})},
          {69, confirm({0})},
          {103, unreferenced({1, 0, 2})},
          {101, confirm({0, 0})}}},

        // Identity and security.
        {"WGetFlashSerialNumber", area(4, [](uint32_t h, uint8_t* o) { return WGetFlashSerialNumber(h, o); }),
         {{71, ref()}}, {{71, confirm({0, 0xA1, 0xA2, 0xA3, 0xA4})}}, {0xA1, 0xA2, 0xA3, 0xA4}},
        {"WGetSingleIE",
         [](uint32_t h, Bytes& out) { uint16_t v = 0xEEEE; const int32_t r = WGetSingleIE(h, 0x0102, &v); out = le16(v); return r; },
         {{73, ref() + w(0x0102)}}, {{73, confirm(concat(le16(0xBEEF), {0}))}}, le16(0xBEEF)},
        {"WResetIMEIMode", area(1, [](uint32_t h, uint8_t* m) { return WResetIMEIMode(h, m); }),
         {{75, ref() + w(0)}}, {{75, confirm({0, 0x99, 0})}}, {0}},
        {"WSetCustomerIMEIMode", area(1, [](uint32_t h, uint8_t* m) { return WSetCustomerIMEIMode(h, m); }),
         {{75, ref() + w(1)}}, {{75, confirm({1, 0x99, 0})}}, {1}},
        {"WReadSerialNumber", area(8, [](uint32_t h, uint8_t* o) { return WReadSerialNumber(h, o); }),
         {{77, ref()}}, {{77, confirm({0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0})}},
         {0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58}},
        {"WReadIMEI", area(8, [](uint32_t h, uint8_t* o) { return WReadIMEI(h, o); }),
         {{79, ref()}}, {{79, confirm({0x35, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x3F, 0})}},
         {0x35, 0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x3F}},
        {"WInitIMEI", plain([](uint32_t h) { return WInitIMEI(h); }), {{81, ref()}}, {{81, confirm(ok)}}},
        {"WFreezeIMEI",
         plain([](uint32_t h) { const uint8_t imei[8] = {0x35, 1, 2, 3, 4, 5, 6, 7}; return WFreezeIMEI(h, imei); }),
         {{83, ref() + Pattern{0x35, 1, 2, 3, 4, 5, 6, 7}}}, {{83, confirm(ok)}}},
        {"WSetSecurityMode",
         [](uint32_t h, Bytes& out) { uint16_t m = 2; const int32_t r = WSetSecurityMode(h, &m, 0x11223344); out = le16(m); return r; },
         {{85, ref() + w(2) + d(0x11223344)}}, {{85, confirm(concat(le16(3), {0}))}}, le16(3)},
        {"WRequestChallenge", area(8, [](uint32_t h, uint8_t* o) { return WRequestChallenge(h, o); }),
         {{87, ref()}}, {{87, confirm({0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8})}},
         {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8}},
        {"WSendResponse",
         plain([](uint32_t h) { const Bytes response = countingBytes(64, 0x80); return WSendResponse(h, response.data()); }),
         {{89, ref() + of(countingBytes(64, 0x80))}}, {{89, confirm(ok)}}},
        {"WGetMobileInformation", area(17, [](uint32_t h, uint8_t* o) { return WGetMobileInformation(h, o); }),
         {{91, ref()}}, {{91, confirm(concat(countingBytes(17, 0x40), {0}))}}, countingBytes(17, 0x40)},

        // AT commands through the firmware.
        {"WSendAtCommand",
         [](uint32_t h, Bytes& out) {
             std::array<char, CFC_AT_RESPONSE_SIZE> response{};
             const int32_t r = WSendAtCommand(h, "AT+CSQ", response.data());
             out = bytesOf(response.data());
             return r;
         },
         {{93, atLine("AT+CSQ")}}, {{93, atAnswer("AT+CSQ\r", "\r\n+CSQ: 20,99\r\n")}},
         bytesOf("<CR><LF>+CSQ: 20,99<CR><LF>")},
        {"WSendAtCommand without a response area", plain([](uint32_t h) { return WSendAtCommand(h, "ATE0", nullptr); }),
         {{93, atLine("ATE0")}}, {{93, confirm(atTextArea("ATE0\r"))}}},
        {"WSendAtCommandAndWait", plain([](uint32_t h) { return WSendAtCommandAndWait(h, "AT+COPS?", "OK", 2); }),
         {{93, atLine("AT+COPS?")}}, {{93, atAnswer("AT+COPS?\r", "\r\n+COPS: 0\r\nOK\r\n")}}},
        {"WStartCircuitSwitchedCall", plain([](uint32_t h) { return WStartCircuitSwitchedCall(h, "+4912345"); }),
         {{93, atLine("ATD+4912345;")}}, {{93, atAnswer("ATD+4912345;\r", "\r\nOK\r\n")}}},
        {"WStartGPRSAttach", plain([](uint32_t h) { return WStartGPRSAttach(h); }),
         {{93, atLine("AT+CGATT=1")}}, {{93, atAnswer("AT+CGATT=1\r", "\r\nOK\r\n")}}},

        // The store written in one go: an absent item needs no erase; with
        // the reset flag all go first. The AFC item as its layout has it.
        {"WWriteAllStoredValuesToModuleNVRAM",
         plain([](uint32_t h) {
             return WQuorleStoreCalibrationDataAFC(h, 0x01020304, 0x0506) == 1 ? WWriteAllStoredValuesToModuleNVRAM(h, 0) : 0;
         }),
         {{57, ref() + w(1) + Pattern{2}},
          {59, ref() + w(2) + w(14) + d(381023) + d(0x01020304) + w(0x0506) + w(0) + w(0x1FFF)}},
         {{57, confirm(concat(le16(0), {1, 0}))}, {59, confirm(ok)}}},
        {"WWriteAllStoredValuesToModuleNVRAM with reset",
         plain([](uint32_t h) {
             return WQuorleStoreCalibrationDataAFC(h, 7, 8) == 1 ? WWriteAllStoredValuesToModuleNVRAM(h, 1) : 0;
         }),
         {{61, ref()}, {59, ref() + w(2) + w(14) + d(381023) + d(7) + w(8) + w(0) + w(0x1FFF)}},
         {{61, confirm(ok)}, {59, confirm(ok)}}},
    };
    // clang-format on
}

// The answers of the row being walked, read on the simulator's thread.
class Answers {
public:
    void set(std::map<uint16_t, Answer> answers)
    {
        std::lock_guard lock(mutex_);
        answers_ = std::move(answers);
    }
    std::vector<Bytes> confirmsFor(uint16_t id, uint16_t reference)
    {
        std::lock_guard lock(mutex_);
        const auto found = answers_.find(id);
        return found == answers_.end() ? std::vector<Bytes>{} : found->second(reference);
    }

private:
    std::mutex mutex_;
    std::map<uint16_t, Answer> answers_;
};

// A module that answers the version request with RPC version `rpcVersion`
// and every other request with the row's confirms.
ScriptedModule::OnRequest answering(std::shared_ptr<Answers> answers, uint32_t rpcVersion)
{
    return [answers, rpcVersion](sim::Simulator& module, const sim::HostMessage& request) {
        if (request.type != sim::kTypeCommand)
            return;
        if (request.command == 1) {
            module.sendMessage(
                2, versionConfirm(referenceOf(request), kPlainVersion, 0x203, rpcVersion));
            return;
        }
        for (Bytes& confirm : answers->confirmsFor(request.command, referenceOf(request)))
            module.sendMessage(static_cast<uint16_t>(request.command + 1), std::move(confirm));
    };
}

class WireRequest : public TracedTest {};

TEST_F(WireRequest, EveryOperationSendsItsLayoutAndDeliversTheConfirm)
{
    auto versioned = std::make_shared<Answers>();
    auto plainAnswers = std::make_shared<Answers>();
    // RPC version 1 (the low half's low byte) has item versions; 0 has none.
    ScriptedModule withVersions(25, "wire-versioned", answering(versioned, 0x00010001),
                                std::nullopt);
    ScriptedModule withoutVersions(26, "wire-plain", answering(plainAnswers, 0x00010000),
                                   std::nullopt);

    for (const Row& row : catalogueRows()) {
        SCOPED_TRACE(row.name);
        const bool plainFirmware = row.firmware == Firmware::Plain;
        ScriptedModule& module = plainFirmware ? withoutVersions : withVersions;
        (plainFirmware ? plainAnswers : versioned)->set(row.answers);
        const size_t before = module.sim().hostMessages().size();

        Bytes out;
        EXPECT_EQ(row.call(module.handle(), out), 1);
        EXPECT_EQ(out, row.out);

        std::vector<sim::HostMessage> sent;
        const auto messages = module.sim().hostMessages();
        for (size_t i = before; i < messages.size(); ++i)
            if (messages[i].type == sim::kTypeCommand && messages[i].command != 1)
                sent.push_back(messages[i]);
        ASSERT_EQ(sent.size(), row.requests.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            SCOPED_TRACE("request " + std::to_string(i + 1));
            EXPECT_EQ(sent[i].command, row.requests[i].id);
            EXPECT_TRUE(matches(sent[i].data, row.requests[i].payload));
        }
    }
}

} // namespace
