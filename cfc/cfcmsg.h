// Message ids of the remote procedure calls into the module's firmware. A
// request has an odd id and its confirm the id one above. A call's row names
// only its request; a confirm id stands here where a hand-written wait, or a
// script playing the module, names it.
#pragma once

#include <cstdint>

namespace cfc {

inline constexpr uint16_t CFCRequestGetVersion = 1;
inline constexpr uint16_t CFCConfirmGetVersion = 2;
inline constexpr uint16_t CFCRequestCalDevGsmFinish = 9;
inline constexpr uint16_t CFCConfirmCalDevGsmFinish = 10;
// Not confirmed: the module switches itself off.
inline constexpr uint16_t CFCRequestSwitchOff = 67;
inline constexpr uint16_t CFCRequestSendAtCommand = 93;
// Both the echo of an AT command line and its response, and text the
// firmware sends by itself.
inline constexpr uint16_t CFCConfirmSendAtCommand = 94;
inline constexpr uint16_t CFCRequestGetCurrentOperationMode = 99;
inline constexpr uint16_t CFCConfirmGetCurrentOperationMode = 100;
inline constexpr uint16_t CFCRequestSetCurrentOperationMode = 101;
inline constexpr uint16_t CFCConfirmSetCurrentOperationMode = 102;
// Some firmware confirms the Java autostart request only after it came a
// second time under this id (which the band mode read also uses); the
// confirm then still carries the first request's confirm id.
inline constexpr uint16_t CFCRequestSwitchJavaAutoStartAgain = 103;
inline constexpr uint16_t CFCRequestSwitchJavaAutoStart = 107;
inline constexpr uint16_t CFCConfirmSwitchJavaAutoStart = 108;

inline constexpr uint16_t CFCRequestApexMmWriteBandMode = 69;
inline constexpr uint16_t CFCConfirmApexMmWriteBandMode = 70;
// Shares its id with the autostart request's second form.
inline constexpr uint16_t CFCRequestApexMmReadBandMode = 103;
inline constexpr uint16_t CFCConfirmApexMmReadBandMode = 104;
// Carries no reference.
inline constexpr uint16_t CFCRequestApexProtocolStackModeChange = 3;

// The calibration and production catalogue. Requests that share an id share
// its layout too: an item check is a read of one byte, and both families of
// calibration item write under 59.
inline constexpr uint16_t CFCRequestL1ALNVRAMRead = 49;
inline constexpr uint16_t CFCRequestL1ALNVRAMWrite = 51;
inline constexpr uint16_t CFCRequestL1ALNvRamDelete = 53;
inline constexpr uint16_t CFCRequestL1ALNvRamErase = 55;
inline constexpr uint16_t CFCRequestL1ALNVRAMReadCal = 57;
inline constexpr uint16_t CFCRequestNvRamWriteCal = 59;
inline constexpr uint16_t CFCRequestL1ALNvRamEraseCal = 61;
inline constexpr uint16_t CFCRequestSaveAllOther = 63;
inline constexpr uint16_t CFCRequestRestoreAllOther = 65;
inline constexpr uint16_t CFCRequestQVNVRAMReadCal = 105;
inline constexpr uint16_t CFCRequestL1ALNVRAMReadVer = 109;
inline constexpr uint16_t CFCRequestL1ALNVRAMWriteVer = 111;
inline constexpr uint16_t CFCRequestQVNVRAMReadCalVer = 113;
inline constexpr uint16_t CFCRequestQVNvRamWriteCalVer = 115;

inline constexpr uint16_t CFCRequestCalDevGsmSetAfcDac = 11;
inline constexpr uint16_t CFCRequestCalDevGsmFreqOffsetMeas = 13;
inline constexpr uint16_t CFCRequestCalDevGsmGainProgram = 15;
inline constexpr uint16_t CFCRequestCalDevGsmRssi = 17;
inline constexpr uint16_t CFCRequestCalDevGsmDcOffset = 19;
inline constexpr uint16_t CFCRequestCalDevGsmSetBandMode = 21;
inline constexpr uint16_t CFCRequestCalDevGsmSetBurstData = 23;
inline constexpr uint16_t CFCRequestCalDevGsmSetBurst = 25;
inline constexpr uint16_t CFCRequestCalDevGsmRampScale = 27;
inline constexpr uint16_t CFCRequestCalDevGsmSetPowerRamp = 29;
inline constexpr uint16_t CFCRequestCalDevGsmRxControl = 31;
inline constexpr uint16_t CFCRequestCalDevGsmLoopBack = 33;
inline constexpr uint16_t CFCRequestCalDevGsmLoopBackData = 35;
inline constexpr uint16_t CFCRequestCalDevGsmSlotDefine = 37;
inline constexpr uint16_t CFCRequestCalDevGsmFrameDefine = 39;
inline constexpr uint16_t CFCRequestCalDevGsmFrameTiming = 41;
inline constexpr uint16_t CFCRequestCalDevGsmFrameUse = 43;
inline constexpr uint16_t CFCRequestCalDevGsmConstTx = 45;
inline constexpr uint16_t CFCRequestCalDevGsmBBCRegister = 47;
inline constexpr uint16_t CFCRequestGetGainCodeTable = 95;
inline constexpr uint16_t CFCRequestSetPrechargeValue = 97;

inline constexpr uint16_t CFCRequestFlashSerialNumberRead = 71;
inline constexpr uint16_t CFCRequestGetSingleIE = 73;
// Resets the IMEI mode or sets the customer one, as the mode it carries says.
inline constexpr uint16_t CFCRequestIMEIMode = 75;
inline constexpr uint16_t CFCRequestReadSerialNumber = 77;
inline constexpr uint16_t CFCRequestReadIMEI = 79;
inline constexpr uint16_t CFCRequestInitIMEI = 81;
inline constexpr uint16_t CFCRequestFreezeIMEI = 83;
inline constexpr uint16_t CFCRequestSetSecurityMode = 85;
inline constexpr uint16_t CFCRequestRequestChallenge = 87;
inline constexpr uint16_t CFCRequestSendResponse = 89;
inline constexpr uint16_t CFCRequestGetMobileInfo = 91;

} // namespace cfc
