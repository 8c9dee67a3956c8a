// Text form of arbitrary bytes for the store's line-oriented files: every
// byte outside the printable range, blanks and the escape character itself
// become %XX, so names and data never break a line or a field.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace win {

std::string escapeBytes(std::string_view bytes);
// Nothing when the text holds a malformed escape.
std::optional<std::string> unescapeBytes(std::string_view text);

bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);
std::string toLower(std::string_view text);
std::string toUpper(std::string_view text);

} // namespace win
