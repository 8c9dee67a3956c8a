/* CFC module-control library: the public procedural interface.
 *
 * The connection handle is the first argument of every operation. Public
 * operations return 1 on success and 0 on failure and keep the reason as the
 * connection's last error (WGetLastError). */
#ifndef CFC_CFC_H
#define CFC_CFC_H

#include <stdint.h>

#include "emmierr.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Connection. COM1 to COM30 have a connection slot each; every port from
 * COM31 up shares slot 31, so of those one at a time can be open in a
 * process. On Linux the default names below 31 are COM1-COM4 for ttyS0-3,
 * COM5-COM20 for ttyUSB0-15 and COM21-COM30 for ttyACM0-9, so several USB
 * modules can be open at once there; COM31-COM32 (ttyS30-31), COM33-COM64
 * (ttyUSB0-31) and COM65-COM96 (ttyACM0-31) share slot 31. */
uint32_t WComOpen(int32_t portNum, int32_t baudRate, uint32_t tHandle);
int32_t WComClose(uint32_t handle);
uint16_t WGetLastError(uint32_t handle);
uint32_t WGetVersion(void);

/* Words for an error code: a fixed text for every code, never null, distinct
 * for distinct meanings; a code the library does not know gets a generic
 * text. The text lives as long as the process. */
const char* WGetErrorText(uint16_t code);
/* The last error's text (WGetErrorText) into `text`, followed by the
 * operating system's reason where one is behind it (a refused port or
 * thread): "<text>: <reason> (system error <n>)". Cut to `size` and always
 * zero-terminated; returns the length stored, 0 for a value that is not a
 * connection handle, a null `text` or a `size` of 0. Nothing is traced. */
uint32_t WGetLastErrorText(uint32_t handle, char* text, uint32_t size);

/* Why the most recent WComOpen of this process that returned 0 failed. A
 * failed open returns no handle, so this is read without one. Returns one of
 * the CFC_OPEN_* kinds; each output may be null. `portNum` receives the COM
 * number asked for, `systemError` the operating system's error number (0 when
 * the system gave none), `devicePath` the device the COM number resolved to
 * (empty when it maps to none) and `reason` the system's reason in words.
 * Texts are cut to their sizes and always zero-terminated. A later
 * successful open does not clear the record. */
#define CFC_OPEN_OK 0          /* no open of this process has failed */
#define CFC_OPEN_NO_DEVICE 1   /* no device is mapped to the port, or it is not there */
#define CFC_OPEN_DENIED 2      /* the user may not open the device */
#define CFC_OPEN_BUSY 3        /* another program, or connection, holds the port */
#define CFC_OPEN_SLOT_IN_USE 4 /* this process has the port's connection open already */
#define CFC_OPEN_OTHER 5       /* any other refusal: not a serial port, settings refused, ... */
int32_t WGetLastOpenFailure(int32_t* portNum, int32_t* systemError, char* devicePath,
                            uint32_t devicePathSize, char* reason, uint32_t reasonSize);

/* Trace */
void WEnableTraceFile(void);
void WDisableTraceFile(void);
uint16_t WGetTraceLevel(uint32_t handle);
uint32_t WSetTraceLevel(uint32_t handle, uint16_t level);

/* "EXIT" records the module reported since the last open: the record count
 * (it goes on counting past the three that are stored) and at most `size`
 * bytes of the stored records, 16 bytes each, four 32-bit values low byte
 * first. */
int32_t WGetExitData(uint32_t handle, uint8_t size, uint8_t* count, uint8_t* buffer);

/* Switching the module on: an ignition pulse (DTR high) held until the
 * module has sent its first 11 bytes, waiting for them at most `count` times
 * one second. */
int32_t WStartModuleForTheFirstTime(uint32_t handle, uint16_t count);

/* Target version: the module's bootloader item, at most 24 characters, into
 * `text` of 25 bytes; all zeros and 0 (last error 22) while the version is
 * not known. */
int32_t WGetBootloaderVersion(uint32_t handle, char* text);
/* The firmware as its version text names it: project, version number and
 * postfix, and the RPC version word (major number in the upper 16 bits).
 * Texts are cut to their sizes and always zero-terminated; each output may
 * be null. 0, with empty texts and zero numbers, while the version is not
 * known. */
int32_t WGetTargetVersion(uint32_t handle, char* project, uint32_t projectSize, int16_t* pNumber,
                          char* postfix, uint32_t postfixSize, uint32_t* pRpcVersion);

/* Operation modes. Each initialisation brings the serial line to EMMI
 * (booting a silent module), loads the mode's signal-trace configuration and
 * switches the firmware into the mode. */
int32_t WInitServiceMode(uint32_t handle);
int32_t WInitNormalMode(uint32_t handle);
int32_t WInitTestMode(uint32_t handle);
int32_t WInitAirplaneMode(uint32_t handle);
int32_t WInitNormalModeFromTestMode(uint32_t handle);

/* Public mode numbers of WSwitchTargetToOperationMode; any other number fails
 * with last error 11. A module that confirms the mode and keeps its own
 * fails the switch and the initialisations with last error 17; a line that
 * does not come to EMMI mode with 19, a boot that does not start the module
 * with 20. */
enum { CFCNormalMode = 0, CFCServiceMode = 1, CFCAirplaneMode = 2, CFCTestMode = 3 };
int32_t WSwitchTargetToOperationMode(uint32_t handle, uint8_t publicMode);
int32_t WExitServiceMode(uint32_t handle);

/* Signal trace: what the module reports once the signal-trace settings file
 * switches it on. Each mode initialisation replaces the lists with those of
 * the mode's sections in the file and sends the module the resulting mask.
 * Bits 16 to 31 of a signal name its group, bits 8 to 15 its base, bits 0 to
 * 7 the signal; a base is given like a signal of it. These three take the
 * slot from bits 12 to 19 of `handle` without checking the rest; 1 when the
 * entry was added, 0 when the list is full (64 bases, 128 signals each;
 * last error 11) or the value names no slot. */
int32_t WAddNimboTraceMask(uint32_t handle, uint32_t base);
int32_t WAddNimboSignal(uint32_t handle, uint32_t signal);
int32_t WRemoveNimboSignal(uint32_t handle, uint32_t signal);

/* Java autostart and switch-off */
int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on);
/* A module still answering after the switch-off fails it with last error 18. */
int32_t WSwitchOff(uint32_t handle);
/* A program that writes the module's signal trace (the GUI does) sets this
 * once at start: WSwitchOff then first lets a configured signal trace come
 * out for 10 s, so the module's last signal frames reach the files. */
void WSetSwitchOffDrainWait(int32_t on);
int32_t WTerminateCall(uint32_t handle);

/* AT commands through the firmware. A command of more than 126 characters is
 * refused with last error 11. `response` may be null (only the echo is
 * awaited); otherwise it must hold CFC_AT_RESPONSE_SIZE bytes: line ends
 * come back escaped as "<CR>" and "<LF>". WSendAtCommand returns 0 when the
 * call below it fails. */
#define CFC_AT_RESPONSE_SIZE 513
int32_t WSendAtCommand(uint32_t handle, const char* text, char* response);
int32_t WReceiveAtCommand(uint32_t handle, char* response);
/* Sends `command` and waits up to `seconds` further texts for one holding
 * `expected` (an "ERROR" ends the wait); a send that failed still waits for
 * the texts. Ending without `expected` fails with last error 5. */
int32_t WSendAtCommandAndWait(uint32_t handle, const char* command, const char* expected,
                              int32_t seconds);
/* Dials `number` (fewer than 252 characters; a longer one fails with last
 * error 11, its length in the trace) after a 2 s settling wait. */
int32_t WStartCircuitSwitchedCall(uint32_t handle, const char* number);
int32_t WStartGPRSAttach(uint32_t handle);
int32_t WPrepareNetworkRegistration(uint32_t handle, uint32_t timeout1, uint32_t timeout2);

/* Calibration and production. Every operation returns 1 or 0 and keeps the
 * code of a failure as the last error; outputs go through pointers. Bands
 * are 0 to 3, modulations 0 (GMSK) and 1 (8PSK).
 *
 * Arguments: every pointer below must be given unless it is marked
 * optional (a null optional output is left out); a data area may be null
 * only with a size of 0. A null pointer that is needed, or a size beyond
 * the limit stated with the operation, fails with last error 11 before
 * anything is sent (this holds for every operation of this file). A confirm
 * too short to hold what the operation judges or delivers fails with last
 * error 5, and outputs keep what they held (the identity areas their 0xFF
 * fill). A port that refuses a write fails the operation with last error 9
 * at once; WGetLastErrorText adds the system's reason. */

/* NVRAM calibration items (8-bit ids; the QV family 16-bit ids). A check
 * gives 1 only for an item the firmware reports present. The Ver variants
 * use the item version where the firmware has one (RPC version 1) and fall
 * back to the plain calls otherwise, delivering no version then. A read
 * delivers at most `dataSize` bytes; `pBytesRead` and `pVersion` are
 * optional. A write carries at most 1494 bytes (1493 with a version). */
int32_t WReadNVRAMCalibrationItem(uint32_t handle, uint8_t calibrationId, uint8_t* pData,
                                  uint16_t dataSize, uint16_t* pBytesRead);
int32_t WCheckNVRAMCalibrationItem(uint32_t handle, uint8_t calibrationId,
                                   uint8_t* pNVRAMBlockExists);
int32_t WWriteNVRAMCalibrationItem(uint32_t handle, uint8_t calibrationId, const uint8_t* pData,
                                   uint16_t dataSize);
int32_t WEraseAllNVRAMCalibrationItems(uint32_t handle);
int32_t WSaveAllOtherNVRAMCalibrationItems(uint32_t handle, uint16_t lastCalibrationItem);
int32_t WRestoreAllOtherNVRAMCalibrationItems(uint32_t handle, uint16_t lastCalibrationItem);
int32_t WCheckNVRAMQVCalibrationItem(uint32_t handle, uint16_t calibrationId,
                                     uint8_t* pNVRAMBlockExists);
int32_t WReadNVRAMQVCalibrationItem(uint32_t handle, uint16_t calibrationId, uint8_t* pData,
                                    uint16_t dataSize, uint16_t* pBytesRead);
int32_t WWriteNVRAMQVCalibrationItem(uint32_t handle, uint16_t calibrationId, const uint8_t* pData,
                                     uint16_t dataSize);
int32_t WReadNVRAMQVCalibrationItemVer(uint32_t handle, uint16_t calibrationId, uint8_t* pData,
                                       uint16_t dataSize, uint16_t* pBytesRead, uint8_t* pVersion);
int32_t WWriteNVRAMQVCalibrationItemVer(uint32_t handle, uint16_t calibrationId,
                                        const uint8_t* pData, uint16_t dataSize, uint8_t version);

/* NVRAM user items; `value` goes to the firmware unchanged. Reads as above;
 * a write carries at most 1490 bytes (1489 with a version). */
int32_t WReadNVRAMUserItem(uint32_t handle, uint32_t userId, uint16_t value, uint8_t* pData,
                           uint16_t dataSize, uint16_t* pBytesRead);
int32_t WWriteNVRAMUserItem(uint32_t handle, uint32_t userId, uint16_t value, const uint8_t* pData,
                            uint16_t dataSize);
int32_t WReadNVRAMUserItemVer(uint32_t handle, uint32_t userId, uint16_t value, uint8_t* pData,
                              uint16_t dataSize, uint16_t* pBytesRead, uint8_t* pVersion);
int32_t WWriteNVRAMUserItemVer(uint32_t handle, uint32_t userId, uint16_t value,
                               const uint8_t* pData, uint16_t dataSize, uint8_t version);
int32_t WDeleteNVRAMUserItem(uint32_t handle, uint32_t userId, uint16_t value);
int32_t WEraseAllNVRAMUserItems(uint32_t handle);

/* Radio test control. WSetAFCAndMeasure fails with last error 16 when the
 * module found no frequency burst. */
int32_t WSetAFC(uint32_t handle, uint16_t value);
int32_t WSetAFCAndMeasure(uint32_t handle, uint16_t arfcn, uint16_t value, int16_t* pFreqOffset);
int32_t WSetGainProgramWord(uint32_t handle, uint16_t gainWord, uint8_t gainIndex, uint8_t band);
int32_t WGetGainProgramWord(uint32_t handle, uint8_t gainIndex, uint8_t band, uint16_t* pGainWord);
int32_t WSetAccurateValue(uint32_t handle, uint16_t value, uint8_t gainIndex, uint8_t band);
/* RSSI in 1/16 dB. */
int32_t WGetPowerValue(uint32_t handle, uint16_t channel, uint16_t gain, uint8_t applyAgcTable,
                       int16_t* pRssi);
/* Four offsets: rx I, rx Q, tx I, tx Q. */
int32_t WGetUsedIQOffsetValues(uint32_t handle, uint8_t measure, int16_t* pOffsets);
int32_t WSetCurrentDualBandMode(uint32_t handle, uint8_t bandMode);
/* 32 ramp values. */
int32_t WSetPowerRamp(uint32_t handle, const uint16_t* pRamp);
int32_t WSetRampScaleFactor(uint32_t handle, uint16_t scaleFactor);
int32_t WRadioPowerOn(uint32_t handle);
int32_t WRadioPowerDown(uint32_t handle);
int32_t WRadioReceiverOn(uint32_t handle, uint32_t parameter);
int32_t WRadioReceiverOff(uint32_t handle, uint32_t parameter);
int32_t WRadioSendTelegram(uint32_t handle, uint32_t telegram);
int32_t WRadioSetInitTelegram(uint32_t handle, uint32_t telegram, uint8_t index);
int32_t WStartLoopback(uint32_t handle, uint16_t bch, uint16_t tch, uint8_t timeSlot, uint8_t tsc,
                       uint8_t powerLevel);
int32_t WChangeLoopback(uint32_t handle, uint16_t tch, uint8_t timeSlot, uint8_t tsc,
                        uint8_t powerLevel);
int32_t WStopLoopback(uint32_t handle);
/* Timing offset in quarter bits, frequency offset in Hz; each output is
 * optional. */
int32_t WGetLoopbackData(uint32_t handle, int16_t* pTimingOffset, int16_t* pFreqOffset,
                         uint16_t* pBitErrors, uint16_t* pSoftDecisionTotal, int16_t* pRssi);
/* `pSlotMapping` holds the eight slots' mapping. */
int32_t WConfigureGPRSMultiFrame(uint32_t handle, uint8_t frameNumber, const uint8_t* pSlotMapping,
                                 uint16_t rxChannel, uint16_t txChannel, uint16_t monitorChannel,
                                 uint16_t frameAdvance, uint16_t rxAdvance, uint16_t txAdvance,
                                 uint16_t monitorAdvance);
int32_t WChangeGPRSTiming(uint32_t handle, uint8_t frameNumber, uint16_t frameAdvance,
                          uint16_t rxAdvance, uint16_t txAdvance, uint16_t monitorAdvance);
int32_t WSetGPRSUsage(uint32_t handle, uint8_t mode);
/* Eight addresses and values; the mask has two bits a register from bit 0
 * up, 01 writing its value and 10 reading it. Eight values come back into
 * `pReturned`, which is optional; `pValues` is needed when the mask writes. */
int32_t WBBCRegister(uint32_t handle, uint16_t readWriteMask, const uint16_t* pAddresses,
                     const uint16_t* pValues, uint16_t* pReturned);
int32_t WSetPrechargeValue(uint32_t handle, uint16_t value);
/* Changes the band mode, with the protocol stack off in normal mode and the
 * operation mode set back when the change moved it. The module is asked at
 * most 5 times to take the band mode and read back at most 10 times each;
 * past either bound it fails with last error 5. */
int32_t WSetApexBandMode(uint32_t handle, uint8_t bandMode);
/* The Tx I/Q offsets through the baseband registers. */
int32_t WSetTxOffset(uint32_t handle, uint8_t iOffset, uint8_t qOffset);
/* Constant transmission; a non-zero mode prepares the Tx control registers
 * and sets the ramp DAC after it. An offset of 0x40 or more fails with last
 * error 13, a ramp DAC value of 1024 or more with 15. */
int32_t WSetAMLoopOffset(uint32_t handle, uint8_t mode, uint16_t channel, uint32_t amLoopOffset,
                         uint16_t value, uint16_t rampDacValue);
/* The band's gain codes (at most 16) from the module, then one a call; past
 * the last one WGetNextGainCode fails with last error 21. */
int32_t WInitGainCodeTemplates(uint32_t handle, uint8_t gainIndex, uint8_t band);
int32_t WGetNextGainCode(uint32_t handle, uint16_t* pCode);

/* Bursts. WSetBurstData takes 30 words and keeps the first 10 (GMSK) or all
 * (8PSK) for the Tx slots. WSetCfcBurstDataMode builds the burst of data
 * mode 1 (all ones), 2 (0/1 pattern), 3 (ones around the training sequence)
 * or 4 (0/1 pattern around it); `tsc` 0 to 7, others fail with last error
 * 11 in the modes that use it. */
int32_t WSetBurstData(uint32_t handle, const uint16_t* pBurstData, uint8_t modulation);
int32_t WSetCfcBurstDataMode(uint32_t handle, uint8_t dataMode, uint8_t tsc, uint8_t modulation);
/* GPRS slots; a Tx slot carries the kept burst data of its modulation, and
 * `otherType` non-zero gives it the third Tx type. */
int32_t WConfigureGPRSLogicalRxSlot(uint32_t handle, uint8_t slotNumber, uint8_t modulation,
                                    uint16_t gain);
int32_t WConfigureGPRSLogicalTxSlot(uint32_t handle, uint8_t slotNumber, uint8_t modulation,
                                    uint8_t powerLevel, uint8_t otherType);
int32_t WConfigureGPRSLogicalMonSlot(uint32_t handle, uint8_t slotNumber, uint16_t value);
int32_t WConfigureGPRSLogicalUnusedSlot(uint32_t handle, uint8_t slotNumber);
/* Four bursts: burst-on flags, channels and gains, four each. */
int32_t WSetCircuitSwitchedTDMAFrame(uint32_t handle, uint8_t burstType, const uint8_t* pBurstOn,
                                     const uint16_t* pChannels, const uint16_t* pGains,
                                     uint8_t secondBurstType, uint8_t timingAdvance,
                                     uint8_t rachData, uint8_t powerLevel, uint16_t scaleFactor);

/* AGC measure points: the index record (count 3, points 4 and 15), and 26
 * gain words and RSSI values spread from two measured points. Neither
 * checks the handle; the second traces on the connection it names. */
int32_t WGetGwIndexArray(uint32_t handle, uint16_t* pIndexArray);
int32_t WSendGwRssiMPoints(uint32_t handle, const uint16_t* pGainWords, const int16_t* pRssi,
                           uint16_t* pGainWordResult, int16_t* pRssiResult);

/* The host's calibration store: values collected here (band 3 comes first
 * in the module's layout) and written to the module's NVRAM in one go by
 * WWriteAllStoredValuesToModuleNVRAM, which carries the module's other
 * items over the erase it needs (or erases all with `resetFlag`). A band
 * above 3 fails with last error 12, a modulation above 1 with 14. */
int32_t WQuorleStoreCalibrationDataAFC(uint32_t handle, uint32_t slope, uint16_t nominalValue);
int32_t WQuorleStoreCalibrationDataTxIQOffsets(uint32_t handle, uint8_t band, uint8_t modulation,
                                               int8_t iOffset, int8_t qOffset);
/* 32 factors. */
int32_t WQuorleStoreCalibrationDataScalingFactors(uint32_t handle, uint8_t band, uint8_t modulation,
                                                  const uint16_t* pFactors);
int32_t WQuorleStoreCalibrationDataAMLoopOffsets(uint32_t handle, uint8_t band, uint32_t value);
/* 26 words each. */
int32_t WQuorleStoreCalibrationDataAGCGainWords(uint32_t handle, uint8_t band,
                                                const uint16_t* pGainWords);
int32_t WQuorleStoreCalibrationDataAGCAccurateValues(uint32_t handle, uint8_t band,
                                                     const uint16_t* pAccurateValues);
int32_t WQuorleStoreCalibrationDataTxDacOffsets(uint32_t handle, uint8_t band, uint8_t modulation,
                                                int16_t value);
int32_t WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets(uint32_t handle, int16_t iOffset,
                                                              int16_t qOffset);
int32_t WWriteAllStoredValuesToModuleNVRAM(uint32_t handle, uint8_t resetFlag);

/* Identity and security. Serial numbers, IMEI and challenge are 8 bytes,
 * the flash serial number 4, the response 64, the mobile information 17.
 * The IMEI mode operations' `pMode` is optional. */
int32_t WGetFlashSerialNumber(uint32_t handle, uint8_t* pSerialNumber);
int32_t WGetSingleIE(uint32_t handle, uint16_t ieCode, uint16_t* pValue);
int32_t WResetIMEIMode(uint32_t handle, uint8_t* pMode);
int32_t WSetCustomerIMEIMode(uint32_t handle, uint8_t* pMode);
int32_t WReadSerialNumber(uint32_t handle, uint8_t* pSerialNumber);
int32_t WReadIMEI(uint32_t handle, uint8_t* pImei);
int32_t WInitIMEI(uint32_t handle);
int32_t WFreezeIMEI(uint32_t handle, const uint8_t* pImei);
/* `pMode` goes out and takes the mode the module keeps. */
int32_t WSetSecurityMode(uint32_t handle, uint16_t* pMode, uint32_t value);
int32_t WRequestChallenge(uint32_t handle, uint8_t* pChallenge);
int32_t WSendResponse(uint32_t handle, const uint8_t* pResponse);
int32_t WGetMobileInformation(uint32_t handle, uint8_t* pInformation);

/* The port and speed a production program last chose, kept for the user:
 * on Linux in $XDG_CONFIG_HOME/cfc/cfc.ini (~/.config by default), section
 * [KVX_Library], both written in one step that writers in other processes
 * wait for, so a reader finds the pair of one write. The read gives the stored port, or port 1 and
 * 0 as result when none is stored; the speed it gives is always 115200. */
int32_t WWritePortSettings(uint8_t port, uint32_t baudRate);
int32_t WReadPortSettings(uint8_t* pPort, uint32_t* pBaudRate);

/* Test-system entry: runs the library operation that the active test case's
 * parameter names on the connection of the device under test's port, and
 * reports its result to the test system; the test system's status goes into
 * `status`. Does nothing unless the test system's libraries are present.
 * `request` is "parameter:result index", both decimal. */
typedef struct TC2CFCRequest {
    int32_t status;
    uint8_t unused[12];
    const char* request;
} TC2CFCRequest;
void TC2CFCMapper(TC2CFCRequest* record);
/* The test system's libraries are looked up, and their constructors run, at
 * the first WComOpen of a process. A program that never runs under a test
 * system calls this with 0 before that open (vornax and kestrix do), and
 * nothing of them is loaded into it. Later calls change nothing. */
void WSetTestSystemBinding(int32_t on);

/* Long waits, for a program that shows how far they are. The library calls
 * the process's one hook on the thread that made the call: when a wait
 * starts (`done` 0), at the start of each of its steps (`done` 1 up to
 * `total`; `total` 0 when the wait has no counted steps) and when it ends
 * (`done` CFC_WAIT_ENDED). Waits nest: each switch-off request, for example,
 * waits through up to 100 probes of its own, so a probe wait starts and ends
 * inside a switch-off wait. A null hook ends the reports; the hook must not
 * call back into the library. */
#define CFC_WAIT_PROBES 1       /* probes until the module answers or falls silent */
#define CFC_WAIT_EMMI 2         /* the module asked to switch to EMMI; steps: attempts */
#define CFC_WAIT_BOOT 3         /* the bootloader sought; steps: start patterns */
#define CFC_WAIT_FIRMWARE 4     /* the booted module's firmware awaited */
#define CFC_WAIT_SWITCH_OFF 5   /* the module awaited to fall silent; steps: requests */
#define CFC_WAIT_SIGNAL_TRACE 6 /* the module's last signal frames awaited; steps: seconds */
#define CFC_WAIT_ENDED (-1)
typedef void (*CfcWaitHook)(void* context, int32_t wait, int32_t done, int32_t total);
void WSetWaitHook(CfcWaitHook hook, void* context);

#ifdef __cplusplus
}
#endif

#endif
