// AT command lines through the firmware's remote procedure calls.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

// WSendAtCommand for the library's own steps: sends `text` (at most 126
// characters) and waits for its echo and, with a `response` area of
// kAtResponseSize bytes, for the response. 1, or 0 with the last error kept.
int32_t SendAtCommand(Connection& connection, const char* text, char* response);

} // namespace cfc
