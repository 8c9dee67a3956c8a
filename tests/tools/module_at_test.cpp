// The module's command interpreter and its switch to EMMI, against a host
// that probes as the library does: the AT test string byte by byte, the
// EMMI test string (a frame start with a wrong check byte and no ETX).
#include "harness.h"

#include <gtest/gtest.h>

namespace simtest {
namespace {

void sendByteByByte(HostEnd& host, std::string_view text)
{
    for (char c : text)
        host.send({static_cast<uint8_t>(c)});
}

using ModuleAtTest = SimulatorTest;

sim::Options withAtAnswers(sim::AtAnswers answers)
{
    sim::Options options;
    options.firmware.atAnswers = answers;
    return options;
}

TEST_F(ModuleAtTest, EchoesTheAtTestStringAndAnswersOk)
{
    startSimulator({}, sim::Mode::At);

    sendByteByByte(*host_, "at\r");
    EXPECT_EQ(host_->receive(9), bytesOf("at\r\r\nOK\r\n"));
    host_->send(bytesOf("AT+UNKNOWN\r"));
    EXPECT_EQ(host_->receive(20), bytesOf("AT+UNKNOWN\r\r\nERROR\r\n"));

    // Only the probe's carriage return is text: no frame start comes back
    // for the host to take as an EMMI answer, and the empty line is not
    // answered.
    host_->send(kEmmiProbe);
    EXPECT_EQ(host_->receive(1), bytesOf("\r"));
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);
    EXPECT_EQ(sim_->mode(), sim::Mode::At);
}

TEST_F(ModuleAtTest, SwitchesToEmmiAfterAnsweringAtSqwe1)
{
    startSimulator({}, sim::Mode::At);

    host_->send(bytesOf("at^sqwe=1\r"));
    EXPECT_EQ(host_->receive(16), bytesOf("at^sqwe=1\r\r\nOK\r\n"));
    ASSERT_TRUE(sim_->waitForMode(sim::Mode::Emmi, kPatienceMs));

    // The AT test string is no frame: nothing answers it any more.
    sendByteByByte(*host_, "at\r");
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);
    host_->send(kEmmiProbe);
    EXPECT_EQ(host_->receiveByte(), kNak);
    host_->send(frameOf({0x01}));
    EXPECT_EQ(host_->receiveByte(), kAck);
}

TEST_F(ModuleAtTest, RefusesAtSqwe1WithErrorWhenToldTo)
{
    startSimulator(withAtAnswers(sim::AtAnswers::SwitchRefused), sim::Mode::At);

    for (int attempt = 0; attempt < 2; ++attempt) {
        host_->send(bytesOf("at^sqwe=1\r"));
        EXPECT_EQ(host_->receive(19), bytesOf("at^sqwe=1\r\r\nERROR\r\n"));
    }
    EXPECT_EQ(sim_->mode(), sim::Mode::At);
    sendByteByByte(*host_, "at\r");
    EXPECT_EQ(host_->receive(9), bytesOf("at\r\r\nOK\r\n"));
}

TEST_F(ModuleAtTest, EchoesInCapitalsWhenToldTo)
{
    startSimulator(withAtAnswers(sim::AtAnswers::UpperCaseEcho), sim::Mode::At);

    sendByteByByte(*host_, "at\r");
    EXPECT_EQ(host_->receive(9), bytesOf("AT\r\r\nOK\r\n"));
}

TEST_F(ModuleAtTest, UnderstandsNothingAtAnotherBaudRate)
{
    startSimulator({}, sim::Mode::At);

    ASSERT_TRUE(host_->setBaudRate(kBootloaderBaud));
    sendByteByByte(*host_, "at\r");
    // Waited for before the rate changes back, which would let the module
    // understand bytes it has not yet read.
    ASSERT_TRUE(sim_->waitForCounters(
        [](const sim::Counters& counters) { return counters.bytesNotUnderstood == 3; },
        kPatienceMs));
    EXPECT_EQ(host_->receiveByte(100), std::nullopt);

    ASSERT_TRUE(host_->setBaudRate(kFirmwareBaud));
    sendByteByByte(*host_, "at\r");
    EXPECT_EQ(host_->receive(9), bytesOf("at\r\r\nOK\r\n"));
}

} // namespace
} // namespace simtest
