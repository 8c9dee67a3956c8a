// The firmware's remote procedure calls in EMMI mode, each request answered
// with its confirm, and the switch-off that leaves the line silent.
#include "harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace simtest {
namespace {

using ::testing::ElementsAre;

constexpr uint16_t kGetVersion = 1;
constexpr uint16_t kCalDevGsmFinish = 9;
constexpr uint16_t kSwitchOff = 67;
constexpr uint16_t kSendAtCommand = 93;
constexpr uint16_t kGetOperationMode = 99;
constexpr uint16_t kSetOperationMode = 101;
constexpr uint16_t kJavaAutoStartAgain = 103;
constexpr uint16_t kJavaAutoStart = 107;

// A reference, low byte first, then further payload.
Bytes withReference(uint16_t reference, const Bytes& rest = {})
{
    return concat({static_cast<uint8_t>(reference & 0xFF), static_cast<uint8_t>(reference >> 8)},
                  rest);
}

// The 128-byte text area of the AT command messages.
Bytes textArea(std::string_view text)
{
    Bytes area = bytesOf(text);
    area.resize(128, 0);
    return area;
}

class ModuleRpcTest : public SimulatorTest {
protected:
    void startFirmware(const sim::FirmwareOptions& firmware = {})
    {
        sim::Options options;
        options.firmware = firmware;
        startSimulator(options, sim::Mode::Emmi);
    }

    // The confirm's payload, or empty when the confirm is missing or has
    // another id than request + 1.
    Bytes confirmOf(uint16_t request, const Bytes& payload)
    {
        const auto confirm = host_->call(request, payload);
        if (!confirm || confirm->command != request + 1)
            return {};
        return confirm->payload;
    }
};

TEST_F(ModuleRpcTest, AnswersTheVersionRequestWithItsTextAndNumbers)
{
    sim::FirmwareOptions firmware;
    firmware.versionText = "MARLO_B1_207a:build 12&Bln-Bootloader V01.03";
    firmware.hardwareId = 0x11223344;
    firmware.rpcVersion = 0x00020005;
    startFirmware(firmware);

    const Bytes payload = confirmOf(kGetVersion, withReference(0x1234));
    ASSERT_EQ(payload.size(), 12u + firmware.versionText.size() + 1);
    EXPECT_THAT(Bytes(payload.begin(), payload.begin() + 2), ElementsAre(0x34, 0x12));
    EXPECT_THAT(Bytes(payload.begin() + 4, payload.begin() + 12),
                ElementsAre(0x44, 0x33, 0x22, 0x11, 0x05, 0x00, 0x02, 0x00));
    EXPECT_EQ(Bytes(payload.begin() + 12, payload.end() - 1), bytesOf(firmware.versionText));
    EXPECT_EQ(payload.back(), 0);
}

TEST_F(ModuleRpcTest, ReadsSetsAndFinishesOperationModes)
{
    sim::FirmwareOptions firmware;
    firmware.operationMode = sim::OperationMode::Test;
    startFirmware(firmware);

    // Reference, status (u16, 0 success), mode.
    EXPECT_THAT(confirmOf(kGetOperationMode, withReference(1)), ElementsAre(1, 0, 0, 0, 2));
    EXPECT_THAT(confirmOf(kCalDevGsmFinish, withReference(2)), ElementsAre(2, 0));
    EXPECT_EQ(sim_->operationMode(), sim::OperationMode::Normal);

    EXPECT_THAT(confirmOf(kSetOperationMode, withReference(3, {1})), ElementsAre(3, 0, 0, 0));
    EXPECT_EQ(sim_->operationMode(), sim::OperationMode::Service);
    EXPECT_THAT(confirmOf(kGetOperationMode, withReference(4)), ElementsAre(4, 0, 0, 0, 1));

    // 3 is no operation mode: a failure status, nothing changes.
    EXPECT_THAT(confirmOf(kSetOperationMode, withReference(5, {3})), ElementsAre(5, 0, 1, 0));
    EXPECT_EQ(sim_->operationMode(), sim::OperationMode::Service);
}

TEST_F(ModuleRpcTest, LeavesRequestsOfTheWrongSizeUnconfirmed)
{
    startFirmware();

    for (const auto& [command, payload] :
         {std::pair{kGetOperationMode, withReference(1, {0})},
          std::pair{kSetOperationMode, withReference(2)},
          std::pair{kSwitchOff, withReference(3, {0})},
          std::pair{kSendAtCommand, withReference(4, bytesOf("AT\r"))}}) {
        host_->send(requestFrame(command, payload));
        EXPECT_EQ(host_->receiveByte(), kAck);
    }
    // The first confirm to come is that of the first well-formed request.
    EXPECT_THAT(confirmOf(kGetOperationMode, withReference(5)), ElementsAre(5, 0, 0, 0, 0));
    EXPECT_EQ(sim_->mode(), sim::Mode::Emmi);
}

TEST_F(ModuleRpcTest, ConfirmsAModeChangeButKeepsItsModeWhenToldTo)
{
    sim::FirmwareOptions firmware;
    firmware.keepsOperationMode = true;
    startFirmware(firmware);

    EXPECT_THAT(confirmOf(kSetOperationMode, withReference(7, {1})), ElementsAre(7, 0, 0, 0));
    EXPECT_THAT(confirmOf(kGetOperationMode, withReference(8)), ElementsAre(8, 0, 0, 0, 0));
}

TEST_F(ModuleRpcTest, AnswersAnAtCommandWithItsEchoAndThenItsResponse)
{
    startFirmware();

    const Bytes request = withReference(0x0102, textArea("ATH\r"));
    EXPECT_EQ(confirmOf(kSendAtCommand, request), request);
    const auto response = host_->receiveMessage();
    ASSERT_TRUE(response);
    EXPECT_EQ(response->command, kSendAtCommand + 1);
    EXPECT_EQ(response->payload, withReference(0x0102, textArea("\r\nOK\r\n")));
}

TEST_F(ModuleRpcTest, SwitchesJavaAutoStartAndConfirmsItsResult)
{
    sim::FirmwareOptions firmware;
    firmware.javaAutoStart = true;
    startFirmware(firmware);

    EXPECT_THAT(confirmOf(kJavaAutoStart, withReference(0x0A0B, {0})), ElementsAre(0x0B, 0x0A, 0));
    EXPECT_FALSE(sim_->javaAutoStart());

    firmware.autoStartResult = 3;
    sim::Options options = sim_->options();
    options.firmware = firmware;
    sim_->setOptions(options);
    EXPECT_THAT(confirmOf(kJavaAutoStart, withReference(0x0A0C, {1})), ElementsAre(0x0C, 0x0A, 3));
    EXPECT_FALSE(sim_->javaAutoStart());
}

TEST_F(ModuleRpcTest, ConfirmsAutoStartOnlyAfterTheRequestComesAgainUnderItsFallbackId)
{
    sim::FirmwareOptions firmware;
    firmware.autoStartConfirm = sim::AutoStartConfirm::AfterFallback;
    startFirmware(firmware);

    const Bytes payload = withReference(0x0042, {0});
    host_->send(requestFrame(kJavaAutoStart, payload));
    EXPECT_EQ(host_->receiveByte(), kAck);
    EXPECT_TRUE(host_->receiveFrame(300).empty());

    const auto confirm = host_->call(kJavaAutoStartAgain, payload);
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->command, kJavaAutoStart + 1);
    EXPECT_THAT(confirm->payload, ElementsAre(0x42, 0x00, 0));
    EXPECT_FALSE(sim_->javaAutoStart());
}

TEST_F(ModuleRpcTest, GoesSilentAfterTheSwitchOffRequestAndKeepsItsAutoStartSetting)
{
    startFirmware();
    confirmOf(kJavaAutoStart, withReference(1, {0}));

    host_->send(requestFrame(kSwitchOff, withReference(2)));
    EXPECT_EQ(host_->receiveByte(), kAck);
    ASSERT_TRUE(sim_->waitForMode(sim::Mode::Off, kPatienceMs));
    host_->send(bytesOf("at\r"));
    host_->send(kEmmiProbe);
    EXPECT_EQ(host_->receiveByte(300), std::nullopt);
    EXPECT_FALSE(sim_->javaAutoStart());
}

TEST_F(ModuleRpcTest, KeepsAnsweringAfterTheSwitchOffRequestWhenToldTo)
{
    sim::FirmwareOptions firmware;
    firmware.silentAfterSwitchOff = false;
    startFirmware(firmware);

    host_->send(requestFrame(kSwitchOff, withReference(2)));
    EXPECT_EQ(host_->receiveByte(), kAck);
    // The request was handled before the probe's bytes were read.
    host_->send(kEmmiProbe);
    EXPECT_EQ(host_->receiveByte(), kNak);
    EXPECT_EQ(sim_->mode(), sim::Mode::Emmi);
}

} // namespace
} // namespace simtest
