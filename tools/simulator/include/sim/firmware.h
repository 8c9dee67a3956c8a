// The module firmware's remote procedure calls in EMMI mode: a request is a
// command message whose id is odd, its confirm the message with the next id;
// both begin with the host's 16-bit reference, which the confirm echoes.
#pragma once

#include "sim/host_message.h"
#include "sim/options.h"

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace sim {

class Simulator;

namespace rpc {
inline constexpr uint16_t kGetVersion = 1;
inline constexpr uint16_t kCalDevGsmFinish = 9;
inline constexpr uint16_t kSwitchOff = 67;
inline constexpr uint16_t kSendAtCommand = 93;
inline constexpr uint16_t kGetOperationMode = 99;
inline constexpr uint16_t kSetOperationMode = 101;
// The autostart request as some firmware takes it only when it comes again.
inline constexpr uint16_t kJavaAutoStartAgain = 103;
inline constexpr uint16_t kJavaAutoStart = 107;

inline constexpr uint16_t confirmOf(uint16_t request)
{
    return static_cast<uint16_t>(request + 1);
}

// Text area of the AT command request and its two confirms.
inline constexpr size_t kAtTextArea = 128;
} // namespace rpc

// The firmware's state and its answers. Its state outlives switching off
// as flash memory does (the Java autostart setting), or starts anew with
// every start of the firmware (the operation mode).
class Firmware {
public:
    explicit Firmware(const FirmwareOptions& options);

    // The firmware starts after an ignition.
    void start(const FirmwareOptions& options);
    // On the simulator's read thread, after the request's last ACK.
    void handle(Simulator& simulator, const HostMessage& request);

    OperationMode operationMode() const;
    bool javaAutoStart() const;

private:
    std::vector<uint8_t> version(uint16_t reference, const FirmwareOptions& options) const;
    std::vector<uint8_t> operationModeNow(uint16_t reference) const;
    std::vector<uint8_t> setOperationMode(uint16_t reference, std::span<const uint8_t> request,
                                          const FirmwareOptions& options);
    std::vector<uint8_t> finishTestMode(uint16_t reference);
    // The echo and the answer of an AT command line.
    std::vector<std::vector<uint8_t>> atCommand(uint16_t reference,
                                                std::span<const uint8_t> request,
                                                const FirmwareOptions& options) const;
    std::vector<uint8_t> switchJavaAutoStart(uint16_t reference, std::span<const uint8_t> request,
                                             const FirmwareOptions& options);

    mutable std::mutex mutex_;
    OperationMode operationMode_;
    bool javaAutoStart_;
};

} // namespace sim
