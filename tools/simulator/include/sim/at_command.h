// The firmware's answers to AT command lines, the same whether a line comes
// over the serial line in AT mode or wrapped in a remote procedure call.
#pragma once

#include "sim/options.h"

#include <string>
#include <string_view>

namespace sim {

inline constexpr std::string_view kAtOk = "\r\nOK\r\n";
inline constexpr std::string_view kAtError = "\r\nERROR\r\n";

struct AtReply {
    std::string text; // empty: nothing to say
    bool switchesToEmmi = false;
};

// `line` without its carriage return. The prefix "AT" and the commands are
// taken in either case; an empty line gets no answer.
AtReply answerAtLine(std::string_view line, AtAnswers answers);

} // namespace sim
