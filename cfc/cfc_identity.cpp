// Identity data and the security mode: IMEI, serial numbers, information
// elements and the challenge that opens the security mode.
#include "cfc.h"
#include "cfc_calibration_op.h"
#include "cfcrpc_catalogue.h"

namespace cfc {

namespace {

constexpr uint16_t kResetImeiMode = 0;
constexpr uint16_t kCustomerImeiMode = 1;

// These keep the texts their callers' logs have always shown.
constexpr const char* kSuccessful = "successful";

int32_t imeiMode(uint32_t handle, const char* name, uint16_t mode, uint8_t* pMode)
{
    uint8_t returned = 0;
    return CalibrationCall(
        handle, {name, "CFCRPCResetIMEIMode"}, ArgText("(mode=%d)", mode),
        [&](Connection& c) { return CFCRPCResetIMEIMode(c, mode, &returned); },
        [&](const CalibrationOp& op) {
            if (pMode != nullptr)
                *pMode = returned;
            op.rets("*pMode %d", returned);
        });
}

// A number of `size` bytes read into the caller's area.
template <size_t size, class Read>
int32_t readNumber(uint32_t handle, const OpNames& names, uint8_t* area, const char* areaName,
                   Read read)
{
    return CheckedCalibrationCall(
        handle, names, {Argument::needed(area, areaName)}, ArgText(),
        [&](Connection& c) { return read(c, area); },
        [&](const CalibrationOp& op) {
            // The identity texts name the operation's end and nothing else.
            if (area != nullptr && names.success == nullptr)
                op.dump("*pData", area, size);
        });
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

int32_t WGetFlashSerialNumber(uint32_t handle, uint8_t* pSerialNumber)
{
    return readNumber<kFlashSerialNumberSize>(
        handle, {"WGetFlashSerialNumber", "CFCRPCFlashSerialNumberRead", "successfull"},
        pSerialNumber, "pSerialNumber", CFCRPCFlashSerialNumberRead);
}

int32_t WGetSingleIE(uint32_t handle, uint16_t ieCode, uint16_t* pValue)
{
    uint16_t value = 0;
    return CheckedCalibrationCall(
        handle, {"WGetSingleIE", "CFCRPCGetSingleIE"}, {Argument::needed(pValue, "pValue")},
        ArgText("(ieCode=%d)", ieCode),
        [&](Connection& c) { return CFCRPCGetSingleIE(c, ieCode, &value); },
        [&](const CalibrationOp& op) {
            if (pValue != nullptr)
                *pValue = value;
            op.rets("*pValue 0x%x", value);
        });
}

int32_t WResetIMEIMode(uint32_t handle, uint8_t* pMode)
{
    return imeiMode(handle, "WResetIMEIMode", kResetImeiMode, pMode);
}

int32_t WSetCustomerIMEIMode(uint32_t handle, uint8_t* pMode)
{
    return imeiMode(handle, "WSetCustomerIMEIMode", kCustomerImeiMode, pMode);
}

int32_t WReadSerialNumber(uint32_t handle, uint8_t* pSerialNumber)
{
    return readNumber<kSerialNumberSize>(handle, {"WReadSerialNumber", "CFCRPCReadSerialNumber"},
                                         pSerialNumber, "pSerialNumber", CFCRPCReadSerialNumber);
}

int32_t WReadIMEI(uint32_t handle, uint8_t* pImei)
{
    return readNumber<kIMEISize>(handle, {"WReadIMEI", "CFCRPCReadIMEI"}, pImei, "pImei",
                                 CFCRPCReadIMEI);
}

int32_t WInitIMEI(uint32_t handle)
{
    return CalibrationCall(handle, {"WInitIMEI", "CFCRPCInitIMEI"}, ArgText(),
                           [](Connection& c) { return CFCRPCInitIMEI(c); });
}

int32_t WFreezeIMEI(uint32_t handle, const uint8_t* pImei)
{
    return CheckedCalibrationCall(handle, {"WFreezeIMEI", "CFCRPCFreezeIMEI"},
                                  {Argument::needed(pImei, "pImei")}, ArgText(),
                                  [&](Connection& c) { return CFCRPCFreezeIMEI(c, pImei); });
}

int32_t WSetSecurityMode(uint32_t handle, uint16_t* pMode, uint32_t value)
{
    return CheckedCalibrationCall(
        handle, {"WSetSecurityMode", "CFCRPCSetSecurityMode", kSuccessful},
        {Argument::needed(pMode, "pMode")}, ArgText(),
        [&](Connection& c) { return CFCRPCSetSecurityMode(c, pMode, value); });
}

int32_t WRequestChallenge(uint32_t handle, uint8_t* pChallenge)
{
    return readNumber<kChallengeSize>(handle,
                                      {"WRequestChallenge", "CFCRPCRequestChallenge", kSuccessful},
                                      pChallenge, "pChallenge", CFCRPCRequestChallenge);
}

int32_t WSendResponse(uint32_t handle, const uint8_t* pResponse)
{
    return CheckedCalibrationCall(handle, {"WSendResponse", "CFCRPCSendResponse", kSuccessful},
                                  {Argument::needed(pResponse, "pResponse")}, ArgText(),
                                  [&](Connection& c) { return CFCRPCSendResponse(c, pResponse); });
}

int32_t WGetMobileInformation(uint32_t handle, uint8_t* pInformation)
{
    return readNumber<kMobileInfoSize>(
        handle, {"WGetMobileInformation", "CFCRPCGetMobileInfo", kSuccessful}, pInformation,
        "pInformation", CFCRPCGetMobileInfo);
}

} // extern "C"
