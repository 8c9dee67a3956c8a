// The module's signal trace: the host tells it which signals to report with
// a mask message (0xD3) and makes it take the mask with a one-byte message
// (0xD5, parameter 2); a mask that enables nothing switches it off at once.
// While signals are enabled the module reports a few of them after each
// request it answers, so that a host sees real signal frames.
#pragma once

#include "sim/host_message.h"
#include "sim/wire.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace sim {

// What the host last told the module's signal trace.
struct SignalTraceState {
    uint32_t masksReceived = 0; // mask messages, off messages included
    uint32_t masksTaken = 0;    // messages that made the module use its mask
    std::vector<uint8_t> lastMask;
    // Signals the module reports now, in base order.
    std::vector<uint32_t> enabled;
};

// The signals a mask message enables, in base order; none for a message
// too short for its tables. A block offset beyond the message enables
// nothing of its base.
std::vector<uint32_t> decodeSignalMask(std::span<const uint8_t> mask);

// What the module reports for a signal: 8 + 4 * (signal number) bytes
// counting up from the number, so that signals from number 61 on span
// several frames.
std::vector<uint8_t> simulatedSignalData(uint32_t signalId);

class SignalTraceUnit {
public:
    static constexpr size_t kSignalsPerRound = 4;

    // Takes a host message; true when it was meant for the signal trace.
    bool take(const HostMessage& message);
    // The signals to report after `message`: none while nothing is enabled,
    // after a switch-off request or after a message of another kind;
    // otherwise the next few of the enabled ones, each with its header.
    std::vector<SignalTrace> reportAfter(const HostMessage& message);
    SignalTraceState state() const;

private:
    mutable std::mutex mutex_;
    SignalTraceState state_;
    std::vector<uint32_t> pending_;
    size_t next_ = 0;
    uint32_t frameNumber_ = 0;
};

} // namespace sim
