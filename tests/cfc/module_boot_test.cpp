// Switching the module on through DTR: the bootloader dialogue byte for byte
// and on the simulated module, the plain ignition, the first start, and a
// line without modem lines.
#include "target_test_support.h"

#include "plat/clock.h"

#include <chrono>
#include <future>
#include <thread>

namespace cfctest {
namespace {

using namespace cfc;

const Bytes kVersionCommand{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02, 0xFE, 0x07, 0xFB};
const Bytes kBootCommand{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x03, 0xFE, 0x01, 0x02, 0xFE};
// ACK, then the version record of bootloader 1.3.
const Bytes kVersionAnswer{0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0xFF, 0x07, 0x01, 0x03, 0xFE};

class ModuleBootTest : public TargetTest {};

TEST_F(ModuleBootTest, ServiceBootDialogueOnTheWire)
{
    attachByHand();
    plat::VirtualLineState dialogue;
    plat::VirtualLineState firmwareWait;
    std::thread bootloader([&] {
        EXPECT_EQ(link().moduleReads(1), Bytes{0x78});
        dialogue = line();
        link().moduleSends({0x87});
        // Patterns sent before the answer came are no part of the command.
        Bytes command;
        do
            command = link().moduleReads(1);
        while (command == Bytes{0x78});
        EXPECT_EQ(concat(command, link().moduleReads(kVersionCommand.size() - 1)), kVersionCommand);
        link().moduleSends(kVersionAnswer);
        EXPECT_EQ(link().moduleReads(1), Bytes{0x06}) << "the version record acknowledged";
        EXPECT_EQ(link().moduleReads(kBootCommand.size()), kBootCommand);
        link().moduleSends({0x06});
        // The firmware is up: it answers the probe's EMMI test string.
        EXPECT_EQ(link().moduleReads(7), concat(bytesOf("at\r"), kEmmiProbe));
        firmwareWait = line();
        link().moduleSends({0x15});
    });
    EXPECT_EQ(ModuleBootServiceMode(cfctest::connectionOf(handle())), 1);
    bootloader.join();

    EXPECT_EQ(dialogue.settings.baudRate, 57600u);
    EXPECT_EQ(dialogue.settings.stopBits, plat::StopBits::One);
    EXPECT_TRUE(dialogue.dtr);
    EXPECT_FALSE(dialogue.rts);
    EXPECT_EQ(firmwareWait.settings.baudRate, 115200u);
    EXPECT_EQ(firmwareWait.settings.stopBits, plat::StopBits::Two);
    EXPECT_TRUE(firmwareWait.dtr) << "the ignition is held until the firmware answers";
    EXPECT_TRUE(onNormalSettings());
    EXPECT_FALSE(inRawByteMode());
    EXPECT_TRUE(tracedInOrder({"(CFC ) ModuleBootServiceMode: Bootloader version V1.3",
                               "(CFC ) ModuleBootServiceMode: Set Ignition high / DTR logical low",
                               "(CFC ) ModuleBootServiceMode: O.K."}));
}

TEST_F(ModuleBootTest, SilentModuleIsBootedIntoServiceMode)
{
    attach(sim::Mode::Off);
    EXPECT_EQ(SwitchSerialToEMMIMode(cfctest::connectionOf(handle()), 1), 1);
    EXPECT_EQ(module().counters().serviceBoots, 1u);
    EXPECT_EQ(module().mode(), sim::Mode::Emmi);
    EXPECT_TRUE(onNormalSettings());
    EXPECT_EQ(traced("(CFC ) SwitchSerialToEMMIMode: target serial in EMMI mode, O.K."), 1);
}

TEST_F(ModuleBootTest, SilentModuleIsBootedNormallyThenSwitched)
{
    attach(sim::Mode::Off);
    EXPECT_EQ(SwitchSerialToEMMIMode(cfctest::connectionOf(handle()), 0), 1);
    EXPECT_EQ(module().counters().normalBoots, 1u);
    EXPECT_EQ(module().counters().serviceBoots, 0u);
    EXPECT_EQ(module().mode(), sim::Mode::Emmi);
    EXPECT_TRUE(onNormalSettings());
    EXPECT_TRUE(tracedInOrder({
        "(CFC ) SwitchSerialToEMMIMode: mobile seems to be off, switch on in normal mode...",
        "(CFC ) ModuleBootNormalMode: Set Ignition low / DTR logical high",
        "(CFC ) ModuleBootNormalMode: Set Ignition high / DTR logical low",
        "(CFC ) ModuleBootNormalMode: O.K.",
        "(CFC ) SwitchSerialToEMMIMode: target serial in AT mode, sending at^sqwe=1",
        "(CFC ) SwitchSerialToEMMIMode: O.K.",
    }));
}

TEST_F(ModuleBootTest, BootloaderWithoutValidVersionIsBootedAllTheSame)
{
    sim::Options options;
    options.bootloader.versionAnswer = sim::BootVersionAnswer::Refused;
    attach(sim::Mode::Off, options);
    EXPECT_EQ(ModuleBootServiceMode(cfctest::connectionOf(handle())), 1);
    EXPECT_EQ(traced("(CFC ) ModuleBootServiceMode: no/unexpected response err 0, response 0x15"),
              5);
    EXPECT_EQ(traced("(CFC ) ModuleBootServiceMode: Bootloader version V0.4 or below"), 1);
    EXPECT_EQ(module().counters().serviceBoots, 1u);
}

TEST_F(ModuleBootTest, DialogueFailuresLeaveTheLineAsOpened)
{
    const struct {
        sim::BootloaderOptions bootloader;
        const char* line;
    } cases[] = {
        {{.patternAnswerAt = 0}, "(CFC ) ModuleBootServiceMode: no valid pattern answer"},
        {{.versionAnswer = sim::BootVersionAnswer::Silent},
         "(CFC ) ModuleBootServiceMode: could not get bootloader version (8)"},
    };
    for (const auto& c : cases) {
        sim::Options options;
        options.bootloader = c.bootloader;
        attach(sim::Mode::Off, options);
        EXPECT_EQ(ModuleBootServiceMode(cfctest::connectionOf(handle())), 0);
        EXPECT_EQ(traced(c.line), 1);
        EXPECT_TRUE(onNormalSettings()) << c.line;
        EXPECT_FALSE(inRawByteMode());
        // Still at the rate of the open: a module that answers is found.
        module().setMode(sim::Mode::At);
        EXPECT_EQ(GetTargetSerialMode(cfctest::connectionOf(handle()), 0), kTargetSerialModeAT)
            << c.line;
    }
}

TEST_F(ModuleBootTest, LineWithoutModemLinesFailsEveryBootCleanly)
{
    attach(sim::Mode::Off);
    link().device().setNoModemLines(true);
    EXPECT_EQ(ModuleBootServiceMode(cfctest::connectionOf(handle())), 0);
    EXPECT_EQ(traced("(CFC ) ModuleBootServiceMode: cannot set ignition low"), 1);
    EXPECT_TRUE(onNormalSettings());
    EXPECT_FALSE(inRawByteMode());

    EXPECT_EQ(ModuleBootNormalMode(cfctest::connectionOf(handle())), 0);
    EXPECT_EQ(traced("(CFC ) ModuleBootNormalMode: cannot set ignition low"), 1);
    EXPECT_EQ(WStartModuleForTheFirstTime(handle(), 3), 0);
    EXPECT_EQ(traced("(CFC ) WStartModuleForTheFirstTime: cannot set Ignition low"), 1);
    EXPECT_EQ(WGetLastError(handle()), EMMIERR_SYSTEM);
    EXPECT_EQ(module().counters().serviceBoots + module().counters().normalBoots, 0u);
}

TEST_F(ModuleBootTest, FirstStartHoldsTheIgnitionUntilTheModuleSpeaks)
{
    attachByHand();
    std::promise<void> ignition;
    link().device().setLineObserver(
        [&, fired = false](const plat::VirtualLineState& state) mutable {
            if (state.dtr && !fired) {
                fired = true;
                ignition.set_value();
            }
        });
    std::thread moduleSide([&] {
        ASSERT_EQ(ignition.get_future().wait_for(std::chrono::milliseconds(kPatienceMs)),
                  std::future_status::ready);
        // In the second of the three seconds allowed.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        link().moduleSends(countingBytes(11, 0x30));
    });
    EXPECT_EQ(WStartModuleForTheFirstTime(handle(), 3), 1);
    moduleSide.join();
    link().device().setLineObserver({});
    EXPECT_FALSE(line().dtr);
    EXPECT_TRUE(tracedInOrder({"(CFC ) WStartModuleForTheFirstTime(timeout 3)",
                               "(CFC ) WStartModuleForTheFirstTime: data received ->",
                               dumpLine(0, countingBytes(8, 0x30)),
                               "(CFC ) WStartModuleForTheFirstTime: set Ignition high"}));

    // No attempt at all: a time-out at once, and the ignition let go.
    EXPECT_EQ(WStartModuleForTheFirstTime(handle(), 0), 0);
    EXPECT_EQ(traced("(CFC ) WStartModuleForTheFirstTime: timeout!"), 1);
    EXPECT_FALSE(line().dtr);
    EXPECT_EQ(WGetLastError(handle()), EMMIERR_TIMEOUT);
}

} // namespace
} // namespace cfctest
