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
enum { CFCNormalMode = 0, CFCServiceMode = 1, CFCAirplaneMode = 2, CFCTestMode = 3 };
int32_t WSwitchTargetToOperationMode(uint32_t handle, uint8_t publicMode);
int32_t WExitServiceMode(uint32_t handle);

/* Signal trace: what the module reports once the signal-trace settings file
 * switches it on. Each mode initialisation replaces the lists with those of
 * the mode's sections in the file and sends the module the resulting mask.
 * Bits 16 to 31 of a signal name its group, bits 8 to 15 its base, bits 0 to
 * 7 the signal; a base is given like a signal of it. These three take the
 * slot from bits 12 to 19 of `handle` without checking the rest; 1 when the
 * entry was added, 0 when the list is full (64 bases, 128 signals each) or
 * the value names no slot. */
int32_t WAddNimboTraceMask(uint32_t handle, uint32_t base);
int32_t WAddNimboSignal(uint32_t handle, uint32_t signal);
int32_t WRemoveNimboSignal(uint32_t handle, uint32_t signal);

/* Java autostart and switch-off */
int32_t WSwitchJavaAutoStart(uint32_t handle, uint8_t on);
int32_t WSwitchOff(uint32_t handle);
/* A program that writes the module's signal trace (the GUI does) sets this
 * once at start: WSwitchOff then first lets a configured signal trace come
 * out for 10 s, so the module's last signal frames reach the files. */
void WSetSwitchOffDrainWait(int32_t on);
int32_t WTerminateCall(uint32_t handle);

/* AT commands through the firmware. A command of more than 126 characters is
 * refused. `response` may be null (only the echo is awaited); otherwise it
 * must hold CFC_AT_RESPONSE_SIZE bytes: line ends come back escaped as
 * "<CR>" and "<LF>". */
#define CFC_AT_RESPONSE_SIZE 513
int32_t WSendAtCommand(uint32_t handle, const char* text, char* response);
int32_t WReceiveAtCommand(uint32_t handle, char* response);

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

#ifdef __cplusplus
}
#endif

#endif
