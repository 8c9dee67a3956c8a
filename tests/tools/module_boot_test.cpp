// Switching a silent module on through DTR: the bootloader's dialogue at
// 57600 baud as the library runs it, and the firmware that starts after it
// or after a plain ignition pulse.
#include "harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace simtest {
namespace {

using ::testing::ElementsAre;

constexpr uint8_t kPattern = 0x78;
constexpr uint8_t kPatternAnswer = 0x87;
const Bytes kVersionCommand = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02, 0xFE, 0x07, 0xFB};
const Bytes kBootCommand = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x03, 0xFE, 0x01, 0x02, 0xFE};

// Long enough that the firmware never starts by itself during a test.
sim::Options withPatientBootloader()
{
    sim::Options options;
    options.bootloader.patternWindowMs = 600000;
    return options;
}

class ModuleBootTest : public SimulatorTest {
protected:
    // The host's side of the ignition: the rate first, then DTR.
    void switchOn(uint32_t baudRate)
    {
        ASSERT_TRUE(host_->setBaudRate(baudRate));
        ASSERT_TRUE(host_->setDtr(true));
        // Taken on the host's own thread, so already done.
        ASSERT_EQ(sim_->mode(), sim::Mode::Bootloader);
    }
};

TEST_F(ModuleBootTest, BootsIntoEmmiThroughTheBootloaderDialogueAt57600)
{
    startSimulator(withPatientBootloader(), sim::Mode::Off);
    switchOn(kBootloaderBaud);

    host_->send({kPattern});
    EXPECT_EQ(host_->receiveByte(), kPatternAnswer);
    // More patterns sent before the answer was read are no commands.
    host_->send({kPattern, kPattern});

    host_->send(kVersionCommand);
    EXPECT_EQ(host_->receiveByte(), 0x06);
    const Bytes version = host_->receive(11);
    ASSERT_EQ(version.size(), 11u);
    // Offsets 6 to 9 are what the host reads: 0xFF, 0x07, major, minor.
    EXPECT_THAT(Bytes(version.begin() + 6, version.begin() + 10), ElementsAre(0xFF, 0x07, 1, 3));
    host_->send({0x06}); // the host's acknowledgement of the version

    host_->send(kBootCommand);
    EXPECT_EQ(host_->receiveByte(), 0x06);

    ASSERT_TRUE(host_->setBaudRate(kFirmwareBaud));
    ASSERT_TRUE(sim_->waitForMode(sim::Mode::Emmi, kPatienceMs));
    host_->send(kEmmiProbe);
    EXPECT_EQ(host_->receiveByte(), kNak);
    ASSERT_TRUE(host_->setDtr(false)); // ignition released: the module stays on
    host_->send(frameOf({0x01}));
    EXPECT_EQ(host_->receiveByte(), kAck);

    const sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.serviceBoots, 1u);
    EXPECT_EQ(counters.normalBoots, 0u);
}

TEST_F(ModuleBootTest, AnswersOnlyTheConfiguredPatternAndOnlyAt57600)
{
    sim::Options options = withPatientBootloader();
    options.bootloader.patternAnswerAt = 3;
    startSimulator(options, sim::Mode::Off);
    switchOn(kFirmwareBaud);

    host_->send({kPattern});
    ASSERT_TRUE(sim_->waitForCounters(
        [](const sim::Counters& counters) { return counters.bytesNotUnderstood == 1; },
        kPatienceMs));
    ASSERT_TRUE(host_->setBaudRate(kBootloaderBaud));
    host_->send({kPattern, kPattern});
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);
    host_->send({kPattern});
    EXPECT_EQ(host_->receiveByte(), kPatternAnswer);
}

TEST_F(ModuleBootTest, AnswersARefusedOrBrokenVersionCommandWithNakAndBootsAllTheSame)
{
    sim::Options options = withPatientBootloader();
    options.bootloader.versionAnswer = sim::BootVersionAnswer::Refused;
    options.firmware.serviceBootMode = sim::Mode::At;
    startSimulator(options, sim::Mode::Off);
    switchOn(kBootloaderBaud);
    host_->send({kPattern});
    ASSERT_EQ(host_->receiveByte(), kPatternAnswer);

    Bytes broken = kVersionCommand;
    broken.back() ^= 0x01;
    host_->send(broken);
    EXPECT_EQ(host_->receiveByte(), 0x15);
    host_->send(kVersionCommand);
    EXPECT_EQ(host_->receiveByte(), 0x15);
    host_->send(kBootCommand);
    EXPECT_EQ(host_->receiveByte(), 0x06);

    ASSERT_TRUE(host_->setBaudRate(kFirmwareBaud));
    ASSERT_TRUE(sim_->waitForMode(sim::Mode::At, kPatienceMs));
    host_->send(bytesOf("at\r"));
    EXPECT_EQ(host_->receive(3), bytesOf("at\r"));
}

TEST_F(ModuleBootTest, StartsTheFirmwareInAtModeWhenNoPatternComes)
{
    sim::Options options;
    options.bootloader.patternWindowMs = 100;
    startSimulator(options, sim::Mode::Off);
    switchOn(kFirmwareBaud);

    ASSERT_TRUE(sim_->waitForMode(sim::Mode::At, kPatienceMs));
    host_->send(bytesOf("at\r"));
    EXPECT_EQ(host_->receive(9), bytesOf("at\r\r\nOK\r\n"));
    EXPECT_EQ(sim_->counters().normalBoots, 1u);

    // A running module ignores the ignition.
    ASSERT_TRUE(host_->setDtr(false));
    ASSERT_TRUE(host_->setDtr(true));
    EXPECT_EQ(sim_->mode(), sim::Mode::At);
}

TEST_F(ModuleBootTest, StaysSilentAfterTheBootWithoutFirmware)
{
    sim::Options options;
    options.bootloader.patternWindowMs = 100;
    options.firmware.present = false;
    startSimulator(options, sim::Mode::Off);
    switchOn(kFirmwareBaud);

    ASSERT_TRUE(sim_->waitForMode(sim::Mode::Off, kPatienceMs));
    EXPECT_EQ(sim_->counters().normalBoots, 1u);
    host_->send(bytesOf("at\r"));
    host_->send(kEmmiProbe);
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);
}

} // namespace
} // namespace simtest
