// The identity and security calls into the module's firmware: serial
// numbers, IMEI, security mode and its challenge. Each is one row (ids,
// sizes, wait) and one short definition that packs its request fields and
// names its judgement; the engine does the rest.
#pragma once

#include "cfcmsg.h"
#include "cfcrpc_engine.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace cfc {

namespace rpc {

// Name, request id, request size, confirm size, wait, flags. A non-zero
// status byte s gives 700 + s, s signed.
// clang-format off
constexpr CallDef kFlashSerialNumberRead {"CFCRPCFlashSerialNumberRead", CFCRequestFlashSerialNumberRead,  2,  7, kThree, 0};
constexpr CallDef kGetSingleIE           {"CFCRPCGetSingleIE",           CFCRequestGetSingleIE,            4,  5, kThree, 0};
constexpr CallDef kIMEIMode              {"CFCRPCResetIMEIMode",         CFCRequestIMEIMode,               4,  5, kThree, 0};
constexpr CallDef kReadSerialNumber      {"CFCRPCReadSerialNumber",      CFCRequestReadSerialNumber,       2, 11, kThree, 0};
constexpr CallDef kReadIMEI              {"CFCRPCReadIMEI",              CFCRequestReadIMEI,               2, 11, kThree, 0};
constexpr CallDef kInitIMEI              {"CFCRPCInitIMEI",              CFCRequestInitIMEI,               2,  3, kThree, 0};
constexpr CallDef kFreezeIMEI            {"CFCRPCFreezeIMEI",            CFCRequestFreezeIMEI,            10,  3, kThree, 0};
constexpr CallDef kSetSecurityMode       {"CFCRPCSetSecurityMode",       CFCRequestSetSecurityMode,        8,  5, kThree, 0};
constexpr CallDef kRequestChallenge      {"CFCRPCRequestChallenge",      CFCRequestRequestChallenge,       2, 10, kThree, 0};
constexpr CallDef kSendResponse          {"CFCRPCSendResponse",          CFCRequestSendResponse,          66,  3, kThree, 0};
constexpr CallDef kGetMobileInfo         {"CFCRPCGetMobileInfo",         CFCRequestGetMobileInfo,          2, 20, kThree, 0};
// clang-format on

} // namespace rpc

inline constexpr size_t kFlashSerialNumberSize = 4;
inline constexpr size_t kSerialNumberSize = 8;
inline constexpr size_t kIMEISize = 8;
inline constexpr size_t kChallengeSize = 8;
inline constexpr size_t kSecurityResponseSize = 64;
inline constexpr size_t kMobileInfoSize = 17;

// Output areas that the calls preset do so with 0xFF before the wait, so a
// failed call leaves them all 0xFF.
uint16_t CFCRPCFlashSerialNumberRead(Connection& connection, uint8_t* serialNumber);
uint16_t CFCRPCGetSingleIE(Connection& connection, uint16_t ieCode, uint16_t* value);
// One request for both names: mode 0 resets, 1 sets the customer IMEI mode.
// `returnedMode` takes the mode of any confirm that matched.
uint16_t CFCRPCResetIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode);
uint16_t CFCRPCSetCustomerIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode);
uint16_t CFCRPCReadSerialNumber(Connection& connection, uint8_t* serialNumber);
uint16_t CFCRPCReadIMEI(Connection& connection, uint8_t* imei);
uint16_t CFCRPCInitIMEI(Connection& connection);
uint16_t CFCRPCFreezeIMEI(Connection& connection, const uint8_t* imei);
// `mode` goes out and takes the mode of any confirm that matched.
uint16_t CFCRPCSetSecurityMode(Connection& connection, uint16_t* mode, uint32_t value);
uint16_t CFCRPCRequestChallenge(Connection& connection, uint8_t* challenge);
uint16_t CFCRPCSendResponse(Connection& connection, const uint8_t* response);
uint16_t CFCRPCGetMobileInfo(Connection& connection, uint8_t* information);

// The judgements, apart from their reception so that any confirm bytes can
// be judged. `confirm` is the whole confirm area; bytes the module did not
// send read as zero.

// 0, or 700 + s for the signed status byte s at `statusAt`.
uint16_t JudgeIdentityStatus(std::span<const uint8_t> confirm, size_t statusAt);
// The bytes behind the reference into `out` when the status byte at
// `statusAt` (none for the challenge) is zero.
uint16_t JudgeIdentityBytes(std::span<const uint8_t> confirm, std::span<uint8_t> out,
                            const size_t* statusAt);

} // namespace cfc
