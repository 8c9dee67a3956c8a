// The simulator as the sender of module messages, and the faults it stages,
// seen from the host's end of the line.
#include "harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace simtest {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

bool resolvesTrue(std::future<bool>& result)
{
    return result.wait_for(std::chrono::milliseconds(kPatienceMs)) == std::future_status::ready &&
           result.get();
}

Bytes dataOf(const Bytes& frame)
{
    return frame.size() < 4 ? Bytes{} : Bytes(frame.begin() + 2, frame.end() - 2);
}

// Type and segment number of a module frame.
Bytes headOf(const Bytes& frame)
{
    const Bytes data = dataOf(frame);
    return data.size() < 2 ? Bytes{} : Bytes(data.begin(), data.begin() + 2);
}

// Data bytes of a module message frame after the type, segment and (in the
// first frame) the four header bytes.
Bytes messageDataOf(const Bytes& frame, bool first)
{
    const Bytes data = dataOf(frame);
    const size_t skip = first ? 6 : 2;
    return data.size() < skip ? Bytes{} : Bytes(data.begin() + skip, data.end());
}

TEST_F(SimulatorTest, SendsTenDataBytesInOneFrame)
{
    startSimulator();
    const Bytes ten = countingBytes(10, 0x30);

    auto sent = sim_->sendMessage(0x0108, ten);
    const Bytes frame = host_->receiveFrame();
    ASSERT_EQ(frame.size(), 16u + 4u);
    EXPECT_EQ(frame[1], 16);
    // Type, last segment, command low byte first, two bytes the host skips.
    EXPECT_THAT(Bytes(frame.begin() + 2, frame.begin() + 6), ElementsAre(0xD6, 0xFF, 0x08, 0x01));
    EXPECT_EQ(messageDataOf(frame, true), ten);
    EXPECT_EQ(frame, frameOf(dataOf(frame))); // its BCC and ETX are right

    host_->send({kAck});
    EXPECT_TRUE(resolvesTrue(sent));
    EXPECT_EQ(sim_->counters().messagesDelivered, 1u);
}

TEST_F(SimulatorTest, SendsThreeHundredDataBytesAs249And51WaitingForEachAck)
{
    startSimulator();
    const Bytes data = countingBytes(300);

    auto sent = sim_->sendMessage(0x0002, data);
    const Bytes first = host_->receiveFrame();
    ASSERT_EQ(first.size(), 255u + 4u);
    EXPECT_THAT(headOf(first), ElementsAre(0xD6, 0x00));
    EXPECT_EQ(messageDataOf(first, true), Bytes(data.begin(), data.begin() + 249));
    // Nothing more before the host has answered.
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);

    host_->send({kAck});
    const Bytes last = host_->receiveFrame();
    ASSERT_EQ(last.size(), 53u + 4u);
    EXPECT_THAT(headOf(last), ElementsAre(0xD6, 0xFF));
    EXPECT_EQ(messageDataOf(last, false), Bytes(data.begin() + 249, data.end()));
    EXPECT_EQ(last, frameOf(dataOf(last)));

    host_->send({kAck});
    EXPECT_TRUE(resolvesTrue(sent));
}

TEST_F(SimulatorTest, SendsAFrameAgainAfterNakAndGivesUpOnSilence)
{
    sim::Options options;
    options.ackTimeoutMs = 100;
    options.maxTransmissions = 3;
    startSimulator(options);

    auto answered = sim_->sendMessage(1, {0xAA});
    const Bytes frame = host_->receiveFrame();
    ASSERT_FALSE(frame.empty());
    host_->send({kNak});
    EXPECT_EQ(host_->receiveFrame(), frame);
    host_->send({kAck});
    EXPECT_TRUE(resolvesTrue(answered));

    auto unanswered = sim_->sendMessage(2, {0xBB});
    const Bytes once = host_->receiveFrame();
    EXPECT_EQ(host_->receiveFrame(), once);
    EXPECT_EQ(host_->receiveFrame(), once);
    ASSERT_EQ(unanswered.wait_for(std::chrono::milliseconds(kPatienceMs)),
              std::future_status::ready);
    EXPECT_FALSE(unanswered.get());
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);

    const sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.naksReceived, 1u);
    EXPECT_EQ(counters.acksReceived, 1u);
    EXPECT_EQ(counters.framesSent, 5u);
    EXPECT_EQ(counters.messagesDelivered, 1u);
    EXPECT_EQ(counters.messagesAbandoned, 1u);
}

TEST_F(SimulatorTest, CorruptedBccIsSentOnceAndMendedAfterTheHostsNak)
{
    startWithFault(&sim::Faults::corruptBcc);

    auto sent = sim_->sendMessage(7, {0x01, 0x02});
    const Bytes bad = host_->receiveFrame();
    ASSERT_FALSE(bad.empty());
    EXPECT_NE(bad, frameOf(dataOf(bad)));
    host_->send({kNak});
    const Bytes good = host_->receiveFrame();
    EXPECT_EQ(good, frameOf(dataOf(bad)));
    host_->send({kAck});
    EXPECT_TRUE(resolvesTrue(sent));
}

TEST_F(SimulatorTest, DroppedFrameNeverReachesTheHost)
{
    startWithFault(&sim::Faults::dropFrame);

    auto sent = sim_->sendMessage(7, countingBytes(300));
    // The first frame is lost on the way; the module carries on with the last.
    EXPECT_THAT(headOf(host_->receiveFrame()), ElementsAre(0xD6, 0xFF));
    host_->send({kAck});
    EXPECT_TRUE(resolvesTrue(sent));
}

TEST_F(SimulatorTest, RepeatedFrameComesTwiceWithTheSameSegment)
{
    startWithFault(&sim::Faults::repeatFrame);

    auto sent = sim_->sendMessage(7, {0x01});
    const Bytes frame = host_->receiveFrame();
    ASSERT_FALSE(frame.empty());
    host_->send({kAck});
    EXPECT_EQ(host_->receiveFrame(), frame);
    host_->send({kAck});
    EXPECT_TRUE(resolvesTrue(sent));
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);
}

TEST_F(SimulatorTest, SignalTraceFrameIsInterleavedBetweenSegments)
{
    startWithFault(&sim::Faults::interleaveSignalTrace);

    auto sent = sim_->sendMessage(7, countingBytes(300));
    EXPECT_THAT(headOf(host_->receiveFrame()), ElementsAre(0xD6, 0x00));
    host_->send({kAck});

    const Bytes trace = dataOf(host_->receiveFrame());
    ASSERT_GE(trace.size(), 22u);
    EXPECT_THAT(Bytes(trace.begin(), trace.begin() + 2), ElementsAre(0xD4, 0xFF));
    // Signal length (LE) at 14-15 counts the signal data from offset 22.
    EXPECT_EQ(trace[14] | trace[15] << 8, static_cast<int>(trace.size() - 22));
    host_->send({kAck});

    EXPECT_THAT(headOf(host_->receiveFrame()), ElementsAre(0xD6, 0xFF));
    host_->send({kAck});
    EXPECT_TRUE(resolvesTrue(sent));
}

TEST_F(SimulatorTest, StrayTextComesBeforeAndAfterAMessage)
{
    sim::Options options;
    options.faults.strayText = "EXIT 00000001";
    options.faults.strayTextBefore = {0, 1};
    options.faults.strayTextAfter = {0, 1};
    startSimulator(options);
    const Bytes text = {'E', 'X', 'I', 'T', ' ', '0', '0', '0', '0', '0', '0', '0', '1'};

    auto sent = sim_->sendMessage(7, {0x01});
    EXPECT_EQ(host_->receive(text.size()), text);
    EXPECT_FALSE(host_->receiveFrame().empty());
    host_->send({kAck});
    EXPECT_EQ(host_->receive(text.size()), text);
    EXPECT_TRUE(resolvesTrue(sent));

    // Raw text on request, outside any frame.
    auto raw = sim_->sendText("\r\nOK\r\n");
    EXPECT_THAT(host_->receive(6), ElementsAreArray({'\r', '\n', 'O', 'K', '\r', '\n'}));
    EXPECT_TRUE(resolvesTrue(raw));
}

TEST_F(SimulatorTest, HandlerRepliesAfterTheRequestsAck)
{
    startSimulator({}, sim::Mode::Emmi,
                   [](sim::Simulator& simulator, const sim::HostMessage& request) {
                       if (request.command == 1)
                           simulator.sendMessage(2, request.data);
                   });

    host_->send(frameOf({0xD6, 0xFF, 0x00, 0x04, 0x01, 0x00, 0x12, 0x34}));
    EXPECT_EQ(host_->receiveByte(), kAck);
    const Bytes reply = host_->receiveFrame();
    ASSERT_EQ(reply.size(), 12u);
    EXPECT_THAT(dataOf(reply), ElementsAre(0xD6, 0xFF, 0x02, 0x00, 0x02, 0x00, 0x12, 0x34));
}

TEST_F(SimulatorTest, StopEndsAWaitForAckAtOnce)
{
    sim::Options options;
    options.ackTimeoutMs = 600000;
    startSimulator(options);

    auto sent = sim_->sendMessage(7, {0x01});
    auto queued = sim_->sendMessage(8, {0x02});
    ASSERT_FALSE(host_->receiveFrame().empty());
    const auto before = std::chrono::steady_clock::now();
    sim_->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
    EXPECT_FALSE(sent.get());
    EXPECT_FALSE(queued.get());
}

} // namespace
} // namespace simtest
