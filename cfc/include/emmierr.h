/* Result codes shared by every layer of the CFC library; the failing layer's
 * code becomes the connection's last error. */
#ifndef CFC_EMMIERR_H
#define CFC_EMMIERR_H

#define EMMIERR_OK                  0
#define EMMIERR_ACK                 1
#define EMMIERR_CHECKSUM            2
#define EMMIERR_PORT_IN_USE         3
#define EMMIERR_PORT_OPEN           4
#define EMMIERR_FRAME_END           5
#define EMMIERR_NAK                 6
#define EMMIERR_SYNC_LOST           7
#define EMMIERR_TIMEOUT             8
#define EMMIERR_SYSTEM              9
#define EMMIERR_BAD_HANDLE          10
#define EMMIERR_BAD_BAND            12
#define EMMIERR_BAD_AM_LOOP_OFFSET  13
#define EMMIERR_BAD_MODULATION      14
#define EMMIERR_BAD_RAMP_DAC        15
#define EMMIERR_BAD_BURST_STATUS    16
/* Identity and security calls report 700 + the module's signed status byte. */
#define EMMIERR_STATUS_BASE         700

#endif
