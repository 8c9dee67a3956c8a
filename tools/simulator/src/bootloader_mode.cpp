#include "sim/modes.h"

#include <algorithm>

namespace sim {

BootloaderMode::BootloaderMode(ModeHost& host, const BootloaderOptions& options)
    : host_(host), options_(options),
      deadline_(Clock::now() + std::chrono::milliseconds(options.patternWindowMs))
{
}

void BootloaderMode::onByte(uint8_t byte)
{
    switch (phase_) {
    case Phase::Pattern: onPattern(byte); break;
    case Phase::Commands: onCommand(byte); break;
    case Phase::Starting:
    case Phase::Done: break; // busy starting the firmware
    }
}

std::optional<Clock::time_point> BootloaderMode::deadline() const
{
    if (phase_ == Phase::Pattern || phase_ == Phase::Starting)
        return deadline_;
    return std::nullopt;
}

void BootloaderMode::onDeadline()
{
    if (Clock::now() < deadline_)
        return;
    if (phase_ == Phase::Pattern) {
        host_.note("no start pattern: the firmware starts by itself");
        host_.startFirmware(false);
    } else if (phase_ == Phase::Starting) {
        host_.startFirmware(true);
    }
    phase_ = Phase::Done;
}

void BootloaderMode::onPattern(uint8_t byte)
{
    if (byte != kStartPattern)
        return;
    ++patterns_;
    if (patterns_ != options_.patternAnswerAt)
        return;
    host_.note("start pattern " + std::to_string(patterns_) + " answered");
    host_.say({&kPatternAnswer, 1}, "pattern answer");
    phase_ = Phase::Commands;
}

void BootloaderMode::onCommand(uint8_t byte)
{
    switch (receiver_.feed(byte)) {
    case BootCommandReceiver::Result::Pending: return;
    case BootCommandReceiver::Result::BadCheck:
        host_.note("boot record with a wrong check byte");
        host_.say({&kBootNak, 1}, "NAK");
        return;
    case BootCommandReceiver::Result::Command: break;
    }

    const std::vector<uint8_t>& command = receiver_.command();
    if (std::ranges::equal(command, kVersionCommand)) {
        answerVersion();
    } else if (std::ranges::equal(command, kBootCommand)) {
        host_.note("boot command");
        host_.say({&kBootAck, 1}, "ACK");
        phase_ = Phase::Starting;
        deadline_ = Clock::now() + std::chrono::milliseconds(options_.firmwareStartMs);
    } else {
        host_.note("unknown boot command");
        host_.say({&kBootNak, 1}, "NAK");
    }
}

void BootloaderMode::answerVersion()
{
    switch (options_.versionAnswer) {
    case BootVersionAnswer::Valid: {
        std::vector<uint8_t> answer{kBootAck};
        std::vector<uint8_t> version(std::begin(kVersionRecordTag), std::end(kVersionRecordTag));
        version.push_back(options_.versionMajor);
        version.push_back(options_.versionMinor);
        const std::vector<uint8_t> record = encodeBootRecord(version);
        answer.insert(answer.end(), record.begin(), record.end());
        host_.say(answer, "version");
        break;
    }
    case BootVersionAnswer::Refused: host_.say({&kBootNak, 1}, "NAK"); break;
    case BootVersionAnswer::Silent: host_.note("version command left unanswered"); break;
    }
}

} // namespace sim
