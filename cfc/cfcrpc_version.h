// The target version fetch: the remote procedure call that reads the
// module's version, and the step that makes it once per connection before
// the connection's first remote procedure call.
#pragma once

#include <cstdint>
#include <span>

namespace cfc {

class Connection;

// `text` receives at most textSize - 1 characters of the version text and is
// zero-filled behind them.
uint16_t CFCRPCGetVersion(Connection& connection, uint32_t* hardwareId, uint32_t* rpcVersion,
                          char* text, uint16_t textSize);

// Fetches and evaluates the version once per connection; a failed fetch is
// stored as last error and repeated at the next call. Every remote procedure
// call takes this step right after drawing its reference.
void GetTargetVersion(Connection& connection);

// The judgement of a version confirm, apart from its reception. `confirm` is
// the whole confirm area; bytes the module did not send read as zero.
uint16_t JudgeVersionConfirm(std::span<const uint8_t> confirm, uint32_t* hardwareId,
                             uint32_t* rpcVersion, char* text, uint16_t textSize);

} // namespace cfc
