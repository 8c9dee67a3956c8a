// The behaviours of the module's serial side, one class per mode. The
// simulator's read thread feeds the current one every byte from the host.
#pragma once

#include "sim/frame_receiver.h"
#include "sim/host_message.h"
#include "sim/options.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// How the host answered, or was answered about, one frame.
enum class Answer : uint8_t { Ack, Nak };

struct FrameRecord {
    std::vector<uint8_t> data;
    Answer answer = Answer::Ack;
};

// What a mode needs of the simulator around it. Called on the read thread.
class ModeHost {
public:
    virtual ~ModeHost() = default;

    virtual void answer(uint8_t byte) = 0;
    virtual bool takeFault(FaultPlan Faults::*plan) = 0;
    virtual uint32_t interByteTimeoutMs() = 0;

    // An ACK or NAK from the host about the module's own frame.
    virtual void hostAnswered(Answer answer) = 0;
    virtual void frameReceived(FrameRecord record) = 0;
    virtual void badFrameReceived(const char* why) = 0;
    virtual void strayByteReceived(uint8_t byte) = 0;
    virtual void messageReceived(const HostMessage& message) = 0;
    // After the last frame's answer: the message's effect (replies, mode).
    virtual void handleMessage(const HostMessage& message) = 0;
    // A host message broke off: a segment was missing.
    virtual void messageGivenUp() = 0;
};

class ModeBehaviour {
public:
    virtual ~ModeBehaviour() = default;

    virtual void onByte(uint8_t byte) = 0;
    // How long the line may stay silent before onSilence() (kNoTimeout: no
    // bound).
    virtual uint32_t silenceBoundMs() const = 0;
    virtual void onSilence() {}
};

class OffMode final : public ModeBehaviour {
public:
    void onByte(uint8_t) override {}
    uint32_t silenceBoundMs() const override;
};

// Frames with ACK/NAK; host messages put together and handed on.
class EmmiMode final : public ModeBehaviour {
public:
    explicit EmmiMode(ModeHost& host) : host_(host) {}

    void onByte(uint8_t byte) override;
    uint32_t silenceBoundMs() const override;
    void onSilence() override;

private:
    void onFrame();
    void onOutsideByte(uint8_t byte);

    ModeHost& host_;
    FrameReceiver receiver_;
    HostMessageAssembler assembler_;
    // The last frame was refused by the NAK fault; its resend is taken.
    bool awaitingResend_ = false;
};

std::unique_ptr<ModeBehaviour> makeModeBehaviour(Mode mode, ModeHost& host);

} // namespace sim
