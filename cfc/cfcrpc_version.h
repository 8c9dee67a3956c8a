// The target version: the remote procedure call that reads the module's
// version, and with it the definition of GetTargetVersion, the step the
// engine takes once per connection before the connection's first remote
// procedure call.
#pragma once

#include "cfcmsg.h"
#include "cfcrpc_engine.h"

#include <cstdint>
#include <span>

namespace cfc {

class Connection;

namespace rpc {

// The version confirm's area is the text size asked for and these 11 bytes
// (its fields and the text's zero byte); a foreign reference is traced under
// the call's own name.
// clang-format off
constexpr CallDef kGetVersion {"CFCRPCGetVersion", CFCRequestGetVersion, 2, 11, kThree, kVariableLength};
// clang-format on

} // namespace rpc

// `text` receives at most textSize - 1 characters of the version text and is
// zero-filled behind them.
uint16_t CFCRPCGetVersion(Connection& connection, uint32_t* hardwareId, uint32_t* rpcVersion,
                          char* text, uint16_t textSize);

// The judgement of a version confirm, apart from its reception. `confirm` is
// the whole confirm area; bytes the module did not send read as zero.
uint16_t JudgeVersionConfirm(std::span<const uint8_t> confirm, uint32_t* hardwareId,
                             uint32_t* rpcVersion, char* text, uint16_t textSize);

} // namespace cfc
