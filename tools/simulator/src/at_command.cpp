#include "sim/at_command.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace sim {

namespace {

// What this module knows besides the switch to EMMI: enough for a host that
// ends a call and detaches from the packet service before switching off.
constexpr std::array<std::string_view, 4> kPlainCommands = {"", "H", "+CGATT=0", "+CGATT=1"};
constexpr std::string_view kSwitchToEmmi = "^SQWE=1";

// Commands that answer with texts of their own before the OK, as a
// module's identification and signal quality do.
struct TextCommand {
    std::string_view body;
    std::string_view text;
};
constexpr TextCommand kTextCommands[] = {
    {"I", "\r\ncfcsim\r\nZEPHIN\r\nREVISION 02.40\r\n"},
    {"+CGMI", "\r\ncfcsim\r\n"},
    {"+CGMR", "\r\nREVISION 02.40\r\n"},
    {"+CGSN", "\r\n351234567890123\r\n"},
    {"+CSQ", "\r\n+CSQ: 20,99\r\n"},
};

std::string upper(std::string_view text)
{
    std::string result(text);
    std::ranges::transform(result, result.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

} // namespace

AtReply answerAtLine(std::string_view line, AtAnswers answers)
{
    if (line.empty())
        return {};
    const std::string command = upper(line);
    if (!command.starts_with("AT"))
        return {std::string(kAtError)};
    const std::string_view body = std::string_view(command).substr(2);
    if (body == kSwitchToEmmi) {
        if (answers == AtAnswers::SwitchRefused)
            return {std::string(kAtError)};
        return {std::string(kAtOk), true};
    }
    if (std::ranges::find(kPlainCommands, body) != kPlainCommands.end())
        return {std::string(kAtOk)};
    for (const TextCommand& command : kTextCommands)
        if (body == command.body)
            return {std::string(command.text) + std::string(kAtOk)};
    // A voice call to any number is set up at once.
    if (body.size() > 2 && body.starts_with("D") && body.ends_with(";"))
        return {std::string(kAtOk)};
    return {std::string(kAtError)};
}

} // namespace sim
