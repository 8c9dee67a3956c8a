/* Every code that can become a connection's last error, in one place: the
 * link layers' codes, the library operations' argument checks and the
 * results of the remote procedure calls share one set of small numbers, and
 * the failing layer's code becomes the last error. */
#ifndef CFC_EMMIERR_H
#define CFC_EMMIERR_H

#define EMMIERR_OK 0
#define EMMIERR_ACK 1
#define EMMIERR_CHECKSUM 2
#define EMMIERR_PORT_IN_USE 3
#define EMMIERR_PORT_OPEN 4
#define EMMIERR_FRAME_END 5
#define EMMIERR_NAK 6
#define EMMIERR_SYNC_LOST 7
#define EMMIERR_TIMEOUT 8
#define EMMIERR_SYSTEM 9
#define EMMIERR_BAD_HANDLE 10
/* A null pointer the operation needs, or an index, count or size beyond
 * what the operation's areas, tables or the 1500-byte message hold. */
#define EMMIERR_BAD_ARGUMENT 11
#define EMMIERR_BAD_BAND 12
#define EMMIERR_BAD_AM_LOOP_OFFSET 13
#define EMMIERR_BAD_MODULATION 14
#define EMMIERR_BAD_RAMP_DAC 15
#define EMMIERR_BAD_BURST_STATUS 16
/* Failures that no lower layer names: the module confirmed the operation
 * mode and kept its old one; it went on answering after the switch-off; its
 * serial line did not come to EMMI; it did not start up when booted. */
#define EMMIERR_MODE_NOT_TAKEN 17
#define EMMIERR_NOT_SWITCHED_OFF 18
#define EMMIERR_NO_EMMI 19
#define EMMIERR_NOT_STARTED 20
/* Identity and security calls report 700 + the module's signed status byte,
 * so 572 to 827 without 700. */
#define EMMIERR_STATUS_BASE 700

/* The same numbers as results of the remote procedure calls into the
 * module's firmware, where they mean: */
#define CFCRPC_OK 0
#define CFCRPC_NOT_SENT 1             /* the request was not sent */
#define CFCRPC_NO_CONFIRM 2           /* no confirm arrived in time */
#define CFCRPC_BAD_REFERENCE 4        /* no confirm carried the request's reference */
#define CFCRPC_BAD_CONFIRM 5          /* the confirm reports failure or unexpected content */
#define CFCRPC_UNDEFINED_ITEM_STATE 6 /* a calibration item check found an undefined state */
#define CFCRPC_NO_MEMORY 9            /* no memory for a confirm area */

#endif
