// The host's end of an in-memory line, written by hand from the frame format
// so that the simulator is checked against the wire, not against itself.
#pragma once

#include "plat/serial.h"
#include "plat/virtual_serial.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;

// The host's serial-mode probe: a frame start with a wrong check byte and
// no ETX, which a module in EMMI mode refuses with NAK.
inline const std::vector<uint8_t> kEmmiProbe = {0x02, 0x01, 0xD6, 0x0D};

// Far beyond anything the simulator takes on a loaded machine.
inline constexpr uint32_t kPatienceMs = 5000;

// STX, LEN, data, BCC, ETX.
Bytes frameOf(const Bytes& data);
Bytes concat(const Bytes& a, const Bytes& b);
// `count` bytes counting up from `first`, wrapping at 256.
Bytes countingBytes(size_t count, uint8_t first = 0);
Bytes bytesOf(std::string_view text);

// A host command message (0xD6) in one frame: length + 2 high byte first,
// the command low byte first, then the payload.
Bytes requestFrame(uint16_t command, const Bytes& payload);

// A module command message taken from one frame.
struct ModuleMessage {
    uint16_t command = 0;
    Bytes payload;
};
// Empty unless the frame is a whole 0xD6 message with a correct BCC.
std::optional<ModuleMessage> moduleMessageOf(const Bytes& frame);

inline constexpr uint32_t kFirmwareBaud = 115200;
inline constexpr uint32_t kBootloaderBaud = 57600;

class HostEnd {
public:
    // Opens "virtual:<name>" (the device must be registered) or a device
    // path, at the firmware's baud rate.
    explicit HostEnd(const std::string& name);

    bool isOpen() const { return port_ != nullptr; }
    bool setBaudRate(uint32_t baudRate);
    bool setDtr(bool on) { return port_->setDtr(on); }
    void send(const Bytes& bytes);
    // Up to `count` bytes; fewer when timeoutMs passes first.
    Bytes receive(size_t count, uint32_t timeoutMs = kPatienceMs);
    std::optional<uint8_t> receiveByte(uint32_t timeoutMs = kPatienceMs);
    // One whole frame as it stood on the wire; empty when none came.
    Bytes receiveFrame(uint32_t timeoutMs = kPatienceMs);
    // The next module message, acknowledged; empty when none came.
    std::optional<ModuleMessage> receiveMessage(uint32_t timeoutMs = kPatienceMs);
    // Sends a request, checks its ACK and returns the module's next message.
    std::optional<ModuleMessage> call(uint16_t command, const Bytes& payload);

private:
    std::unique_ptr<plat::SerialPort> port_;
};

// A simulator on a fresh in-memory line with the host's end already open,
// so that nothing the simulator says is lost.
class SimulatorTest : public ::testing::Test {
protected:
    void startSimulator(const sim::Options& options = {}, sim::Mode mode = sim::Mode::Emmi,
                        sim::MessageHandler handler = {});
    // With one fault that strikes on its first occasion.
    void startWithFault(sim::FaultPlan sim::Faults::*fault);
    void TearDown() override;

    std::string lineName_;
    std::shared_ptr<plat::VirtualDevice> device_;
    std::unique_ptr<HostEnd> host_;
    std::unique_ptr<sim::Simulator> sim_;
};

} // namespace simtest
