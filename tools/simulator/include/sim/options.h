// What the simulated module does, and the faults it stages on the line.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// The states of the module's serial side. The AT command interpreter and the
// bootloader dialogue take their places here as they arrive.
enum class Mode : uint8_t {
    Off,  // switched off: hears nothing, says nothing
    Emmi, // framed service protocol
};

inline constexpr uint32_t kEveryTime = 0xFFFFFFFFu;

// When a fault strikes: it lets `skip` occasions pass, then strikes on the
// next `count` (kEveryTime: on all). Each fault names its occasion.
struct FaultPlan {
    uint32_t skip = 0;
    uint32_t count = 0;

    // Counts one occasion off; true when the fault strikes on it.
    bool take();
    bool armed() const { return count != 0; }
};

struct Faults {
    // Occasion: a correct host frame that was not itself the resend of a
    // frame this fault refused. Strikes: answers NAK instead of ACK.
    FaultPlan nakFirstTransmission;
    // Occasion: a transmission of a module frame. Strikes: the BCC is sent
    // inverted.
    FaultPlan corruptBcc;
    // Occasion: a module frame about to be sent. Strikes: the frame never
    // goes out and the message goes on as if it had been acknowledged.
    FaultPlan dropFrame;
    // Occasion: a module frame that was acknowledged. Strikes: it is sent
    // once more, same segment number, as after a lost acknowledgement.
    FaultPlan repeatFrame;
    // Occasion: the gap between two frames of a module message. Strikes: a
    // signal-trace frame (0xD4) goes out in between.
    FaultPlan interleaveSignalTrace;
    // Occasion: a module message about to be sent / just sent. Strikes:
    // strayText goes out before / after it, outside any frame.
    FaultPlan strayTextBefore;
    FaultPlan strayTextAfter;
    std::string strayText = "\r\nstray module text\r\n";
};

struct Options {
    // Silence allowed inside a host frame before it counts as broken off.
    uint32_t interByteTimeoutMs = 500;
    // How long a module frame waits for the host's ACK or NAK.
    uint32_t ackTimeoutMs = 1000;
    // Transmissions of one module frame (the first included) before the
    // message is given up.
    uint32_t maxTransmissions = 5;
    Faults faults;
};

} // namespace sim
