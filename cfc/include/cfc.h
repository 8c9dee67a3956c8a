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

/* Connection */
uint32_t WComOpen(int32_t portNum, int32_t baudRate, uint32_t tHandle);
int32_t WComClose(uint32_t handle);
uint16_t WGetLastError(uint32_t handle);
uint32_t WGetVersion(void);

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
 * `text` of 25 bytes; all zeros and 0 while the version is not known. */
int32_t WGetBootloaderVersion(uint32_t handle, char* text);

/* Operation modes. Each initialisation brings the serial line to EMMI
 * (booting a silent module), loads the mode's signal-trace configuration and
 * switches the firmware into the mode. */
int32_t WInitServiceMode(uint32_t handle);
int32_t WInitNormalMode(uint32_t handle);
int32_t WInitTestMode(uint32_t handle);
int32_t WInitAirplaneMode(uint32_t handle);
int32_t WInitNormalModeFromTestMode(uint32_t handle);

/* Public mode numbers of WSwitchTargetToOperationMode; any other number fails. */
enum {
    CFCNormalMode = 0,
    CFCServiceMode = 1,
    CFCAirplaneMode = 2,
    CFCTestMode = 3
};
int32_t WSwitchTargetToOperationMode(uint32_t handle, uint8_t publicMode);
int32_t WExitServiceMode(uint32_t handle);

/* Java autostart and switch-off */
int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on);
int32_t WSwitchOff(uint32_t handle);
int32_t WTerminateCall(uint32_t handle);

/* AT commands through the firmware. A command of more than 126 characters is
 * refused. `response` may be null (only the echo is awaited); otherwise it
 * must hold CFC_AT_RESPONSE_SIZE bytes: line ends come back escaped as
 * "<CR>" and "<LF>". */
#define CFC_AT_RESPONSE_SIZE 513
int32_t WSendAtCommand(uint32_t handle, const char* text, char* response);
int32_t WReceiveAtCommand(uint32_t handle, char* response);

#ifdef __cplusplus
}
#endif

#endif
