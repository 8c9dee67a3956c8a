/* ZANTAL: installation helpers for the radio modules' modem devices.
 *
 * An installer loads ZANTAL.dll (libZANTAL.so on Linux) and calls these functions one at a time;
 * none depends on another having been called first. Strings are
 * zero-terminated single-byte strings; output buffers belong to the caller
 * and must have at least the size named here. Unless stated otherwise a
 * function returns 1 on success and 0 on failure, and never shows a message.
 *
 * The installation functions bind "setupapi.dll" at run time (on Linux our
 * stand-in libsetupapi.so, found beside this library). */
#ifndef ZANTAL_ZANTAL_H
#define ZANTAL_ZANTAL_H

#include <stdint.h>

#if defined(_WIN32)
#define ZANTAL_API /* exported by the library's .def file */
#elif defined(__GNUC__)
#define ZANTAL_API __attribute__((visibility("default")))
#else
#define ZANTAL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Serial ports of the machine ("COM1,COM4"), without USB ports; *count gets
 * the number listed. A name that does not fit the buffer is left out. */
ZANTAL_API void ZANTAL_FindAllHardwarePorts(char* buffer, uint32_t bufferSize, int32_t* count);
/* The same for the USB ports only. */
ZANTAL_API void ZANTAL_FindAllHardwareUSBPorts(char* buffer, uint32_t bufferSize, int32_t* count);

/* Highest speed the port ("COM3") accepts, as decimal text into speed (at
 * least 7 bytes). 0: found; 1: no speed accepted (empty text); 2: the port
 * cannot be opened (speed untouched). */
ZANTAL_API int32_t ZANTAL_GetMaxComPortSpeed(const char* port, char* speed);

/* Port an installed modem is attached to (attachedTo: 260 bytes). */
ZANTAL_API int32_t ZANTAL_GetAttachedToByFriendlyName(const char* friendlyName, char* attachedTo);
/* Its maximum port speed as decimal text (speed: at least 12 bytes). */
ZANTAL_API int32_t ZANTAL_GetMaximumPortSpeedByFriendlyName(const char* friendlyName, char* speed);

/* Installs a modem of the given hardware ID (at most 519 characters) from the
 * INF file, attached to port (such as "COM3") at *maxPortSpeed; friendlyName
 * (260 bytes) receives the name the system gave it. `reserved` is ignored. */
ZANTAL_API int32_t ZANTAL_InstallModem(const char* infPath, uint32_t reserved,
                                       const char* hardwareId, const char* port,
                                       const uint32_t* maxPortSpeed, char* friendlyName);
/* Removes the present modems of the comma-separated hardware IDs (at most
 * 519 characters in all); 1 when every ID was handled without failure. */
ZANTAL_API int32_t ZANTAL_DeinstallModemByID(const char* hardwareIds);
/* Removes the present modem of that friendly name; 1 when there was one. */
ZANTAL_API int32_t ZANTAL_DeinstallModemByFriendlyName(const char* friendlyName);

/* 1 when the process belongs to the local Administrators group. */
ZANTAL_API int32_t ZANTAL_HasAdminRights(void);

/* Dial-up entries of the default phone book. */
ZANTAL_API int32_t ZANTAL_AddRasEntry(const char* entryName, const char* deviceName,
                                      const char* phoneNumber);
/* deviceName: at least 129 bytes. */
ZANTAL_API int32_t ZANTAL_GetRasDevice(const char* entryName, char* deviceName);
ZANTAL_API int32_t ZANTAL_DeleteRasEntry(const char* entryName);

#ifdef __cplusplus
}
#endif

#endif
