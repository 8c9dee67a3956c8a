// The simulator as the receiver of host frames and messages. The messages
// here carry commands the built-in firmware does not know, so no confirm
// crosses the acknowledgements these tests read.
#include "harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace simtest {
namespace {

using ::testing::ElementsAre;

sim::Options withInterByteTimeout(uint32_t ms)
{
    sim::Options options;
    options.interByteTimeoutMs = ms;
    return options;
}

TEST_F(SimulatorTest, AnswersCorrectFramesWithAckAndFaultyOnesWithNak)
{
    startSimulator();

    host_->send({0x02, 0x00, 0x02, 0x03});
    EXPECT_EQ(host_->receiveByte(), kAck);
    host_->send({0x02, 0x03, 0x61, 0x62, 0x63, 0x61, 0x03});
    EXPECT_EQ(host_->receiveByte(), kAck);
    // Bytes that look like framing inside the data are data.
    host_->send(frameOf({0x02, 0x03, 0x06, 0x15}));
    EXPECT_EQ(host_->receiveByte(), kAck);

    host_->send({0x02, 0x03, 0x61, 0x62, 0x63, 0x00, 0x03});
    EXPECT_EQ(host_->receiveByte(), kNak);
    host_->send({0x02, 0x01, 0x41, 0x42, 0x04}); // end byte is not ETX
    EXPECT_EQ(host_->receiveByte(), kNak);
    // Bytes outside frames are neither answered nor lost track of.
    host_->send({'a', 't', '\r'});
    host_->send(frameOf({0x7F}));
    EXPECT_EQ(host_->receiveByte(), kAck);

    ASSERT_TRUE(sim_->waitForFrames(4, kPatienceMs));
    const auto frames = sim_->hostFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_TRUE(frames[0].data.empty());
    EXPECT_THAT(frames[1].data, ElementsAre(0x61, 0x62, 0x63));
    EXPECT_THAT(frames[2].data, ElementsAre(0x02, 0x03, 0x06, 0x15));
    EXPECT_THAT(frames[3].data, ElementsAre(0x7F));

    const sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.acksSent, 4u);
    EXPECT_EQ(counters.naksSent, 2u);
    EXPECT_EQ(counters.badFramesReceived, 2u);
    EXPECT_EQ(counters.strayBytesReceived, 3u);
}

TEST_F(SimulatorTest, RefusesTheSerialModeProbeAtItsCheckByteAndKeepsTheNextFrame)
{
    // If the answer waited for the silence after the probe, it would come a
    // minute late and the reads below would give up first.
    startSimulator(withInterByteTimeout(60000));

    host_->send(kEmmiProbe);
    EXPECT_EQ(host_->receiveByte(), kNak);
    host_->send(frameOf({0x55}));
    EXPECT_EQ(host_->receiveByte(), kAck);
    // A refused frame's own ETX is swallowed, not taken as stray text.
    host_->send({0x02, 0x01, 0x55, 0x00, 0x03});
    EXPECT_EQ(host_->receiveByte(), kNak);
    host_->send(frameOf({0x56}));
    EXPECT_EQ(host_->receiveByte(), kAck);
    EXPECT_EQ(sim_->counters().strayBytesReceived, 0u);
}

TEST_F(SimulatorTest, AnswersAFrameThatBreaksOffWithNakAfterTheSilence)
{
    startSimulator(withInterByteTimeout(100));

    host_->send({0x02, 0x05, 0x41});
    EXPECT_EQ(host_->receiveByte(), kNak);
    host_->send(frameOf({0x41}));
    EXPECT_EQ(host_->receiveByte(), kAck);
}

TEST_F(SimulatorTest, PutsHostMessagesTogetherAndIgnoresARepeatedSegment)
{
    startSimulator();
    const Bytes ten = countingBytes(10);
    const Bytes threeHundred = countingBytes(300);

    // 0xD6, one frame: length + 2 high byte first, command low byte first.
    host_->send(frameOf(concat({0xD6, 0xFF, 0x00, 0x0C, 0x71, 0x02}, ten)));
    // 0xD6 over two frames of 249 and 51 data bytes.
    const Bytes first = concat({0xD6, 0x00, 0x01, 0x2E, 0x01, 0x02},
                               Bytes(threeHundred.begin(), threeHundred.begin() + 249));
    const Bytes last = concat({0xD6, 0xFF}, Bytes(threeHundred.begin() + 249, threeHundred.end()));
    host_->send(frameOf(first));
    host_->send(frameOf(last));
    // Three frames, the middle one twice, as after a lost ACK.
    const Bytes middle = {0xD6, 0x01, 0xB0, 0xB1};
    host_->send(frameOf({0xD6, 0x00, 0x00, 0x08, 0x05, 0x00, 0xA0, 0xA1}));
    host_->send(frameOf(middle));
    host_->send(frameOf(middle));
    host_->send(frameOf({0xD6, 0xFF, 0xC0, 0xC1}));
    // 0xD3: length + 4 (BE), parameters A and B (BE), data length (LE), two
    // reserved bytes, 32-bit parameter (LE).
    host_->send(frameOf({0xD3, 0xFF, 0x00, 0x06, 0x12, 0x34, 0x56, 0x78, 0x02, 0x00, 0xEE, 0xEE,
                         0x01, 0x02, 0x03, 0x04, 0x99, 0x98}));
    // 0xD5: data length (BE) and a one-byte parameter.
    host_->send(frameOf({0xD5, 0xFF, 0x00, 0x01, 0x42, 0x77}));

    ASSERT_TRUE(sim_->waitForMessages(5, kPatienceMs));
    const auto messages = sim_->hostMessages();
    ASSERT_EQ(messages.size(), 5u);

    EXPECT_EQ(messages[0].type, 0xD6);
    EXPECT_EQ(messages[0].command, 0x0271);
    EXPECT_EQ(messages[0].lengthField, 12);
    EXPECT_EQ(messages[0].data, ten);

    EXPECT_EQ(messages[1].command, 0x0201);
    EXPECT_EQ(messages[1].lengthField, 302);
    EXPECT_EQ(messages[1].data, threeHundred);

    EXPECT_EQ(messages[2].command, 0x0005);
    EXPECT_THAT(messages[2].data, ElementsAre(0xA0, 0xA1, 0xB0, 0xB1, 0xC0, 0xC1));

    EXPECT_EQ(messages[3].type, 0xD3);
    EXPECT_EQ(messages[3].lengthField, 6);
    EXPECT_EQ(messages[3].parameterA, 0x1234);
    EXPECT_EQ(messages[3].parameterB, 0x5678);
    EXPECT_EQ(messages[3].dataLengthField, 2);
    EXPECT_EQ(messages[3].parameter32, 0x04030201u);
    EXPECT_THAT(messages[3].data, ElementsAre(0x99, 0x98));

    EXPECT_EQ(messages[4].type, 0xD5);
    EXPECT_EQ(messages[4].lengthField, 1);
    EXPECT_EQ(messages[4].parameterByte, 0x42);
    EXPECT_THAT(messages[4].data, ElementsAre(0x77));

    EXPECT_EQ(host_->receive(9), Bytes(9, kAck));
}

TEST_F(SimulatorTest, GivesUpAHostMessageThatLosesASegmentAndTakesTheNextOne)
{
    startSimulator();

    host_->send(frameOf({0xD6, 0x00, 0x00, 0x06, 0x01, 0x00, 0xA0}));
    host_->send(frameOf({0xD6, 0x02, 0xA2})); // segment 1 never came
    host_->send(frameOf({0xD6, 0xFF, 0xA3}));
    // The host abandoned its message and starts the next one.
    host_->send(frameOf({0xD6, 0x00, 0x00, 0x04, 0x03, 0x00, 0xB0}));
    host_->send(frameOf({0xD6, 0xFF, 0xB1}));

    ASSERT_TRUE(sim_->waitForFrames(5, kPatienceMs));
    ASSERT_TRUE(sim_->waitForMessages(1, kPatienceMs));
    const auto messages = sim_->hostMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].command, 3);
    EXPECT_THAT(messages[0].data, ElementsAre(0xB0, 0xB1));
    EXPECT_EQ(sim_->counters().messagesGivenUp, 1u);
}

TEST_F(SimulatorTest, NakFaultRefusesEachFrameOnceAndTakesItsResend)
{
    sim::Options options;
    options.faults.nakFirstTransmission = {0, sim::kEveryTime};
    startSimulator(options);

    const Bytes first = frameOf({0xD6, 0x00, 0x00, 0x04, 0x01, 0x02, 0xA0});
    const Bytes last = frameOf({0xD6, 0xFF, 0xA1});
    for (const Bytes& frame : {first, last}) {
        host_->send(frame);
        EXPECT_EQ(host_->receiveByte(), kNak);
        host_->send(frame);
        EXPECT_EQ(host_->receiveByte(), kAck);
    }

    ASSERT_TRUE(sim_->waitForMessages(1, kPatienceMs));
    EXPECT_THAT(sim_->hostMessages()[0].data, ElementsAre(0xA0, 0xA1));
    const auto frames = sim_->hostFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].answer, sim::Answer::Nak);
    EXPECT_EQ(frames[1].answer, sim::Answer::Ack);
    EXPECT_EQ(frames[0].data, frames[1].data);
}

TEST_F(SimulatorTest, StaysSilentWhenOff)
{
    startSimulator({}, sim::Mode::Off);

    host_->send(frameOf({0x01}));
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);
    EXPECT_FALSE(sim_->sendMessage(1, {0x00}).get());

    sim_->setMode(sim::Mode::Emmi);
    host_->send(frameOf({0x02}));
    EXPECT_EQ(host_->receiveByte(), kAck);
    EXPECT_EQ(sim_->hostFrames().size(), 1u);
}

} // namespace
} // namespace simtest
