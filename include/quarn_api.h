/*
 * Quarn_API: host-side driver for a UHF RFID reader module (EPC Class-1 Gen-2 tags) on a serial port.
 *
 * Every command export takes the open port first and crcFlag last. Bit 0 of crcFlag selects CRC mode
 * (the command code carries bit 7 and a CRC-16 protects the frame); all other bits are ignored.
 * Command exports return 1 for success and 0 for failure. Integer arguments that carry a byte use only
 * their low byte. Out-parameters are written only on the paths each export documents; on every other
 * path they keep what the caller put there. No export allocates, keeps state between calls, prints,
 * sets a last-error value or lets an exception escape.
 *
 * One port must not be used by two threads at once; different ports may be used from different threads.
 *
 * Declarations and definitions spell each export in one order:
 *     QUARN_API <result> QUARN_CALL <name>(...)      (QUARN_CDECL for the three cdecl exports)
 */
#ifndef QUARN_API_H
#define QUARN_API_H

#include <stdint.h>

#if defined(_WIN32)
/* The Windows HANDLE of the open serial port. */
typedef void *PortHandle;
#define QUARN_INVALID_PORT ((PortHandle)(intptr_t)-1)
#else
/* The file descriptor of the open serial port; -1 is the invalid handle. */
typedef intptr_t PortHandle;
#define QUARN_INVALID_PORT ((PortHandle)-1)
#endif

#if defined(_WIN32)
/* The names and ordinals come from Quarn_API.def, so nothing needs marking on Windows. */
#define QUARN_API
#if defined(_M_IX86) || defined(__i386__)
#define QUARN_CALL __stdcall
#else
#define QUARN_CALL
#endif
#define QUARN_CDECL __cdecl
#else
#if defined(QUARN_BUILDING_LIBRARY)
#define QUARN_API __attribute__((visibility("default")))
#else
#define QUARN_API
#endif
#define QUARN_CALL
#define QUARN_CDECL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------------- */
/* Port                                                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Opens the serial port named portName exclusively and configures it: 8 data bits, no parity, one stop
 * bit, a one-byte read that waits at most 3050 ms and a one-byte write that gives up after 550 ms.
 *   portHandleOut  out: the caller's PortHandle variable.
 *   portName       NUL-terminated port name. Windows: "COM3", "COM10" (opened as "\\.\COM3").
 *                  POSIX: a name containing '/' is a path as it stands ("/dev/ttyUSB0"); any other name is
 *                  looked up under /dev/ ("ttyUSB0").
 *   portOptions    bits 1 to 3 select the baud rate: (portOptions & 0x0E) 0x00 9600, 0x02 19200,
 *                  0x04 57600, 0x06 115200; 0x08 and above are refused. Other bits are ignored.
 * Result 1: the port is open and its handle is in *portHandleOut.
 * Result 0: a refused baud selection (checked before anything is opened) or a port that would not open;
 *           *portHandleOut then holds QUARN_INVALID_PORT and there is nothing to close.
 * UhfReaderConnect is the same entry under a second name.
 */
QUARN_API int QUARN_CALL UhfOpenPort(PortHandle *portHandleOut, const char *portName, int portOptions);
QUARN_API int QUARN_CALL UhfReaderConnect(PortHandle *portHandleOut, const char *portName, int portOptions);

/*
 * Closes the handle that portHandleRef points to. The caller's variable is not changed.
 * Result: always 1, also when the system refuses to close the handle.
 */
QUARN_API int QUARN_CALL UhfClosePort(PortHandle *portHandleRef);

/* The same as UhfClosePort; reserved is ignored. Result: always 1. */
QUARN_API int QUARN_CALL UhfReaderDisconnect(PortHandle *portHandleRef, int reserved);

/* ---------------------------------------------------------------------------------------------------- */
/* Reader management: power, PA status, frequency                                                        */
/* ---------------------------------------------------------------------------------------------------- */

/* @reader-power */

/* ---------------------------------------------------------------------------------------------------- */
/* Reader management: parameter registers, multi-antenna setting                                         */
/* ---------------------------------------------------------------------------------------------------- */

/* @reader-registers */

/* ---------------------------------------------------------------------------------------------------- */
/* Reader management: version, UID, sleep, stop, transparent transfer                                    */
/* ---------------------------------------------------------------------------------------------------- */

/* @reader-identity */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: inventory                                                                                       */
/* ---------------------------------------------------------------------------------------------------- */

/* @tags-inventory */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: reading memory                                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/* @tags-read */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: writing and block writing                                                                       */
/* ---------------------------------------------------------------------------------------------------- */

/* @tags-write */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: erase, lock, kill                                                                               */
/* ---------------------------------------------------------------------------------------------------- */

/* @tags-lock */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: multi-tag read                                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/* @tags-multitag */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: select filters                                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/* @tags-filters */

/* ---------------------------------------------------------------------------------------------------- */
/* Antennas                                                                                              */
/* ---------------------------------------------------------------------------------------------------- */

/* @antenna */

/* ---------------------------------------------------------------------------------------------------- */
/* Firmware update                                                                                       */
/* ---------------------------------------------------------------------------------------------------- */

/* @update */

/* ---------------------------------------------------------------------------------------------------- */
/* Secure access module, SR data                                                                         */
/* ---------------------------------------------------------------------------------------------------- */

/* @sam */

/* ---------------------------------------------------------------------------------------------------- */
/* Hex text conversion                                                                                   */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Writes exactly 2 x byteCount uppercase hex digits ('0'-'9', 'A'-'F'), high nibble first, to hexText,
 * with no terminating zero. hexText must hold 2 x byteCount characters. Nothing is written when
 * byteCount <= 0. Counts above 128 convert completely as well.
 */
QUARN_API void QUARN_CDECL UhfCharToCString(const unsigned char *byteData, char *hexText, int byteCount);

/*
 * Reads exactly textLength characters of hexText (no terminating zero needed) and writes
 * textLength / 2 bytes to byteData, two digits a byte, high nibble first. '0'-'9', 'A'-'F' and 'a'-'f'
 * are digits; any other character counts as 0; an odd last character is dropped. byteData must hold
 * textLength / 2 bytes. Nothing is written when textLength <= 1. Lengths above 256 convert completely.
 * Result: textLength / 2, truncated toward zero (the number of bytes written when textLength >= 0).
 */
QUARN_API int QUARN_CDECL UhfCStringToChar(const char *hexText, unsigned char *byteData, int textLength);

#ifdef __cplusplus
}
#endif

#endif /* QUARN_API_H */
