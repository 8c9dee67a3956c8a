// The message layer on a real connection: messages cut into frames with
// their headers, messages put together from the module's frames, the repeat
// rules, signal-trace frames and untrusted frames.
#include "emmierr.h"
#include "gwcoml3.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <random>

using namespace cfctest;

namespace {

constexpr uint8_t kAck = 0x06;

cfc::ErrorCode sendMessage(uint32_t handle, uint16_t command, const Bytes& data, uint8_t kind = 0,
                           int32_t parameter32 = 0, uint16_t parameterA = 0,
                           uint16_t parameterB = 0)
{
    return cfc::EmmiL3SendMessage(cfctest::connectionOf(handle).messages, command, parameter32,
                                  parameterA, parameterB, data.data(),
                                  static_cast<uint16_t>(data.size()), kind);
}

TEST(MessageSend, TenDataBytesTravelInOneFrameWithTheCommandHeader)
{
    ModuleLink link(2, "l3-ten");
    const Bytes data = countingBytes(10, 0xA0);
    ASSERT_EQ(sendMessage(link.handle(), 0x1234, data), EMMIERR_OK);
    const auto frames = link.sim().hostFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].data, concat({0xD6, 0xFF, 0x00, 0x0C, 0x34, 0x12}, data));
    ASSERT_EQ(link.sim().hostMessages().size(), 1u);
    EXPECT_EQ(link.sim().hostMessages()[0].command, 0x1234);
    EXPECT_EQ(link.sim().hostMessages()[0].data, data);
}

TEST(MessageSend, ThreeHundredDataBytesTakeTwoFrames)
{
    ModuleLink link(3, "l3-three-hundred");
    const Bytes data = countingBytes(300);
    ASSERT_EQ(sendMessage(link.handle(), 0x0001, data), EMMIERR_OK);
    const auto frames = link.sim().hostFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].data.size(), 255u);
    EXPECT_EQ(Bytes(frames[0].data.begin(), frames[0].data.begin() + 6),
              (Bytes{0xD6, 0x00, 0x01, 0x2E, 0x01, 0x00}));
    EXPECT_EQ(Bytes(frames[0].data.begin() + 6, frames[0].data.end()),
              Bytes(data.begin(), data.begin() + 249));
    EXPECT_EQ(frames[1].data, concat({0xD6, 0xFF}, Bytes(data.begin() + 249, data.end())));
    ASSERT_EQ(link.sim().hostMessages().size(), 1u);
    EXPECT_EQ(link.sim().hostMessages()[0].data, data);
}

TEST(MessageSend, ParameterMessagesCarryTheirHeaders)
{
    ModuleLink link(4, "l3-kinds");
    const Bytes data{1, 2, 3, 4, 5};
    ASSERT_EQ(sendMessage(link.handle(), 0x9999, data, cfc::kSendKindParameters, 0x113, 0x0102, 3),
              EMMIERR_OK);
    ASSERT_EQ(sendMessage(link.handle(), 0x0102, {0x01}, cfc::kSendKindByteParameter), EMMIERR_OK);
    const auto frames = link.sim().hostFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].data, concat({0xD3, 0xFF, 0x00, 0x09, 0x01, 0x02, 0x00, 0x03, 0x05, 0x00,
                                      0x00, 0x00, 0x13, 0x01, 0x00, 0x00},
                                     data));
    EXPECT_EQ(frames[1].data, (Bytes{0xD5, 0xFF, 0x00, 0x01, 0x02, 0x01}));
    const auto messages = link.sim().hostMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].parameter32, 0x113u);
    EXPECT_EQ(messages[1].parameterByte, 0x02);
}

TEST(MessageSend, NullDataSendsNothingAndAMessageBeyondTheSegmentNumbersIsRefused)
{
    ModuleLink link(5, "l3-refused");
    EXPECT_EQ(cfc::EmmiL3SendMessage(cfctest::connectionOf(link.handle()).messages, 1, 0, 0, 0,
                                     nullptr, 10, 0),
              EMMIERR_OK);
    const Bytes huge(65000, 0x5A);
    EXPECT_EQ(sendMessage(link.handle(), 1, huge), EMMIERR_SYSTEM);
    EXPECT_FALSE(link.sim().waitForFrames(1, 300));
}

TEST(MessageSend, AFrameLeftUnansweredEndsTheMessageThere)
{
    ModuleLink link(6, "l3-unanswered", ModuleLink::Module::ByHand);
    const Bytes data = countingBytes(600);
    auto sent = std::async(std::launch::async, [&] { return sendMessage(link.handle(), 6, data); });
    EXPECT_EQ(link.moduleReads(259).size(), 259u);
    link.moduleSends({kAck});
    EXPECT_EQ(link.moduleReads(259).size(), 259u); // segment 1, never answered
    EXPECT_EQ(sent.get(), EMMIERR_TIMEOUT);
    EXPECT_TRUE(link.moduleReads(1, 300).empty()) << "the last segment is not sent";
}

TEST(MessageReceive, MessagesOfOneAndOfSeveralFramesAreQueuedWhole)
{
    ModuleLink link(7, "l3-receive");
    const Bytes small = freshBytes(10);
    const Bytes large = freshBytes(600); // segments 0, 1 and 0xFF
    EXPECT_TRUE(link.sim().sendMessage(0x0B0B, small).get());
    EXPECT_TRUE(link.sim().sendMessage(0x0C0C, large).get());
    Received received = takeMessage(link.handle());
    EXPECT_EQ(received.result, cfc::kRxQueueDelivered);
    EXPECT_EQ(received.command, 0x0B0B);
    EXPECT_EQ(received.data, small);
    received = takeMessage(link.handle());
    EXPECT_EQ(received.command, 0x0C0C);
    EXPECT_EQ(received.data, large);
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));
}

TEST(MessageReceive, AFrameSentAgainAfterALostAckIsIgnored)
{
    for (uint32_t repeated : {0u, 1u, 2u}) { // segment 0, segment 1, the last frame
        sim::Options options;
        options.faults.repeatFrame = {repeated, 1};
        ModuleLink link(8, "l3-repeat", ModuleLink::Module::Simulator, options);
        const Bytes data = freshBytes(600);
        const Bytes marker = freshBytes(5);
        EXPECT_TRUE(link.sim().sendMessage(0x0808, data).get());
        EXPECT_TRUE(link.sim().sendMessage(0x0909, marker).get());
        EXPECT_EQ(link.sim().counters().framesSent, 5u) << "three frames, one copy, the marker";
        EXPECT_EQ(takeMessage(link.handle()).data, data) << "frame " << repeated;
        EXPECT_EQ(takeMessage(link.handle()).data, marker) << "frame " << repeated;
    }
}

TEST(MessageReceive, AMessageThatBreaksOffGivesWayToTheNextOne)
{
    ModuleLink link(18, "l3-broken-off", ModuleLink::Module::ByHand);
    // The module gave up its first message after segment 0 and starts the
    // next; that one's segment 0 ends the first message and begins its own.
    const Bytes next = freshBytes(300);
    const Bytes frames[] = {
        concat({0xD6, 0x00, 0x01, 0x01, 0x00, 0x00}, freshBytes(249)),
        concat({0xD6, 0x00, 0x02, 0x02, 0x00, 0x00}, Bytes(next.begin(), next.begin() + 249)),
        concat({0xD6, 0xFF}, Bytes(next.begin() + 249, next.end())),
    };
    for (const Bytes& frame : frames) {
        link.moduleSends(wireFrame(frame));
        EXPECT_EQ(link.moduleReads(1), Bytes{kAck});
    }
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.command, 0x0202);
    EXPECT_EQ(received.data, next);
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));
}

TEST(MessageReceive, AMessageOfOneFrameAfterTheTailOfAGivenUpMessageIsTaken)
{
    ModuleLink link(19, "l3-after-tail", ModuleLink::Module::ByHand);
    // Segment 1 of the first message is missing, so it is given up at
    // segment 2; a frame of another type ends what could be its tail, and the
    // confirm-like message of one frame after it must not be mistaken for
    // that tail's last frame.
    const Bytes frames[] = {
        {0xD6, 0x00, 0x01, 0x01, 0x00, 0x00, 0xAA},
        {0xD6, 0x02, 0xBB},
        {0x42, 0xFF},
        {0xD6, 0xFF, 0x34, 0x12, 0x00, 0x00, 'h', 'i'},
    };
    for (const Bytes& frame : frames) {
        link.moduleSends(wireFrame(frame));
        EXPECT_EQ(link.moduleReads(1), Bytes{kAck});
    }
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.command, 0x1234);
    EXPECT_EQ(received.data, (Bytes{'h', 'i'}));
}

TEST(MessageReceive, AMessageOverTheLimitIsCutTo1500Bytes)
{
    ModuleLink link(9, "l3-long");
    const Bytes data = freshBytes(2000);
    EXPECT_TRUE(link.sim().sendMessage(0x0D0D, data).get());
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.result, cfc::kRxQueueDelivered);
    EXPECT_EQ(received.data, Bytes(data.begin(), data.begin() + cfc::kMessageSize));
}

TEST(MessageReceive, ShortForeignAndOutOfOrderFramesAreAcknowledgedButNeverQueued)
{
    ModuleLink link(10, "l3-untrusted", ModuleLink::Module::ByHand);
    const Bytes refused[] = {
        {},                                      // no type
        {0xD6},                                  // no segment number
        {0xD6, 0xFF, 0x01},                      // no room for the command
        {0xAA, 0xFF, 0x01, 0x00, 0x00, 0x00, 7}, // a type nobody takes
        {0xD6, 0x05, 0x01, 0x00, 0x00, 0x00, 7}, // a middle segment first
        {0xD3, 0xFF, 0x00, 0x05, 0x00, 0x00, 7}, // a host message type
    };
    for (const Bytes& frame : refused) {
        link.moduleSends(wireFrame(frame));
        EXPECT_EQ(link.moduleReads(1), Bytes{kAck}) << frame.size() << " bytes";
    }
    const Bytes good{0xD6, 0xFF, 0x34, 0x12, 0x00, 0x00, 0xEE};
    link.moduleSends(wireFrame(good));
    EXPECT_EQ(link.moduleReads(1), Bytes{kAck});
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.command, 0x1234);
    EXPECT_EQ(received.data, Bytes{0xEE});
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));
}

TEST(MessageReceive, ARunOfGarbageLeavesTheReceiverReadyForTheNextMessage)
{
    ModuleLink link(11, "l3-garbage", ModuleLink::Module::ByHand);
    std::mt19937 random(20240611);
    Bytes garbage(3000);
    for (uint8_t& byte : garbage)
        byte = static_cast<uint8_t>(random());
    link.moduleSends(garbage);
    // Whatever frames the garbage seemed to start are answered; then quiet.
    while (!link.moduleReads(1, 2500).empty()) {
    }
    const Bytes good = concat({0xD6, 0xFF, 0x21, 0x43, 0x00, 0x00}, freshBytes(20));
    link.moduleSends(wireFrame(good));
    EXPECT_EQ(link.moduleReads(1), Bytes{kAck});
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.command, 0x4321);
    EXPECT_EQ(received.data, Bytes(good.begin() + 6, good.end()));
}

TEST(SignalTraceFrames, AreNeverQueued)
{
    ModuleLink link(12, "l3-sigtrace");
    sim::SignalTrace trace;
    trace.signalId = 0x00010203;
    trace.data = freshBytes(400); // two frames
    EXPECT_TRUE(link.sim().sendSignalTrace(trace).get());
    const Bytes marker = freshBytes(4);
    EXPECT_TRUE(link.sim().sendMessage(0x0E0E, marker).get());
    EXPECT_EQ(takeMessage(link.handle()).data, marker);
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));
}

TEST(SignalTraceFrames, OneBetweenTheFramesOfAMessageGivesTheMessageUp)
{
    sim::Options options;
    options.faults.interleaveSignalTrace = {0, 1};
    ModuleLink link(13, "l3-interleaved", ModuleLink::Module::Simulator, options);
    EXPECT_TRUE(link.sim().sendMessage(0x0F0F, freshBytes(300)).get());
    const Bytes marker = freshBytes(4);
    EXPECT_TRUE(link.sim().sendMessage(0x1010, marker).get());
    EXPECT_EQ(takeMessage(link.handle()).data, marker);
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));
}

TEST(DoubledMessages, OnlyARepeatOfTheMessageDeliveredLastIsDropped)
{
    ModuleLink link(14, "l3-doubled");
    const Bytes first = freshBytes(20);
    const Bytes second = freshBytes(20);
    for (const Bytes* data : {&first, &first, &second, &first})
        EXPECT_TRUE(link.sim().sendMessage(0x1111, *data).get());
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDelivered);
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDroppedRepeat);
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDelivered);
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDelivered)
        << "repeats only the one before";
    EXPECT_EQ(takeMessage(link.handle(), 0).result, cfc::kRxQueueEmpty);
}

TEST(DoubledMessages, TheMemoryOfTheLastMessageOutlivesCloseAndOpen)
{
    ModuleLink link(15, "l3-doubled-reopen");
    const Bytes data = freshBytes(30);
    EXPECT_TRUE(link.sim().sendMessage(0x1212, data).get());
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDelivered);
    link.reopen(15);
    // Another command, the same data: the command takes no part.
    EXPECT_TRUE(link.sim().sendMessage(0x1313, data).get());
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDroppedRepeat);
}

TEST(DoubledMessages, AnEmptyMessageAfterAnEmptyOneIsDropped)
{
    ModuleLink link(16, "l3-doubled-empty");
    EXPECT_TRUE(link.sim().sendMessage(0x1414, freshBytes(3)).get());
    EXPECT_TRUE(link.sim().sendMessage(0x1414, {}).get());
    EXPECT_TRUE(link.sim().sendMessage(0x1515, {}).get());
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDelivered);
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDelivered);
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDroppedRepeat);
}

TEST(ReceiveQueue, AWaitEndsAtOnceWithAMessageAndAfterTheClass2TimeOutWithout)
{
    ModuleLink link(17, "l3-wait", ModuleLink::Module::ByHand);
    auto start = std::chrono::steady_clock::now();
    cfc::EmmiL3WaitForRxMessage(cfctest::connectionOf(link.handle()).messages);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::milliseconds(kPatienceMs));

    const Bytes data = freshBytes(2);
    cfc::EmmiL3AddToRxQueue(cfctest::connectionOf(link.handle()).messages, 1, data.data(), 2);
    start = std::chrono::steady_clock::now();
    cfc::EmmiL3WaitForRxMessage(cfctest::connectionOf(link.handle()).messages);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_TRUE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));
}

TEST(ReceiveQueue, AFloodKeepsTheNewestMessagesAndNeverTheAwaitedConfirm)
{
    struct Flood {
        const char* what;
        size_t count;
        size_t size;
    };
    // Past the count limit with short messages, past the byte limit with
    // full-size ones.
    for (const Flood& flood : {Flood{"short", 1000, 12}, Flood{"full-size", 200, 1500}}) {
        ScopedTempCwd cwd;
        WEnableTraceFile();
        ModuleLink link(20, "l3-flood", ModuleLink::Module::ByHand);
        cfc::MessageLink& messages = cfctest::connectionOf(link.handle()).messages;
        cfc::EmmiL3AwaitCommand(messages, 0x0077);
        const Bytes confirm = freshBytes(5);
        cfc::EmmiL3AddToRxQueue(messages, 0x0077, confirm.data(), 5);
        for (size_t i = 0; i < flood.count; ++i) {
            Bytes data = freshBytes(flood.size);
            data[0] = static_cast<uint8_t>(i >> 8);
            data[1] = static_cast<uint8_t>(i);
            cfc::EmmiL3AddToRxQueue(messages, 0x0050, data.data(),
                                    static_cast<uint16_t>(data.size()));
        }
        cfc::EmmiL3AwaitCommand(messages, cfc::kNoAwaitedCommand);

        std::vector<Received> kept;
        for (Received r = takeMessage(link.handle(), 0); r.result != cfc::kRxQueueEmpty;
             r = takeMessage(link.handle(), 0))
            kept.push_back(r);
        WDisableTraceFile();
        ASSERT_GE(kept.size(), 2u) << flood.what;
        EXPECT_EQ(kept.front().command, 0x0077) << flood.what << ": the oldest, but awaited";
        EXPECT_EQ(kept.front().data, confirm) << flood.what;
        size_t bytes = 0;
        for (const Received& r : kept)
            bytes += r.data.size();
        EXPECT_LE(kept.size(), cfc::kRxQueueMaxMessages) << flood.what;
        EXPECT_LE(bytes, cfc::kRxQueueMaxBytes) << flood.what;
        EXPECT_GE(kept.size(), 32u) << flood.what << ": room is made, not the queue emptied";
        // What is left is the newest run of the flood, in order.
        for (size_t k = 1; k < kept.size(); ++k) {
            const size_t index = flood.count - (kept.size() - k);
            EXPECT_EQ(kept[k].data[0], static_cast<uint8_t>(index >> 8)) << flood.what << k;
            EXPECT_EQ(kept[k].data[1], static_cast<uint8_t>(index)) << flood.what << k;
        }
        const auto texts = traceTexts();
        EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                                [](const std::string& t) {
                                    return t.rfind("(GWL3) EmmiL3AddToRxQueue: queue full", 0) == 0;
                                }),
                  1)
            << flood.what << ": one line for the whole flood";
    }
}

} // namespace
