// AT command lines through the firmware's remote procedure calls.
#pragma once

#include <cstdint>

namespace cfc {

class Connection;

// WSendAtCommand for the library's own steps: sends `text` (at most 126
// characters) and waits for its echo and, with a `response` area of
// kAtResponseSize bytes, for the response. 1, or 0 with the last error kept.
int32_t SendAtCommand(Connection& connection, const char* text, char* response);
// WReceiveAtCommand: one AT text into `response` of kAtResponseSize bytes.
int32_t ReceiveAtCommand(Connection& connection, char* response);
// Sends `command` and takes further texts, at most `seconds` of them, until
// one holds `expected` or "ERROR"; 1 when `expected` came.
int32_t SendAtCommandAndWait(Connection& connection, const char* command, const char* expected,
                             int32_t seconds);

} // namespace cfc
