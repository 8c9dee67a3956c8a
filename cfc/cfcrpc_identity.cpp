#include "cfcrpc_identity.h"

#include "cfc_connection.h"
#include "cfcrpc_engine.h"

#include <algorithm>

namespace cfc {

using rpc::CallDef;
using rpc::CallerData;
using rpc::Fields;
using rpc::kBehindReference;
using rpc::kStatusByte;
using rpc::Payload;
using rpc::Perform;

namespace {

using Confirm = std::span<const uint8_t>;

constexpr uint16_t kIdentityStatusBase = 700;

} // namespace

uint16_t JudgeIdentityStatus(Confirm confirm, size_t statusAt)
{
    const int8_t status = Fields(confirm).i8(statusAt);
    return status == 0 ? kRpcOk : static_cast<uint16_t>(kIdentityStatusBase + status);
}

uint16_t JudgeIdentityBytes(Confirm confirm, std::span<uint8_t> out, const size_t* statusAt)
{
    if (statusAt != nullptr) {
        if (const uint16_t result = JudgeIdentityStatus(confirm, *statusAt))
            return result;
    }
    const std::span<const uint8_t> sent = Fields(confirm).bytes(kBehindReference, out.size());
    std::fill(std::copy(sent.begin(), sent.end(), out.begin()), out.end(), uint8_t{0});
    return kRpcOk;
}

namespace identity {
constexpr size_t kFlashSerialStatus = 2;
constexpr size_t kFlashSerial = 3;
constexpr size_t kIEValue = 2;
constexpr size_t kIEStatus = 4;
constexpr size_t kIMEIMode = 2;
constexpr size_t kIMEIModeStatus = 4;
constexpr size_t kNumberStatus = 10;
constexpr size_t kSecurityMode = 2;
constexpr size_t kSecurityStatus = 4;
constexpr size_t kMobileInfoStatus = 19;
} // namespace identity

namespace {

std::span<uint8_t> presetArea(uint8_t* area, size_t size)
{
    if (area == nullptr)
        return {};
    std::fill(area, area + size, uint8_t{0xFF});
    return {area, size};
}

// The many calls that send the reference alone and read a number back.
uint16_t readNumber(Connection& connection, const CallDef& def, uint8_t* out, size_t size,
                    size_t statusAt)
{
    const std::span<uint8_t> area = presetArea(out, size);
    return Perform(
        connection, def, 0, [](Payload&) {},
        [&](Confirm c) { return JudgeIdentityBytes(c, area, &statusAt); });
}

uint16_t identityStatus(Confirm confirm)
{
    return JudgeIdentityStatus(confirm, kStatusByte);
}

} // namespace

uint16_t CFCRPCFlashSerialNumberRead(Connection& connection, uint8_t* serialNumber)
{
    return Perform(
        connection, rpc::kFlashSerialNumberRead, 0, [](Payload&) {},
        [&](Confirm c) {
            // The one call of the group whose status is a plain failure.
            if (Fields(c).u8(identity::kFlashSerialStatus) != 0)
                return kRpcBadConfirm;
            if (serialNumber != nullptr) {
                const auto sent = Fields(c).bytes(identity::kFlashSerial, kFlashSerialNumberSize);
                std::fill(std::copy(sent.begin(), sent.end(), serialNumber),
                          serialNumber + kFlashSerialNumberSize, uint8_t{0});
            }
            return kRpcOk;
        });
}

uint16_t CFCRPCGetSingleIE(Connection& connection, uint16_t ieCode, uint16_t* value)
{
    if (value != nullptr)
        *value = 0xFFFF;
    return Perform(
        connection, rpc::kGetSingleIE, 0, [&](Payload& p) { p.le16(ieCode); },
        [&](Confirm c) {
            if (const uint16_t result = JudgeIdentityStatus(c, identity::kIEStatus))
                return result;
            if (value != nullptr)
                *value = Fields(c).le16(identity::kIEValue);
            return kRpcOk;
        });
}

uint16_t CFCRPCResetIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode)
{
    if (returnedMode != nullptr)
        *returnedMode = 0xFF;
    return Perform(
        connection, rpc::kIMEIMode, 0, [&](Payload& p) { p.le16(mode); },
        [&](Confirm c) {
            if (returnedMode != nullptr)
                *returnedMode = Fields(c).u8(identity::kIMEIMode);
            return JudgeIdentityStatus(c, identity::kIMEIModeStatus);
        });
}

uint16_t CFCRPCSetCustomerIMEIMode(Connection& connection, uint16_t mode, uint8_t* returnedMode)
{
    return CFCRPCResetIMEIMode(connection, mode, returnedMode);
}

uint16_t CFCRPCReadSerialNumber(Connection& connection, uint8_t* serialNumber)
{
    return readNumber(connection, rpc::kReadSerialNumber, serialNumber, kSerialNumberSize,
                      identity::kNumberStatus);
}

uint16_t CFCRPCReadIMEI(Connection& connection, uint8_t* imei)
{
    return readNumber(connection, rpc::kReadIMEI, imei, kIMEISize, identity::kNumberStatus);
}

uint16_t CFCRPCInitIMEI(Connection& connection)
{
    return Perform(
        connection, rpc::kInitIMEI, 0, [](Payload&) {}, identityStatus);
}

uint16_t CFCRPCFreezeIMEI(Connection& connection, const uint8_t* imei)
{
    return Perform(
        connection, rpc::kFreezeIMEI, 0, [&](Payload& p) { p.bytes(CallerData(imei, kIMEISize)); },
        identityStatus);
}

uint16_t CFCRPCSetSecurityMode(Connection& connection, uint16_t* mode, uint32_t value)
{
    return Perform(
        connection, rpc::kSetSecurityMode, 0,
        [&](Payload& p) { p.le16(mode != nullptr ? *mode : 0).le32(value); },
        [&](Confirm c) {
            if (mode != nullptr)
                *mode = Fields(c).le16(identity::kSecurityMode);
            return JudgeIdentityStatus(c, identity::kSecurityStatus);
        });
}

uint16_t CFCRPCRequestChallenge(Connection& connection, uint8_t* challenge)
{
    const std::span<uint8_t> area = presetArea(challenge, kChallengeSize);
    return Perform(
        connection, rpc::kRequestChallenge, 0, [](Payload&) {},
        [&](Confirm c) { return JudgeIdentityBytes(c, area, nullptr); });
}

uint16_t CFCRPCSendResponse(Connection& connection, const uint8_t* response)
{
    return Perform(
        connection, rpc::kSendResponse, 0,
        [&](Payload& p) { p.bytes(CallerData(response, kSecurityResponseSize)); }, identityStatus);
}

uint16_t CFCRPCGetMobileInfo(Connection& connection, uint8_t* information)
{
    return readNumber(connection, rpc::kGetMobileInfo, information, kMobileInfoSize,
                      identity::kMobileInfoStatus);
}

} // namespace cfc
