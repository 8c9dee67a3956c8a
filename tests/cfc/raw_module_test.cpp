// The raw receive path with a module on the line: its text outside frames
// reaches the raw buffer through the receive thread, markers in it are
// reported when a frame starts or the buffer overflows, AT answers are checked,
// and frames keep the gap of the delay workaround on the wire.
#include "cfc.h"
#include "cfc_clock.h"
#include "cfc_emmiswitch.h"
#include "cfc_rawexchange.h"
#include "cfc_rawrx.h"
#include "cfc_serialmode.h"
#include "emmierr.h"
#include "gwcoml1.h"
#include "gwcoml3.h"
#include "raw_test_support.h"

#include "plat/clock.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

using namespace cfctest;

namespace {

constexpr uint16_t kCommand = 0x1234;

class RawFromModule : public RawTest {
protected:
    RawFromModule() : RawTest(8, "raw-module", ModuleLink::Module::Simulator) {}

    // Text outside frames, then a message whose first frame gives the text up.
    void textThenFrame(const std::string& text)
    {
        ASSERT_TRUE(link_.sim().sendText(text).get());
        ASSERT_TRUE(link_.sim().sendMessage(kCommand, freshBytes(4)).get());
        ASSERT_EQ(takeMessage(handle_).result, cfc::kRxQueueDelivered);
    }
};

TEST_F(RawFromModule, ExitRecordExampleGivesItsValuesAndNineLinesAtLevel1)
{
    WSetTraceLevel(handle_, 1);
    const std::string text = "EXIT 0000000100000002000000030000000A";
    textThenFrame(text);
    EXPECT_EQ(newTraceLines(), exitBanner(text));
    EXPECT_EQ(exitRecords(), (std::vector<Record>{{1, 2, 3, 10}}));
    EXPECT_EQ(rawBuffer(), "") << "the frame start gave the text up";
}

TEST_F(RawFromModule, FourMarkersAreAllReportedAndTheFirstThreeStored)
{
    textThenFrame("EXIT 0000000100000001000000010000000f\r\n"
                  "EXIT 00000002000000020000000200000002\r\n"
                  "EXIT 00000003000000030000000300000003\r\n"
                  "EXIT ffffffffffffffffffffffffffffffff\r\n");
    EXPECT_EQ(countOf(newTraceLines(), kExitFound), 4);
    EXPECT_EQ(exitRecords(), (std::vector<Record>{{1, 1, 1, 15}, {2, 2, 2, 2}, {3, 3, 3, 3}}));
    EXPECT_EQ(exitCount(), 4);
}

TEST_F(RawFromModule, ByteTwoHundredFiftySevenFlushesTheFirst256)
{
    // The text shown behind each marker tells where the buffer was cut.
    std::string stray;
    for (int i = 0; i < 300; ++i)
        stray.push_back(static_cast<char>('a' + i % 26));
    stray.replace(0, 4, "EXIT");
    stray.replace(260, 4, "EXIT");
    textThenFrame(stray);

    const std::vector<std::string> lines = newTraceLines();
    EXPECT_EQ(countOf(lines, kExitFound), 2);
    EXPECT_EQ(countOf(lines, "(CFC ) >> " + stray.substr(0, 256)), 1);
    EXPECT_EQ(countOf(lines, "(CFC ) >> " + stray.substr(260)), 1);
}

TEST_F(RawFromModule, AtAnswersPassTheirChecks)
{
    link_.sim().setMode(sim::Mode::At);
    const std::string at = "at\r";
    cfc::EmmiL1Write(cfctest::connectionOf(handle_).serial, dataOf(at), 3);
    // Echo and answer complete before checking, so the short gap allowed
    // between their bytes does not depend on this machine's load.
    ASSERT_TRUE(awaitRawBytes(9));
    std::array<uint8_t, 6> got{};
    EXPECT_TRUE(cfc::CheckResponse(cfctest::connectionOf(handle_), got.data(), dataOf(at), 3));
    EXPECT_TRUE(cfc::CheckResponse(cfctest::connectionOf(handle_), got.data(), dataOf(kOk), 6));
    EXPECT_EQ(skipBuffer(), "");
}

TEST_F(RawFromModule, CheckResponseWithoutAnswerFailsAfterTheFirstByteWait)
{
    link_.sim().setMode(sim::Mode::Off);
    std::array<uint8_t, 6> got{};
    const uint64_t start = plat::counter();
    EXPECT_FALSE(cfc::CheckResponse(cfctest::connectionOf(handle_), got.data(), dataOf(kOk), 6));
    EXPECT_GE(elapsedMs(start), 49u);
    EXPECT_EQ(newTraceLines(),
              (std::vector<std::string>{"(CFC ) CheckResponse: GetResponse failed"}));
    EXPECT_EQ(skipBuffer(), "");
}

TEST_F(RawFromModule, HalfAnAnswerIsDumpedKeptAndGivenUpAtTheNextFrame)
{
    ASSERT_TRUE(link_.sim().sendText("\r\nO").get());
    ASSERT_TRUE(awaitRawBytes(3));
    std::array<uint8_t, 6> got{};
    EXPECT_FALSE(cfc::CheckResponse(cfctest::connectionOf(handle_), got.data(), dataOf(kOk), 6));
    std::vector<std::string> lines = newTraceLines();
    EXPECT_EQ(countOf(lines, "(CFC ) CheckResponse: expected response ->"), 1);
    EXPECT_EQ(countOf(lines, "(CFC ) CheckResponse: got response ->"), 1);
    EXPECT_EQ(skipBuffer(), "\r\nO");

    ASSERT_TRUE(link_.sim().sendMessage(kCommand, freshBytes(4)).get());
    ASSERT_EQ(takeMessage(handle_).result, cfc::kRxQueueDelivered);
    lines = newTraceLines();
    EXPECT_EQ(countOf(lines, "(CFC ) GoodData, skipLength is 3"), 1);
    EXPECT_EQ(countOf(lines, "(CFC )   00:    ..O"), 1);
    EXPECT_EQ(skipBuffer(), "");
}

TEST_F(RawFromModule, FlushTargetInputDiscardsRawBytesAndQueuedMessagesAfterParsingThem)
{
    ASSERT_TRUE(link_.sim().sendMessage(kCommand, freshBytes(4)).get());
    const std::string text = "EXIT 00000005";
    ASSERT_TRUE(link_.sim().sendText(text).get());
    ASSERT_TRUE(awaitRawBytes(static_cast<uint16_t>(text.size())));
    ASSERT_TRUE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(handle_).messages));

    cfc::FlushTargetInput(cfctest::connectionOf(handle_));
    EXPECT_EQ(rawBuffer(), "");
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(handle_).messages));
    EXPECT_EQ(countOf(newTraceLines(), kExitFound), 1);
    EXPECT_EQ(exitRecords(), (std::vector<Record>{{5, 0, 0, 0}}));
}

// The module is played by hand here: the time the second frame's first byte
// is seen on the module's side can only be later than its arrival.
class RawPacing : public RawTest {
protected:
    RawPacing() : RawTest(9, "raw-pacing", ModuleLink::Module::ByHand) {}
};

TEST_F(RawPacing, DelayWorkaroundKeepsTenMillisecondsBetweenTwoFrames)
{
    connection().pacer.setDelayWorkaround(true);
    plat::sleepMs(20);
    const Bytes data = freshBytes(2);
    // Type, segment, four header bytes and the data, framed: 12 bytes.
    constexpr size_t kFrameBytes = 12;

    const uint64_t start = plat::counter();
    auto sent = std::async(std::launch::async, [&] {
        const uint8_t first = cfc::EmmiL3SendMessage(cfctest::connectionOf(handle_).messages,
                                                     kCommand, 0, 0, 0, data.data(), 2, 0);
        const uint8_t second = cfc::EmmiL3SendMessage(cfctest::connectionOf(handle_).messages,
                                                      kCommand, 0, 0, 0, data.data(), 2, 0);
        return first == EMMIERR_OK && second == EMMIERR_OK;
    });
    ASSERT_EQ(link_.moduleReads(kFrameBytes).size(), kFrameBytes);
    link_.moduleSends({0x06});
    ASSERT_EQ(link_.moduleReads(1).size(), 1u);
    const uint64_t secondSeen = plat::counter();
    ASSERT_EQ(link_.moduleReads(kFrameBytes - 1).size(), kFrameBytes - 1);
    link_.moduleSends({0x06});
    EXPECT_TRUE(sent.get());

    EXPECT_GE((secondSeen - start) / cfc::CountsPerMs(), 10u);
    EXPECT_EQ(countMatching(newTraceLines(), kDelayLine), 1);
}

} // namespace
