#include "sim/at_command.h"
#include "sim/modes.h"

#include <cctype>

namespace sim {

namespace {

// A command line is bounded like a modem's; a longer one gets ERROR.
constexpr size_t kMaxLine = 256;
constexpr uint8_t kBackspace = 0x08;

std::span<const uint8_t> bytesOf(std::string_view text)
{
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

void AtMode::onByte(uint8_t byte)
{
    if (byte == '\r') {
        echo(byte);
        endLine();
        return;
    }
    if (byte == kBackspace) {
        if (!line_.empty())
            line_.pop_back();
        echo(byte);
        return;
    }
    // Line feeds and bytes that are not text belong to no command line and
    // are dropped unechoed; so the EMMI probe, sent to a module in AT mode,
    // does not come back looking like the start of a frame.
    if (byte < 0x20 || byte > 0x7E)
        return;
    if (line_.size() < kMaxLine)
        line_ += static_cast<char>(byte);
    else
        overflow_ = true;
    echo(byte);
}

void AtMode::echo(uint8_t byte)
{
    const uint8_t echoed =
        answers_ == AtAnswers::UpperCaseEcho ? static_cast<uint8_t>(std::toupper(byte)) : byte;
    host_.say({&echoed, 1}, "echo");
}

void AtMode::endLine()
{
    const AtReply reply =
        overflow_ ? AtReply{std::string(kAtError)} : answerAtLine(line_, answers_);
    if (!line_.empty())
        host_.note("AT command line \"" + line_ + "\"");
    line_.clear();
    overflow_ = false;
    if (!reply.text.empty())
        host_.say(bytesOf(reply.text), "answer");
    if (reply.switchesToEmmi)
        host_.switchMode(Mode::Emmi);
}

} // namespace sim
