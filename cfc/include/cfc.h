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

/* Main path */
int32_t WInitServiceMode(uint32_t handle);
int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on);
int32_t WSwitchOff(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
