// Raw receive path driven directly: the test thread plays the receive thread's
// part (appends, frame starts) on an open connection with a silent line, so
// buffer bounds, the "EXIT" records, the response readers and the send pacing
// are seen exactly.
#include "cfc.h"
#include "cfc_clock.h"
#include "cfc_connection.h"
#include "cfc_emmiswitch.h"
#include "cfc_pacing.h"
#include "cfc_rawexchange.h"
#include "cfc_rawrx.h"
#include "cfc_serialmode.h"
#include "raw_test_support.h"
#include "test_support.h"

#include "plat/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using namespace cfctest;

namespace {

class RawExchange : public RawTest {
protected:
    RawExchange() : RawTest(7, "raw-exchange", ModuleLink::Module::ByHand) {}

    // Bytes as the receive thread hands them over: in pieces of at most 255.
    void receive(const std::string& text)
    {
        for (size_t at = 0; at < text.size(); at += 255) {
            const size_t piece = std::min<size_t>(255, text.size() - at);
            cfc::AddToRawRxBuffer(cfctest::connectionOf(handle_).raw, dataOf(text) + at,
                                  static_cast<uint8_t>(piece));
        }
    }
};

// ---- raw receive buffer ----------------------------------------------------

TEST_F(RawExchange, ReadTakesBytesInOrderAndWaitsForEachNextArrival)
{
    cfc::EmmiL1SetRawReadTimeout(cfctest::connectionOf(handle_).serial,
                                 2); // 1000 ms between arrivals
    std::thread late([this] {
        plat::sleepMs(20);
        receive("abc");
        plat::sleepMs(20);
        receive("def");
    });
    std::array<uint8_t, 6> got{};
    EXPECT_EQ(cfc::ReadRawRxBuffer(cfctest::connectionOf(handle_).raw, got.data(), 6), EMMIERR_OK);
    late.join();
    EXPECT_EQ(std::string(got.begin(), got.end()), "abcdef");

    // Fewer bytes than asked: those that came are taken all the same.
    cfc::EmmiL1SetRawReadTimeout(cfctest::connectionOf(handle_).serial, 0);
    receive("xy");
    got.fill(0);
    EXPECT_EQ(cfc::ReadRawRxBuffer(cfctest::connectionOf(handle_).raw, got.data(), 5),
              EMMIERR_TIMEOUT);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 3), std::string("xy\0", 3));
    EXPECT_EQ(rawBuffer(), "");
}

TEST_F(RawExchange, MarkersReadOnlyTheBytesThatAreBuffered)
{
    // Leaves digits in the buffer's storage behind the count of later fills.
    receive("EXIT 11111111222222223333333344444444");
    cfc::GoodData(cfctest::connectionOf(handle_).raw);
    receive("xEXIT 12");
    cfc::GoodData(cfctest::connectionOf(handle_).raw);
    // A marker as the very last bytes of a full buffer.
    receive(std::string(252, '-') + "EXIT");
    cfc::GoodData(cfctest::connectionOf(handle_).raw);

    EXPECT_EQ(exitRecords(), (std::vector<Record>{{0x11111111, 0x22222222, 0x33333333, 0x44444444},
                                                  {0x12000000, 0, 0, 0},
                                                  {0, 0, 0, 0}}));
    const std::vector<std::string> lines = newTraceLines();
    EXPECT_TRUE(contains(lines, "(CFC ) >> EXIT 12"));
    EXPECT_TRUE(contains(lines, "(CFC ) >> EXIT"));
}

TEST_F(RawExchange, GarbageAndEndlessMarkersKeepTheFirstRecordsAndACountThatStops)
{
    WSetTraceLevel(handle_, 0); // hundreds of banners need not reach the file
    for (const char* marker : {"EXIT 00000001", "EXIT 00000002", "EXIT 00000003"}) {
        receive(marker);
        cfc::GoodData(cfctest::connectionOf(handle_).raw);
    }
    std::string noise;
    for (int i = 0; i < 4000; ++i)
        noise.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
    for (int i = 0; i < 300; ++i)
        noise += (i % 3 == 0) ? std::string("EXIT") : std::string("EXIT\x00\xff", 6);
    receive(noise);
    cfc::AddToSkipBuffer(cfctest::connectionOf(handle_).raw, dataOf(noise), 255);
    cfc::GoodData(cfctest::connectionOf(handle_).raw);
    EXPECT_EQ(exitCount(), 255);
    EXPECT_EQ(exitRecords(), (std::vector<Record>{{1, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 0, 0}}));
}

TEST_F(RawExchange, WGetExitDataCopiesNoMoreThanSizeNorThanTheStoredRecords)
{
    receive("EXIT 01020304111111112222222233333333 EXIT 0A0B0C0D");
    std::array<uint8_t, 64> out;
    uint8_t count = 0;

    out.fill(0xEE);
    ASSERT_EQ(WGetExitData(handle_, 20, &count, out.data()), 1);
    EXPECT_EQ(count, 2);
    const std::vector<uint8_t> first{0x04, 0x03, 0x02, 0x01, 0x11, 0x11, 0x11, 0x11, 0x22, 0x22,
                                     0x22, 0x22, 0x33, 0x33, 0x33, 0x33, 0x0D, 0x0C, 0x0B, 0x0A};
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 20), first);
    EXPECT_TRUE(std::all_of(out.begin() + 20, out.end(), [](uint8_t b) { return b == 0xEE; }));

    // A larger buffer gets the two records, not the third empty one.
    out.fill(0xEE);
    ASSERT_EQ(WGetExitData(handle_, 255, &count, out.data()), 1);
    EXPECT_EQ(count, 2) << "reading does not clear the records";
    EXPECT_TRUE(std::all_of(out.begin() + 32, out.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_TRUE(std::all_of(out.begin() + 20, out.begin() + 32, [](uint8_t b) { return b == 0; }));

    out.fill(0xEE);
    count = 77;
    EXPECT_EQ(WGetExitData(handle_ + 1, 255, &count, out.data()), 0);
    EXPECT_EQ(count, 77);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(WGetExitData(handle_, 0, &count, nullptr), 1);
}

TEST_F(RawExchange, WGetExitDataParsesMarkersStillWaitingInTheSkipBuffer)
{
    const std::string text = "EXIT 00000009";
    cfc::AddToSkipBuffer(cfctest::connectionOf(handle_).raw, dataOf(text),
                         static_cast<uint8_t>(text.size()));
    // No frame started, so only the query itself can have flushed it.
    EXPECT_EQ(exitRecords(), (std::vector<Record>{{9, 0, 0, 0}}));
    EXPECT_EQ(skipBuffer(), "");
    EXPECT_TRUE(contains(newTraceLines(), "(CFC ) DumpBuffer: 13 bytes"));
}

// ---- skip buffer and dumps -------------------------------------------------

TEST_F(RawExchange, FrameStartDumpsTheSkipBufferAsHexAndCharacters)
{
    std::string rest = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    rest += std::string("\r\x7f\x20", 3);
    cfc::AddToSkipBuffer(cfctest::connectionOf(handle_).raw, dataOf(rest),
                         static_cast<uint8_t>(rest.size()));
    cfc::GoodData(cfctest::connectionOf(handle_).raw);

    const std::vector<std::string> lines = newTraceLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "(CFC ) GoodData, skipLength is 43");
    EXPECT_EQ(lines[1], "(CFC ) DumpBuffer: 43 bytes");
    EXPECT_EQ(lines[2], "(CFC ) DumpBuffer ->");
    EXPECT_EQ(lines[lines.size() - 2], "(CFC )   00:    0123456789abcdefghijklmnopqrstuvwxyzABCD");
    EXPECT_EQ(lines.back(), "(CFC )   040:    .. ");
    EXPECT_EQ(skipBuffer(), "");

    // A dump of whole lines still ends with an empty one.
    cfc::DumpBuffer(connection().trace, dataOf(rest), 40);
    EXPECT_EQ(newTraceLines().back(), "(CFC )   040:    ");
}

TEST_F(RawExchange, FullSkipBufferIsDumpedBeforeNewBytesGoIn)
{
    const std::string a(200, 'a');
    const std::string b(100, 'b');
    cfc::AddToSkipBuffer(cfctest::connectionOf(handle_).raw, dataOf(a), 200);
    cfc::AddToSkipBuffer(cfctest::connectionOf(handle_).raw, dataOf(b), 100);
    EXPECT_TRUE(contains(newTraceLines(), "(CFC ) DumpBuffer: 200 bytes"));
    EXPECT_EQ(skipBuffer(), b);
}

// ---- responses ---------------------------------------------------------------

TEST_F(RawExchange, ResponseRestEndsAtTheFirstMissingByte)
{
    const uint8_t cut[] = {'a', 'b', cfc::kResponseFill, 'c'};
    cfc::ReturnResponseRest(cfctest::connectionOf(handle_), cut, 4);
    EXPECT_EQ(skipBuffer(), "ab");
    const uint8_t none[] = {cfc::kResponseFill, 'x'};
    cfc::ReturnResponseRest(cfctest::connectionOf(handle_), none, 2);
    EXPECT_EQ(skipBuffer(), "ab");
    cfc::ReturnResponseRest(cfctest::connectionOf(handle_), dataOf("xyz"), 3);
    EXPECT_EQ(skipBuffer(), "abxyz");

    std::array<uint8_t, 1> one{};
    EXPECT_FALSE(cfc::GetResponse(cfctest::connectionOf(handle_), one.data(), 0))
        << "no room, nothing read";
}

// ---- send pacing -------------------------------------------------------------

TEST_F(RawExchange, PacingOffSendsAtOnce)
{
    connection().pacer.setDelayWorkaround(false);
    const uint8_t byte = 0x00;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(cfc::SendBlock(connection().pacer, &byte, 1), EMMIERR_OK);
    EXPECT_EQ(countMatching(newTraceLines(), kDelayLine), 0);
}

TEST_F(RawExchange, PacingKeepsTheGapWhenBothThreadsSend)
{
    cfc::SendPacer& pacer = connection().pacer;
    // The first block finds no recent one; every later block waits for the
    // gap after the one before, whichever thread sent it.
    pacer.setDelayWorkaround(true);
    plat::sleepMs(20);
    const uint64_t start = plat::counter();
    auto sender = [&pacer] {
        const uint8_t byte = 0x00;
        for (int i = 0; i < 5; ++i)
            cfc::SendBlock(pacer, &byte, 1);
    };
    std::thread other(sender);
    sender();
    other.join();
    const uint64_t end = plat::counter();
    pacer.setDelayWorkaround(false);
    EXPECT_GE(end - start, 9 * cfc::CountsPer10Ms()) << "ten blocks, nine gaps";
}

} // namespace
