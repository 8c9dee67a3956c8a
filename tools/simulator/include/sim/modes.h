// The behaviours of the module's serial side, one class per mode. The
// simulator's read thread feeds the current one every byte from the host.
#pragma once

#include "sim/boot_command.h"
#include "sim/frame_receiver.h"
#include "sim/host_message.h"
#include "sim/options.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;

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

    // ACK or NAK for a host frame.
    virtual void answer(uint8_t byte) = 0;
    // Any other bytes the module says at once; `what` names them in traces.
    virtual void say(std::span<const uint8_t> bytes, const char* what) = 0;
    virtual void note(const std::string& event) = 0;
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

    // Takes effect after the byte being handled.
    virtual void switchMode(Mode mode) = 0;
    // The bootloader hands over: after its dialogue (service boot) or
    // after a plain ignition pulse.
    virtual void startFirmware(bool serviceBoot) = 0;
};

class ModeBehaviour {
public:
    virtual ~ModeBehaviour() = default;

    virtual void onByte(uint8_t byte) = 0;
    // When onDeadline() is due whether or not bytes come; none: never.
    virtual std::optional<Clock::time_point> deadline() const { return std::nullopt; }
    virtual void onDeadline() {}
    // The rate this mode speaks at; 0 understands any.
    virtual uint32_t baudRate() const { return 0; }
};

class OffMode final : public ModeBehaviour {
public:
    void onByte(uint8_t) override {}
};

// The firmware's command interpreter: echo, then an answer to each line.
class AtMode final : public ModeBehaviour {
public:
    AtMode(ModeHost& host, AtAnswers answers, uint32_t baudRate)
        : host_(host), answers_(answers), baudRate_(baudRate)
    {
    }

    void onByte(uint8_t byte) override;
    uint32_t baudRate() const override { return baudRate_; }

private:
    void echo(uint8_t byte);
    void endLine();

    ModeHost& host_;
    AtAnswers answers_;
    uint32_t baudRate_;
    std::string line_;
    bool overflow_ = false;
};

// Frames with ACK/NAK; host messages put together and handed on.
class EmmiMode final : public ModeBehaviour {
public:
    EmmiMode(ModeHost& host, uint32_t baudRate) : host_(host), baudRate_(baudRate) {}

    void onByte(uint8_t byte) override;
    std::optional<Clock::time_point> deadline() const override;
    void onDeadline() override;
    uint32_t baudRate() const override { return baudRate_; }

private:
    void onFrame();
    void onOutsideByte(uint8_t byte);

    ModeHost& host_;
    uint32_t baudRate_;
    FrameReceiver receiver_;
    HostMessageAssembler assembler_;
    Clock::time_point lastByte_{};
    // The last frame was refused by the NAK fault; its resend is taken.
    bool awaitingResend_ = false;
};

// The first moments after the ignition: the bootloader listens for its
// start pattern; answered, it takes commands until the boot command;
// otherwise the firmware starts by itself once the window has passed.
class BootloaderMode final : public ModeBehaviour {
public:
    BootloaderMode(ModeHost& host, const BootloaderOptions& options);

    void onByte(uint8_t byte) override;
    std::optional<Clock::time_point> deadline() const override;
    void onDeadline() override;
    uint32_t baudRate() const override { return kBootloaderBaudRate; }

private:
    enum class Phase : uint8_t { Pattern, Commands, Starting, Done };

    void onPattern(uint8_t byte);
    void onCommand(uint8_t byte);
    void answerVersion();

    ModeHost& host_;
    BootloaderOptions options_;
    Phase phase_ = Phase::Pattern;
    Clock::time_point deadline_;
    uint32_t patterns_ = 0;
    BootCommandReceiver receiver_;
};

std::unique_ptr<ModeBehaviour> makeModeBehaviour(Mode mode, ModeHost& host, const Options& options);

} // namespace sim
