/*
 * Quarn_API: host-side driver for a UHF RFID reader module (EPC Class-1 Gen-2 tags) on a serial port.
 *
 * Every command export takes the open port first and crcFlag last: QUARN_PLAIN_MODE or QUARN_CRC_MODE
 * (see the constants below).
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

/* ---------------------------------------------------------------------------------------------------- */
/* Constants                                                                                             */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * The values the exports take and report, by name. Each is a plain integer (or, for the record size, an
 * integer expression), so C, C++ and bindings that read this header can use them alike.
 */

/*
 * portOptions of UhfOpenPort and UhfUpdateInit: bits 1 to 3 (QUARN_BAUD_MASK) select the baud rate. A
 * selection above QUARN_BAUD_115200 is refused; the bits outside the mask are ignored by UhfOpenPort.
 */
#define QUARN_BAUD_MASK 0x0E
#define QUARN_BAUD_9600 0x00
#define QUARN_BAUD_19200 0x02
#define QUARN_BAUD_57600 0x04
#define QUARN_BAUD_115200 0x06

/*
 * crcFlag, the last argument of every command export: bit 0 set selects CRC mode, in which the command
 * code carries bit 7 and a CRC-16 protects the frame; the other bits are ignored. UhfUpdateInit reads
 * bit 0 of its portOptions the same way (QUARN_BAUD_115200 | QUARN_CRC_MODE).
 */
#define QUARN_PLAIN_MODE 0
#define QUARN_CRC_MODE 1

/*
 * The errorCode of the tag operations when there is no error code of the reader's to report: after
 * success, after a refusal that carries none, and after no usable reply. The register and filter exports,
 * whose errorCode is the reply's status byte, report it after no usable reply, and UhfReadFilterByIndex
 * reports it as frameStatus when no report came.
 */
#define QUARN_NO_ERROR_CODE 0xFF

/* writeStatus of the block writes and the SR writes: how the write ended. */
#define QUARN_WRITE_STATUS_WRITTEN 0x00               /* written in full; the export returns 1 */
#define QUARN_WRITE_STATUS_NO_REPLY 0x80              /* no usable reply: nothing is known of the tag */
#define QUARN_WRITE_STATUS_FAILED_WITH_CODE 0x81      /* failed; errorCode holds the reader's code */
#define QUARN_WRITE_STATUS_FAILED_WITHOUT_CODE 0x82   /* failed; the reader gave no error code */

/* Memory bank codes (bank): the tag's EPC Gen2 banks. Sent unchecked, so a reader's own codes pass too. */
#define QUARN_BANK_RESERVED 0 /* kill and access passwords */
#define QUARN_BANK_EPC 1      /* stored CRC, PC word, EPC */
#define QUARN_BANK_TID 2
#define QUARN_BANK_USER 3

/*
 * wordPtr is an EBV the caller encodes: one byte for word addresses below 128; from 128 on, byte 0 has
 * QUARN_WORD_PTR_EXTENDED set and the address's high 7 bits, byte 1 its low 7 bits. Two bytes hold
 * addresses up to QUARN_MAX_WORD_PTR.
 */
#define QUARN_WORD_PTR_EXTENDED 0x80
#define QUARN_MAX_WORD_PTR 0x3FFF

/*
 * A tag record is the tag's PC word (high byte first) followed by its EPC. Its size in bytes comes from
 * its first byte, whose five high bits count the EPC's words: from 2 (the PC word alone) to
 * QUARN_TAG_RECORD_MAX_SIZE (an EPC of QUARN_MAX_EPC_WORDS words), so a buffer of
 * QUARN_TAG_RECORD_MAX_SIZE bytes always holds one. Record sizes travel as one unsigned byte.
 */
#define QUARN_TAG_RECORD_SIZE(firstByte) (((((firstByte) & 0xFF) >> 3) + 1) * 2)
#define QUARN_TAG_RECORD_MAX_SIZE 64
#define QUARN_MAX_EPC_WORDS 31

/* Word counts of the tag memory exports travel as one byte: at most QUARN_MAX_WORD_COUNT words a call. */
#define QUARN_MAX_WORD_COUNT 255

/*
 * The largest length byte of a frame in the one-byte length form; longer frames take the two-byte form,
 * which the plain writes (UhfWriteDataByEPC, UhfWriteDataToSingleTag) and the SAM commands never send.
 */
#define QUARN_MAX_ONE_BYTE_LENGTH 127

/* Fixed sizes of the byte arguments, in bytes. */
#define QUARN_PASSWORD_SIZE 4          /* accessPassword, killPassword */
#define QUARN_LOCK_PAYLOAD_SIZE 3      /* lockPayload */
#define QUARN_VERSION_BLOCK1_SIZE 6    /* versionBlock1 of UhfGetVersion */
#define QUARN_VERSION_BLOCK2_SIZE 3    /* versionBlock2 of UhfGetVersion */
#define QUARN_READER_UID_SIZE 12       /* readerUid of UhfGetReaderUID */
#define QUARN_SR_DATA_SIZE 80          /* srData of UhfGetSR */
#define QUARN_FILTER_MASK_SIZE 32      /* FilterRecord.mask */

/* LockGenCode's choice for each area. Any value other than the four below leaves the area as it is. */
#define QUARN_LOCK_KEEP 0
#define QUARN_LOCK_LOCKED 1         /* access only in the secured state (with the access password) */
#define QUARN_LOCK_UNLOCKED 2
#define QUARN_LOCK_PERMALOCKED 3    /* locked for good: cannot be undone */
#define QUARN_LOCK_PERMAUNLOCKED 4  /* unlocked for good: cannot be locked again */

/*
 * The parameter registers: QUARN_REGISTER_SPACE_SIZE bytes from address 0; the multi-antenna setting is
 * the byte at QUARN_MULTI_ANT_REGISTER. A register write frame must fit the library's 2048-byte command
 * buffer: at most QUARN_MAX_REGISTER_WRITE data bytes in plain mode, QUARN_MAX_REGISTER_WRITE_CRC in CRC
 * mode.
 */
#define QUARN_REGISTER_SPACE_SIZE 512
#define QUARN_MULTI_ANT_REGISTER 0x124
#define QUARN_MAX_REGISTER_WRITE 2039
#define QUARN_MAX_REGISTER_WRITE_CRC 2037

/*
 * Multi-tag reads: readOptions bit 0 selects the long form of optionParams; a data frame's frameStatus
 * tells whether it carries one block or two; no block exceeds QUARN_MAX_DATA_BLOCK bytes, so data
 * buffers of that size always suffice.
 */
#define QUARN_READ_OPTIONS_LONG_FORM 0x01
#define QUARN_DATA_FRAME_ONE_BLOCK 0x00
#define QUARN_DATA_FRAME_TWO_BLOCKS 0x01
#define QUARN_MAX_DATA_BLOCK 2038

/* The largest blockLength of UhfUpdateSendData: the room of one frame in plain and in CRC mode. */
#define QUARN_MAX_UPDATE_BLOCK 2041
#define QUARN_MAX_UPDATE_BLOCK_CRC 2039

/*
 * The secure access module: the longest command APDU in plain and in CRC mode (the frame keeps a one-byte
 * length), the largest response (Le is one byte), the status UhfSetSAM and the UhfGetInfoSAMtoSR exports
 * report when the SAM refused, the powerState of UhfSetPsamPowerOnOrOff, and the buffers of the PSAM
 * answer and of the single-tag SR write.
 */
#define QUARN_MAX_APDU 125
#define QUARN_MAX_APDU_CRC 123
#define QUARN_MAX_SAM_RESPONSE 255
#define QUARN_SAM_STATUS_REFUSED 0x81
#define QUARN_PSAM_POWER_OFF 0
#define QUARN_PSAM_POWER_ON 1
#define QUARN_PSAM_ANSWER_SIZE 255
#define QUARN_SR_TAG_RECORD_SIZE 255

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
 *   portOptions    QUARN_BAUD_9600, QUARN_BAUD_19200, QUARN_BAUD_57600 or QUARN_BAUD_115200 (the bits of
 *                  QUARN_BAUD_MASK); a selection above QUARN_BAUD_115200 is refused. Other bits are ignored.
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

/*
 * Common to the reader-management exports below: port is the open PortHandle; crcFlag bit 0 selects CRC
 * mode. Unless an export says otherwise, each makes one exchange with an 800 ms reply time limit and
 * returns 1 when the reply echoes the code as sent (a reply in the other mode is refused) and its status
 * byte passes the export's rule, else 0 (send failure, no reply in time, a framing or CRC error, a wrong
 * echoed code, a refused status, or a reply too short for the bytes the export copies). On result 0 no
 * out-parameter is written unless the export says otherwise. A longer reply than needed is accepted;
 * extra bytes are ignored.
 */

/*
 * Asks for the power amplifier's state; the state is the result itself: 1 when the reader answered with
 * status 0, 0 for any other status.
 *   status  out, 1 byte: set to 0 on result 1; untouched on result 0.
 */
QUARN_API int QUARN_CALL UhfGetPaStatus(PortHandle port, unsigned char *status, int crcFlag);

/*
 * Reads the RF output power setting. Any reply status with bit 7 clear is success.
 *   power  out, 1 byte: reply data byte 0 on result 1; untouched on result 0.
 */
QUARN_API int QUARN_CALL UhfGetPower(PortHandle port, unsigned char *power, int crcFlag);

/*
 * Sets the RF output power. The low bytes of powerParam1 and powerParam2 are sent in that order, unchecked.
 * Any reply status with bit 7 clear is success.
 */
QUARN_API int QUARN_CALL UhfSetPower(PortHandle port, int powerParam1, int powerParam2, int crcFlag);

/*
 * Reads the seven bytes of the frequency configuration. Any reply status with bit 7 clear is success.
 *   freq0, freq1, freq4, freq5, freq6  out, 1 byte each: configuration bytes 0, 1, 4, 5, 6.
 *   freq23                             out, 2 bytes: configuration bytes 2 and 3, in that order.
 * All seven bytes are written on result 1; none on result 0 (also when the reply carries fewer than 7).
 */
QUARN_API int QUARN_CALL UhfGetFrequency(PortHandle port, unsigned char *freq0, unsigned char *freq1,
                                         unsigned char *freq23, unsigned char *freq4, unsigned char *freq5,
                                         unsigned char *freq6, int crcFlag);

/*
 * Writes the frequency configuration, in the order UhfGetFrequency reads it: the low bytes of freq0 and
 * freq1, freq23[0], freq23[1], then the low bytes of freq4, freq5 and freq6. Nothing is range-checked.
 *   freq23  in, 2 bytes.
 * Any reply status with bit 7 clear is success.
 */
QUARN_API int QUARN_CALL UhfSetFrequency(PortHandle port, int freq0, int freq1, const unsigned char *freq23,
                                         int freq4, int freq5, int freq6, int crcFlag);

/* @reader-power */

/* ---------------------------------------------------------------------------------------------------- */
/* Reader management: parameter registers, multi-antenna setting                                         */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * The reader's parameter registers: QUARN_REGISTER_SPACE_SIZE bytes from address 0. Addresses and counts
 * are sent as their low 16 bits, high byte first; no address is checked. Success is reply status 0.
 * errorCode (out, 1 byte) reports the reply's status byte: 0 on result 1, the refusing status byte when
 * the reader refuses; after no usable reply see each export.
 */

/*
 * Reads registers. The reply time limit is 200 ms.
 *   registerAddress  low 16 bits used.
 *   registerCount    low 16 bits used; 0 reads from registerAddress to the end of the register space.
 *   errorCode        out, 1 byte: 0 on result 1; the status byte when it is not 0; QUARN_NO_ERROR_CODE
 *                    after no usable reply (send failure, nothing in time, frame error, wrong echoed code,
 *                    or a reply too short for the copy, also one whose status is 0). Always written.
 *   registerData     out: on result 1 receives the copy count of bytes, and nothing beyond: the low 16 bits
 *                    of registerCount, or when those are 0, QUARN_REGISTER_SPACE_SIZE - registerAddress (0
 *                    from the end of the space on). It must hold that many bytes. Untouched on result 0.
 * The reply is expected in the two-byte length form when the count is 0 or when count + 3 (plain mode)
 * or count + 5 (CRC mode) exceeds QUARN_MAX_ONE_BYTE_LENGTH; a reply in the other form is no usable reply.
 */
QUARN_API int QUARN_CALL UhfGetRegister(PortHandle port, int registerAddress, int registerCount,
                                        unsigned char *errorCode, unsigned char *registerData, int crcFlag);

/*
 * Writes registers. Note the order: data before errorCode, unlike UhfGetRegister.
 *   registerAddress  low 16 bits used.
 *   registerCount    the number of bytes to write, its low 16 bits sent; 0 or less sends no data bytes.
 *   registerData     in: registerCount bytes (not read when registerCount <= 0).
 *   errorCode        out, 1 byte: 0 on result 1; the status byte when it is not 0; QUARN_NO_ERROR_CODE when
 *                    the frame would not fit the command buffer (nothing is then sent: at most
 *                    QUARN_MAX_REGISTER_WRITE data bytes, QUARN_MAX_REGISTER_WRITE_CRC in CRC mode);
 *                    untouched after a send failure, no reply in time, a frame error or a wrong echoed code.
 * The command takes the two-byte length form when its one-byte count would exceed
 * QUARN_MAX_ONE_BYTE_LENGTH (more than 121 data bytes in plain mode, 119 in CRC mode).
 */
QUARN_API int QUARN_CALL UhfSetRegister(PortHandle port, int registerAddress, int registerCount,
                                        const unsigned char *registerData, unsigned char *errorCode,
                                        int crcFlag);

/* Asks the reader to reset its registers. Result 1 on reply status 0. */
QUARN_API int QUARN_CALL UhfResetRegister(PortHandle port, int crcFlag);

/* Asks the reader to save its registers. Result 1 on reply status 0. */
QUARN_API int QUARN_CALL UhfSaveRegister(PortHandle port, int crcFlag);

/*
 * Writes the multi-antenna setting, the register byte at QUARN_MULTI_ANT_REGISTER (UhfSetRegister with
 * count 1).
 *   multiAntSetting  in, 1 byte.
 * Result as UhfSetRegister's; its errorCode is not passed on.
 */
QUARN_API int QUARN_CALL UhfSetMultiANT(PortHandle port, const unsigned char *multiAntSetting, int crcFlag);

/*
 * Reads the multi-antenna setting at QUARN_MULTI_ANT_REGISTER (UhfGetRegister with count 1, 200 ms limit).
 *   multiAntSetting  out, 1 byte: written on result 1 only.
 * Result as UhfGetRegister's; its errorCode is not passed on.
 */
QUARN_API int QUARN_CALL UhfGetMultiANT(PortHandle port, unsigned char *multiAntSetting, int crcFlag);

/* @reader-registers */

/* ---------------------------------------------------------------------------------------------------- */
/* Reader management: version, UID, sleep, stop, transparent transfer                                    */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Reads the reader's nine version bytes, copied unchanged. Any reply status with bit 7 clear is success.
 *   versionBlock1  out, QUARN_VERSION_BLOCK1_SIZE bytes: the first reply data bytes.
 *   versionBlock2  out, QUARN_VERSION_BLOCK2_SIZE bytes: the reply data bytes after them.
 * Both written on result 1 only. 800 ms limit, one attempt, as for every export of this section except
 * UhfStopOperation.
 */
QUARN_API int QUARN_CALL UhfGetVersion(PortHandle port, unsigned char *versionBlock1, unsigned char *versionBlock2,
                                       int crcFlag);

/*
 * Reads the reader's unique identifier. Success is reply status 0.
 *   readerUid  out, QUARN_READER_UID_SIZE bytes: the first reply data bytes, on result 1 only.
 */
QUARN_API int QUARN_CALL UhfGetReaderUID(PortHandle port, unsigned char *readerUid, int crcFlag);

/* Sends the reader to sleep. Result 1 on reply status 0. How the reader wakes is the reader's own. */
QUARN_API int QUARN_CALL UhfEnterSleepMode(PortHandle port, int crcFlag);

/*
 * Stops the operation the reader is running (a continuous inventory or a multi-tag read). The command is
 * sent up to twice, the second time only when the first send fails, and never again after it went out.
 * Then up to five frames are received, 800 ms each, until one echoes the stop code with status bit 7
 * clear; other frames, such as tag reports of the stream being stopped, and failed receptions each use
 * up one of the five. Result 1 when the acknowledgement came, 0 otherwise.
 */
QUARN_API int QUARN_CALL UhfStopOperation(PortHandle port, int crcFlag);

/*
 * Switches transparent transfer on (low byte of enable nonzero) or off (low byte zero). Success is
 * reply status 0.
 *   status  out, 1 byte: set to 0 on result 1; untouched on result 0.
 */
QUARN_API int QUARN_CALL UhfSetTransparentTransfer(PortHandle port, int enable, unsigned char *status, int crcFlag);

/* @reader-identity */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: inventory                                                                                       */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * A tag record is a tag's PC word (high byte first) followed by its EPC; QUARN_TAG_RECORD_SIZE gives its
 * size from its first byte, and a buffer of QUARN_TAG_RECORD_MAX_SIZE bytes always holds one.
 */

/*
 * Starts a continuous inventory on the reader and checks its acknowledgement (status bit 7 clear and
 * bit 0 set). Tag reports then follow, one per UhfReadInventory call, until UhfStopOperation; any other
 * command sent meanwhile discards the reports not yet read.
 *   port      the open port.
 *   hasParam  low byte nonzero: send the form with a parameter byte (code 0x11); else code 0x10.
 *   param     low byte: the parameter byte, passed through to the reader.
 *   crcFlag   bit 0 selects CRC mode.
 * Result 1: the reader acknowledged the start. Result 0: no usable acknowledgement.
 */
QUARN_API int QUARN_CALL UhfStartInventory(PortHandle port, int hasParam, int param, int crcFlag);

/*
 * Sends nothing: takes exactly one frame the reader streams after UhfStartInventory (waiting up to
 * 800 ms for it) and hands back the tag record it reports. Reports in plain and CRC form both count; a
 * frame that is not a tag report is consumed all the same, so it is not seen by a later call.
 *   tagRecordLength  out: the record's size (2 to QUARN_TAG_RECORD_MAX_SIZE).
 *   tagRecord        out: at least QUARN_TAG_RECORD_MAX_SIZE bytes; receives tagRecordLength bytes.
 * Result 1 with both outputs written. Result 0 with neither written: no frame, a frame that is no tag
 * report, or a report too short for the record its first byte announces.
 */
QUARN_API int QUARN_CALL UhfReadInventory(PortHandle port, unsigned char *tagRecordLength, unsigned char *tagRecord);

/*
 * Asks for the single tag in the field in one exchange; the reply must have status 0.
 *   tagRecordLength  out: the record's size (2 to QUARN_TAG_RECORD_MAX_SIZE).
 *   tagRecord        out: at least QUARN_TAG_RECORD_MAX_SIZE bytes; receives tagRecordLength bytes.
 *   crcFlag          bit 0 selects CRC mode.
 * Result 1 with both outputs written; 0 with neither written.
 */
QUARN_API int QUARN_CALL UhfInventorySingleTag(PortHandle port, unsigned char *tagRecordLength,
                                               unsigned char *tagRecord, int crcFlag);

/* @tags-inventory */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: reading memory                                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Arguments of the tag memory exports (reads, writes, block writes, erase, lock, kill):
 *   accessPassword  QUARN_PASSWORD_SIZE bytes, sent in the order given.
 *   bank            low byte: the memory bank (QUARN_BANK_RESERVED, QUARN_BANK_EPC, QUARN_BANK_TID,
 *                   QUARN_BANK_USER), sent unchecked.
 *   wordPtr         the word pointer as an EBV the caller encoded: 1 byte, or 2 bytes when byte 0 has
 *                   QUARN_WORD_PTR_EXTENDED set; only that bit of byte 0 is examined.
 *   epc             the record of the tag to address (ByEPC forms); its size comes from its byte 0 alone,
 *                   whatever the buffer holds beyond.
 *   errorCode       out, written on every path: the reader's error code when the reply reports a tag
 *                   error that carries one (status bits 7 and 0 set), else QUARN_NO_ERROR_CODE, success
 *                   included. Tell success by the result.
 *   crcFlag         bit 0 selects CRC mode.
 * A reply too short for what an export copies fails: result 0, errorCode QUARN_NO_ERROR_CODE, outputs
 * untouched.
 */

/*
 * Reads wordCount words (low byte, 1 to QUARN_MAX_WORD_COUNT) from the tag whose record is epc.
 *   data  out: 2 x wordCount bytes.
 * Result 1 with data written. Result 0 with data untouched; a wordCount of 0 sends nothing.
 */
QUARN_API int QUARN_CALL UhfReadDataByEPC(PortHandle port, const unsigned char *accessPassword, int bank,
                                          const unsigned char *wordPtr, int wordCount, const unsigned char *epc,
                                          unsigned char *data, unsigned char *errorCode, int crcFlag);

/*
 * Reads wordCount words (low byte, 1 to QUARN_MAX_WORD_COUNT) from the single tag in the field, and that
 * tag's record.
 *   data             out: 2 x wordCount bytes.
 *   tagRecord        out: at least QUARN_TAG_RECORD_MAX_SIZE bytes; the answering tag's record.
 *   tagRecordLength  out: the record's size.
 * Result 1 with all three written. Result 0 with them untouched; a wordCount of 0 sends nothing.
 */
QUARN_API int QUARN_CALL UhfReadDataFromSingleTag(PortHandle port, const unsigned char *accessPassword, int bank,
                                                  const unsigned char *wordPtr, int wordCount, unsigned char *data,
                                                  unsigned char *tagRecord, unsigned char *tagRecordLength,
                                                  unsigned char *errorCode, int crcFlag);

/*
 * Reads everything from wordPtr to the end of the bank of the tag whose record is epc (word count 0).
 *   dataLength  out: 2 bytes, the byte count L, high byte first, as the reader sends it.
 *   data        out: receives L bytes (nothing when L is 0). The size is not passed: data must hold the
 *               largest L the caller expects, up to 65535 bytes (a reply carries at most about 2040).
 * Result 1 with dataLength and data written; 0 with both untouched.
 */
QUARN_API int QUARN_CALL UhfReadMaxDataByEPC(PortHandle port, const unsigned char *accessPassword, int bank,
                                             const unsigned char *wordPtr, const unsigned char *epc,
                                             unsigned char *dataLength, unsigned char *data, unsigned char *errorCode,
                                             int crcFlag);

/*
 * Reads everything from wordPtr to the end of the bank of the single tag in the field, and that tag's
 * record. dataLength and data as for UhfReadMaxDataByEPC (data must hold the largest L expected).
 *   tagRecord        out: at least QUARN_TAG_RECORD_MAX_SIZE bytes; the answering tag's record.
 *   tagRecordLength  out: the record's size.
 * Result 1 with all four written; 0 with them untouched.
 */
QUARN_API int QUARN_CALL UhfReadMaxDataFromSingleTag(PortHandle port, const unsigned char *accessPassword, int bank,
                                                     const unsigned char *wordPtr, unsigned char *dataLength,
                                                     unsigned char *data, unsigned char *tagRecord,
                                                     unsigned char *tagRecordLength, unsigned char *errorCode,
                                                     int crcFlag);

/* @tags-read */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: writing and block writing                                                                       */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Writes wordCount words (low byte; 0 is sent as it stands) of data to the tag whose record is epc.
 * The frame always has a one-byte length: the caller keeps 9 + 2 x wordCount + the record size (+1 for a
 * two-byte wordPtr, +2 in CRC mode) at or below QUARN_MAX_ONE_BYTE_LENGTH, or uses UhfBlockWriteDataByEPC.
 *   data  2 x wordCount bytes, sent in the order given.
 * errorCode as for the reads. Result 1 when the reader reports success, else 0.
 */
QUARN_API int QUARN_CALL UhfWriteDataByEPC(PortHandle port, const unsigned char *accessPassword, int bank,
                                           const unsigned char *wordPtr, int wordCount, const unsigned char *epc,
                                           const unsigned char *data, unsigned char *errorCode, int crcFlag);

/*
 * Writes wordCount words of data to the single tag in the field. One-byte length as for
 * UhfWriteDataByEPC (at most 59 words with a one-byte wordPtr in plain mode).
 *   tagRecord        out: QUARN_TAG_RECORD_MAX_SIZE bytes; on success the reply data (the answering tag's
 *                    record), at most QUARN_TAG_RECORD_MAX_SIZE bytes of it.
 *   tagRecordLength  out, success only: the number of bytes placed in tagRecord (0 to
 *                    QUARN_TAG_RECORD_MAX_SIZE).
 * Result 1 with both written; 0 with both untouched.
 */
QUARN_API int QUARN_CALL UhfWriteDataToSingleTag(PortHandle port, const unsigned char *accessPassword, int bank,
                                                 const unsigned char *wordPtr, int wordCount,
                                                 const unsigned char *data, unsigned char *tagRecord,
                                                 unsigned char *tagRecordLength, unsigned char *errorCode,
                                                 int crcFlag);

/*
 * Block writes report how the write ended, on every path:
 *   writeStatus       out: QUARN_WRITE_STATUS_WRITTEN (in full), QUARN_WRITE_STATUS_FAILED_WITH_CODE,
 *                     QUARN_WRITE_STATUS_FAILED_WITHOUT_CODE, or QUARN_WRITE_STATUS_NO_REPLY (none in time,
 *                     a wrong echoed code, an unknown status, or a reply too short for its form).
 *   errorCode         out: the reader's error code with QUARN_WRITE_STATUS_FAILED_WITH_CODE, else
 *                     QUARN_NO_ERROR_CODE.
 *   writtenWordCount  out: the words the reader reports written before a failure (either FAILED status);
 *                     0 after success and with no usable reply.
 * Their frames switch to the two-byte length form when long, so any wordCount (low byte, 0 to
 * QUARN_MAX_WORD_COUNT) fits.
 */

/*
 * Block-writes wordCount words of data (2 x wordCount bytes) to the tag whose record is epc.
 *   newTagRecord  out: QUARN_TAG_RECORD_MAX_SIZE bytes, written on every path. It receives the copy of
 *                 epc; when the bank is QUARN_BANK_EPC (its low two bits), the words written (all on
 *                 success, writtenWordCount after either FAILED status) are laid over it where they fall
 *                 in the record: bank word j at record bytes 2(j - 1) and 2(j - 1) + 1, word 0 (the stored
 *                 CRC) left out, words past the end of the record buffer left out, and nothing laid over
 *                 for a two-byte wordPtr. newTagRecord may be epc itself.
 * Result 1 when written in full, else 0.
 */
QUARN_API int QUARN_CALL UhfBlockWriteDataByEPC(PortHandle port, const unsigned char *accessPassword, int bank,
                                                const unsigned char *wordPtr, int wordCount,
                                                const unsigned char *epc, const unsigned char *data,
                                                unsigned char *errorCode, unsigned char *writeStatus,
                                                unsigned char *writtenWordCount, unsigned char *newTagRecord,
                                                int crcFlag);

/*
 * Block-writes wordCount words of data to the single tag in the field. Note the order of writeStatus and
 * errorCode, unlike UhfBlockWriteDataByEPC.
 *   tagRecord        out: QUARN_TAG_RECORD_MAX_SIZE bytes. On success the reply data, as for
 *                    UhfWriteDataToSingleTag; after either FAILED status the answering tag's record
 *                    (QUARN_TAG_RECORD_SIZE of its byte 0); untouched with no usable reply.
 *   tagRecordLength  out, success only: the number of bytes placed in tagRecord.
 * Result 1 when written in full, else 0.
 */
QUARN_API int QUARN_CALL UhfBlockWriteDataToSingleTag(PortHandle port, const unsigned char *accessPassword, int bank,
                                                      const unsigned char *wordPtr, int wordCount,
                                                      const unsigned char *data, unsigned char *tagRecord,
                                                      unsigned char *tagRecordLength, unsigned char *writeStatus,
                                                      unsigned char *errorCode, unsigned char *writtenWordCount,
                                                      int crcFlag);

/*
 * Gives the tag whose record is epc a new EPC: block-writes, to the EPC bank from word 1, a new PC word
 * (epcWordCount in its EPC-length field, every other bit 0) followed by newEpc.
 *   epcWordCount  low byte: the new EPC's length in words, 0 to QUARN_MAX_EPC_WORDS.
 *   newEpc        2 x epcWordCount bytes.
 * The outputs are those of UhfBlockWriteDataByEPC; after success newTagRecord is the new PC word and newEpc.
 * Result 1 when written in full, else 0.
 */
QUARN_API int QUARN_CALL UhfBlockWriteEPCByEPC(PortHandle port, const unsigned char *accessPassword, int epcWordCount,
                                               const unsigned char *epc, const unsigned char *newEpc,
                                               unsigned char *errorCode, unsigned char *writeStatus,
                                               unsigned char *writtenWordCount, unsigned char *newTagRecord,
                                               int crcFlag);

/*
 * Gives the single tag in the field a new EPC, as UhfBlockWriteEPCByEPC does; the outputs are those of
 * UhfBlockWriteDataToSingleTag. Result 1 when written in full, else 0.
 */
QUARN_API int QUARN_CALL UhfBlockWriteEPCToSingleTag(PortHandle port, const unsigned char *accessPassword,
                                                     int epcWordCount, const unsigned char *newEpc,
                                                     unsigned char *tagRecord, unsigned char *tagRecordLength,
                                                     unsigned char *writeStatus, unsigned char *errorCode,
                                                     unsigned char *writtenWordCount, int crcFlag);

/* @tags-write */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: erase, lock, kill                                                                               */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Erase, lock and kill: errorCode as for the reads, written on every path; result 1 when the reader
 * reports success (status bit 7 clear), else 0. The single-tag forms copy the answering tag's record into
 * tagRecord (at least QUARN_TAG_RECORD_MAX_SIZE bytes) on success only and report no length: its size is
 * QUARN_TAG_RECORD_SIZE of its byte 0. A reply too short for that record fails with errorCode
 * QUARN_NO_ERROR_CODE and tagRecord untouched.
 */

/* Erases wordCount words (low byte, sent unchecked, 0 included) of the tag whose record is epc. */
QUARN_API int QUARN_CALL UhfEraseDataByEPC(PortHandle port, const unsigned char *accessPassword, int bank,
                                           const unsigned char *wordPtr, int wordCount, const unsigned char *epc,
                                           unsigned char *errorCode, int crcFlag);

/* Erases wordCount words of the single tag in the field. */
QUARN_API int QUARN_CALL UhfEraseDataFromSingleTag(PortHandle port, const unsigned char *accessPassword, int bank,
                                                   const unsigned char *wordPtr, int wordCount,
                                                   unsigned char *tagRecord, unsigned char *errorCode, int crcFlag);

/*
 * Locks memory areas and passwords of the tag whose record is epc.
 *   lockPayload  QUARN_LOCK_PAYLOAD_SIZE bytes, normally built by LockGenCode, sent unread.
 */
QUARN_API int QUARN_CALL UhfLockMemByEPC(PortHandle port, const unsigned char *accessPassword,
                                         const unsigned char *lockPayload, const unsigned char *epc,
                                         unsigned char *errorCode, int crcFlag);

/* Locks memory areas and passwords of the single tag in the field; lockPayload as for UhfLockMemByEPC. */
QUARN_API int QUARN_CALL UhfLockMemFromSingleTag(PortHandle port, const unsigned char *accessPassword,
                                                 const unsigned char *lockPayload, unsigned char *tagRecord,
                                                 unsigned char *errorCode, int crcFlag);

/*
 * Kills the tag whose record is epc.
 *   killPassword  QUARN_PASSWORD_SIZE bytes, sent in the order given.
 */
QUARN_API int QUARN_CALL UhfKillTagByEPC(PortHandle port, const unsigned char *killPassword, const unsigned char *epc,
                                         unsigned char *errorCode, int crcFlag);

/* Kills the single tag in the field; killPassword as for UhfKillTagByEPC. */
QUARN_API int QUARN_CALL UhfKillSingleTag(PortHandle port, const unsigned char *killPassword,
                                          unsigned char *tagRecord, unsigned char *errorCode, int crcFlag);

/*
 * Builds the lockPayload of UhfLockMemByEPC and UhfLockMemFromSingleTag from one choice per area: the
 * kill password, the access password, EPC memory, TID memory and User memory, in that order. Talks to no
 * reader and cannot fail. The caller removes the arguments (cdecl).
 * Each choice (low byte counts): QUARN_LOCK_LOCKED, QUARN_LOCK_UNLOCKED, QUARN_LOCK_PERMALOCKED or
 * QUARN_LOCK_PERMAUNLOCKED; any other value (QUARN_LOCK_KEEP) leaves that area's lock state as it is.
 *   lockPayload  out: QUARN_LOCK_PAYLOAD_SIZE bytes, all written.
 * Result: lockPayload.
 */
QUARN_API unsigned char *QUARN_CDECL LockGenCode(int killPasswordChoice, int accessPasswordChoice, int epcChoice,
                                                 int tidChoice, int userChoice, unsigned char *lockPayload);

/* @tags-lock */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: multi-tag read                                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Starts a multi-tag read: the reader reads the same memory area from every tag it meets and sends one
 * data frame per tag, which UhfGetDataFromMultiTag takes, until UhfStopOperation stops it. Any other
 * command sent meanwhile discards the data frames not yet read. 10000 ms limit, one attempt.
 *   accessPassword  in, QUARN_PASSWORD_SIZE bytes, sent in order.
 *   bank            memory bank, low byte sent.
 *   wordPtr         in: the word pointer in EBV form, 1 byte, or 2 when byte 0 has QUARN_WORD_PTR_EXTENDED.
 *   wordCount       low byte sent.
 *   readOptions     low byte sent; QUARN_READ_OPTIONS_LONG_FORM selects the long form of optionParams.
 *   optionParams    in: sent unchanged after readOptions. Short form: 2 bytes.
 *                   Long form: 5 bytes, or 6 when byte 1 has bit 7 set (a field, a two-byte EBV word
 *                   pointer from byte 1, three fields).
 * Result 1 when the reader acknowledges with status 0x01 exactly (any other status, 0x00 included, is 0).
 */
QUARN_API int QUARN_CALL UhfStartReadDataFromMultiTag(PortHandle port, const unsigned char *accessPassword, int bank,
                                                      const unsigned char *wordPtr, int wordCount, int readOptions,
                                                      const unsigned char *optionParams, int crcFlag);

/*
 * Takes the next data frame of a started multi-tag read from the port (sends nothing, consumes exactly
 * one frame; 10000 ms limit). Frames in CRC form are told by their code and their CRC is checked.
 * A data frame has status QUARN_DATA_FRAME_ONE_BLOCK or QUARN_DATA_FRAME_TWO_BLOCKS; each block is its
 * length (2 bytes, high byte first) and that many bytes, and the tag's record follows the last block.
 *   frameStatus       out, 1 byte: the data frame's status, one of the two above.
 *   dataLength        out, 2 bytes: the first block's length, high byte first.
 *   data              out: the first block. Must hold the largest block the configured read can produce
 *                     (2 x wordCount bytes for a read of wordCount words); QUARN_MAX_DATA_BLOCK bytes
 *                     always suffice. Nothing is copied for a length of 0.
 *   secondDataLength  out, 2 bytes: the second block's length; written for two blocks only.
 *   secondData        out: the second block, sized as data; written for two blocks only.
 *   tagRecord         out, QUARN_TAG_RECORD_MAX_SIZE bytes: the tag's record (PC word and EPC).
 *   tagRecordLength   out, 1 byte: the record's size, 2 to QUARN_TAG_RECORD_MAX_SIZE.
 * Result 1 with the outputs above written, for a data frame whose blocks and record lie whole inside it.
 * Result 1 with nothing written (frameStatus included) for a frame of this read whose status is neither
 *   of the two: preset frameStatus to another value to tell the two cases apart.
 * Result 0 with nothing written when no frame arrives in time, its code is not 0x26/0xA6, or its blocks
 *   or record run past the end of the frame.
 */
QUARN_API int QUARN_CALL UhfGetDataFromMultiTag(PortHandle port, unsigned char *frameStatus, unsigned char *dataLength,
                                                unsigned char *data, unsigned char *secondDataLength,
                                                unsigned char *secondData, unsigned char *tagRecord,
                                                unsigned char *tagRecordLength);

/* @tags-multitag */

/* ---------------------------------------------------------------------------------------------------- */
/* Tags: select filters                                                                                  */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * One select filter of the reader's table: the fields of a Gen2 Select, in wire order, all bytes, no
 * padding (41 bytes). On the wire the record takes only the bytes it uses: pointer[1] only when
 * pointer[0] has bit 7 set, and ceil(maskBitLength / 8) mask bytes, 8 to 41 bytes in all.
 */
typedef struct FilterRecord {
  unsigned char filterIndex;   /* the filter's index in the reader's table */
  unsigned char recordLength;  /* wire bytes from filterIndex through truncate; sent as set, never checked */
  unsigned char target;
  unsigned char action;
  unsigned char memBank;       /* the bank the mask is compared against */
  unsigned char pointer[2];    /* bit pointer in EBV form */
  unsigned char maskBitLength; /* 0 to 255 */
  unsigned char mask[QUARN_FILTER_MASK_SIZE]; /* the first ceil(maskBitLength / 8) bytes are used */
  unsigned char truncate;
} FilterRecord;

/*
 * In this section errorCode (out, 1 byte) carries the reply's status byte itself: 0x00 on success (0x01
 * for UhfStartGetFilterByIndex), the refusing status byte otherwise, QUARN_NO_ERROR_CODE when no usable
 * reply came (send failure, nothing in 800 ms, a frame error, a reply without a status byte). It is
 * always written.
 * Each command is one attempt with an 800 ms limit.
 */

/*
 * Sends a filter record to the reader.
 *   filter     in: the record, laid out on the wire as FilterRecord describes.
 *   errorCode  out: as above; a reply echoing another code counts as no usable reply.
 * Result 1 on reply status 0x00.
 */
QUARN_API int QUARN_CALL UhfAddFilter(PortHandle port, const FilterRecord *filter, unsigned char *errorCode,
                                      int crcFlag);

/*
 * Deletes the filter whose index is the low byte of filterIndex.
 *   errorCode  out: as above; a reply echoing another code still reports its status byte.
 * Result 1 on reply status 0x00 with the code sent echoed.
 */
QUARN_API int QUARN_CALL UhfDeleteFilterByIndex(PortHandle port, int filterIndex, unsigned char *errorCode,
                                                int crcFlag);

/*
 * Asks the reader to report its stored filters; the reports then arrive as frames of their own, one
 * UhfReadFilterByIndex call each. This reply is only the acknowledgement and carries no record.
 *   filterIndex, filterOption  low bytes sent, uninterpreted.
 *   errorCode  out: as above (0x01 on success); a reply echoing another code still reports its status.
 * Result 1 on reply status 0x01 with the code sent echoed.
 */
QUARN_API int QUARN_CALL UhfStartGetFilterByIndex(PortHandle port, int filterIndex, int filterOption,
                                                  unsigned char *errorCode, int crcFlag);

/*
 * Takes the next filter report from the port (sends nothing, consumes exactly one frame; 800 ms limit).
 *   frameStatus  out, 1 byte, always written: QUARN_NO_ERROR_CODE when no frame came or its code is not
 *                0x3A/0xBA;
 *                otherwise the frame's status byte.
 *   filter       out: on result 1 the reported record. pointer[1] is written only when pointer[0] has
 *                QUARN_WORD_PTR_EXTENDED set, and only the ceil(maskBitLength / 8) used mask bytes; the rest
 *                keeps its contents. truncate is the report byte that recordLength marks as the record's last.
 *                Untouched on result 0.
 * Result 1 for a report with status 0x00 or 0x01 and a length byte above 8 whose fields lie inside the
 * frame. Result 0 for any other status, a length byte of 8 or less, or a report whose pointer, mask or
 * recordLength point past the frame (or a recordLength of 0).
 */
QUARN_API int QUARN_CALL UhfReadFilterByIndex(PortHandle port, unsigned char *frameStatus, FilterRecord *filter);

/*
 * Selects the filter whose index is the low byte of filterIndex.
 *   filterOption  low byte sent, uninterpreted.
 *   errorCode  out: as above; a reply echoing another code still reports its status byte.
 * Result 1 on reply status 0x00 with the code sent echoed.
 */
QUARN_API int QUARN_CALL UhfSelectFilterByIndex(PortHandle port, int filterIndex, int filterOption,
                                                unsigned char *errorCode, int crcFlag);

/* @tags-filters */

/* ---------------------------------------------------------------------------------------------------- */
/* Antennas                                                                                              */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Asks the reader for its antenna check result. One attempt, 800 ms limit; success is reply status 0.
 *   antennaState  out, 1 byte: reply data byte 0, unchanged, on result 1; untouched on result 0.
 */
QUARN_API int QUARN_CALL UhfCheckANT(PortHandle port, unsigned char *antennaState, int crcFlag);

/*
 * Tells the reader which antenna to use: the low byte of antenna is sent as it is. One attempt, 800 ms
 * limit; result 1 on reply status 0.
 */
QUARN_API int QUARN_CALL UhfChooseANT(PortHandle port, int antenna, int crcFlag);

/*
 * Multi-antenna operation: the requests of UhfStartInventory and UhfStartReadDataFromMultiTag, answered
 * in antenna reply frames, whose marker byte 0xFE and antenna number stand before the code. The reader's
 * multi-antenna setting is written with UhfSetMultiANT. The reader streams until UhfStopOperation; any
 * other command sent meanwhile discards the frames not yet read. Antenna replies must be complete within
 * their limit, not only begun.
 *   antenna  out, 1 byte: the frame's antenna number, passed on unchanged.
 */

/*
 * Starts an inventory: code 0x10, or 0x11 with the parameter byte param when the low byte of hasParam is
 * nonzero. 800 ms limit, one attempt.
 * Result 1 when the acknowledgement has the marker, the code 0x10 or 0x11 (either, whichever was sent;
 * bits 7 and 5 ignored) and status bit 0 set (bit 7 not looked at).
 */
QUARN_API int QUARN_CALL UhfStartInventoryForMultiAnt(PortHandle port, int hasParam, int param, int crcFlag);

/*
 * Takes the next tag report of a started inventory (sends nothing, consumes exactly one frame; 800 ms).
 *   antenna          out: see above.
 *   tagRecordLength  out, 1 byte: the record's size, 2 to QUARN_TAG_RECORD_MAX_SIZE.
 *   tagRecord        out, QUARN_TAG_RECORD_MAX_SIZE bytes: the tag's record (PC word and EPC).
 * Result 1 with all three written for a report with the marker, code 0x10 or 0x11 (bits 7 and 5 ignored),
 * status bits 7 and 0 clear and the whole record inside the frame; result 0 with nothing written otherwise.
 */
QUARN_API int QUARN_CALL UhfReadInventoryFromMultiAnt(PortHandle port, unsigned char *antenna,
                                                      unsigned char *tagRecordLength, unsigned char *tagRecord);

/*
 * Starts a multi-tag read: arguments and request as UhfStartReadDataFromMultiTag, byte for byte.
 * 800 ms limit (not 10000), one attempt.
 * Result 1 when the acknowledgement has the marker, echoes the code sent and has status 0x01 exactly.
 */
QUARN_API int QUARN_CALL UhfStartReadDataForMultiAnt(PortHandle port, const unsigned char *accessPassword, int bank,
                                                     const unsigned char *wordPtr, int wordCount, int readOptions,
                                                     const unsigned char *optionParams, int crcFlag);

/*
 * Takes the next data frame of a started multi-antenna read (sends nothing, consumes exactly one frame;
 * 10000 ms). The marker byte is not looked at; the code must be 0x26 or 0xA6.
 *   antenna  out: see above; written together with the other outputs.
 *   frameStatus, dataLength, data, secondDataLength, secondData, tagRecord, tagRecordLength: as for
 *   UhfGetDataFromMultiTag, with the same buffer sizes (data and secondData: the largest block the
 *   configured read can produce, never more than QUARN_MAX_DATA_BLOCK bytes; tagRecord
 *   QUARN_TAG_RECORD_MAX_SIZE bytes).
 * Results as UhfGetDataFromMultiTag: 1 with everything written for a whole data frame; 1 with nothing
 * written, antenna included, for a status other than its two; 0 with nothing written otherwise.
 */
QUARN_API int QUARN_CALL UhfGetDataFromMultiAnt(PortHandle port, unsigned char *antenna, unsigned char *frameStatus,
                                                unsigned char *dataLength, unsigned char *data,
                                                unsigned char *secondDataLength, unsigned char *secondData,
                                                unsigned char *tagRecord, unsigned char *tagRecordLength);

/* @antenna */

/* ---------------------------------------------------------------------------------------------------- */
/* Firmware update                                                                                       */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Opens the serial port named portName as UhfOpenPort does and asks the reader to start a firmware update.
 * The caller then sends UhfUpdateSendRN32, UhfUpdateSendSize, UhfUpdateSendData (as often as the image
 * needs) and UhfUpdateCommit, and closes the port with UhfClosePort. The library keeps no update state and
 * does not enforce that order; it relates none of the values to one another.
 *   portHandleOut  out: the caller's PortHandle variable; written on every path (QUARN_INVALID_PORT when
 *                  the baud selection is refused or the port does not open).
 *   portName       the port name, as for UhfOpenPort.
 *   status         out, 1 byte: 0 on success; the reply's status byte when the reader refuses or the reply
 *                  echoes another code; unchanged when the port does not open, the baud selection is
 *                  refused, nothing valid arrives in time, or a successful reply lacks its 4 data bytes.
 *   initValue      out, 32-bit integer: on success only, the reply's 4 data bytes in the order they arrived
 *                  (data byte 0 at the lowest address, so the least significant byte on little-endian
 *                  hosts).
 *   portOptions    the baud selection as for UhfOpenPort; QUARN_CRC_MODE added selects CRC mode for the
 *                  start command.
 * Result 1: status 0 and initValue written. Result 0 otherwise. A refused baud selection is found before
 * anything is opened: nothing is sent and nothing needs closing. Once the port has opened
 * it stays open whatever the reader answers; close it with UhfClosePort.
 */
QUARN_API int QUARN_CALL UhfUpdateInit(PortHandle *portHandleOut, const char *portName, unsigned char *status,
                                       int *initValue, int portOptions);

/*
 * Sends the 4 bytes rn32[0..3] unchanged, in memory order (code 0x54).
 *   status  out, 1 byte: 0 on success; the reply's status byte when the reader refuses (any nonzero value)
 *           or the reply echoes another code; unchanged when nothing valid arrives in time.
 * Result 1 when the reply echoes the code and its status is 0; otherwise 0.
 */
QUARN_API int QUARN_CALL UhfUpdateSendRN32(PortHandle port, const unsigned char *rn32, unsigned char *status,
                                           int crcFlag);

/*
 * Sends the 4 size bytes size[0..3] unchanged, in memory order (code 0x56). Note that status comes before
 * size. status and the result as for UhfUpdateSendRN32. Waits up to 8 s for the reply.
 */
QUARN_API int QUARN_CALL UhfUpdateSendSize(PortHandle port, unsigned char *status, const unsigned char *size,
                                           int crcFlag);

/*
 * Sends one block of image data (code 0x57): the low bytes of prefix1 and prefix2, then blockLength bytes
 * of block. The frame takes the two-byte length form when it is long. Waits up to 8 s for the reply.
 *   blockLength  0 to QUARN_MAX_UPDATE_BLOCK in plain mode, 0 to QUARN_MAX_UPDATE_BLOCK_CRC in CRC mode.
 *                Any other value, negative included, returns 0 before anything is sent, with status
 *                unchanged.
 *   block        blockLength bytes; not read when blockLength is 0.
 * status and the result as for UhfUpdateSendRN32.
 */
QUARN_API int QUARN_CALL UhfUpdateSendData(PortHandle port, unsigned char *status, int prefix1, int prefix2,
                                           int blockLength, const unsigned char *block, int crcFlag);

/* Ends the update (code 0x58). status and the result as for UhfUpdateSendRN32. */
QUARN_API int QUARN_CALL UhfUpdateCommit(PortHandle port, unsigned char *status, int crcFlag);

/* @update */

/* ---------------------------------------------------------------------------------------------------- */
/* Secure access module, SR data                                                                         */
/* ---------------------------------------------------------------------------------------------------- */

/*
 * Passes one short-form command APDU to the reader's secure access module and returns the SAM's response.
 *   apdu            the APDU: CLA INS P1 P2, then Le (case 2) or Lc, Lc data bytes and an optional Le
 *                   (cases 3 and 4). Sent unchanged.
 *   apduLength      its length; only the low byte counts. The case follows from it and apdu[4] (n):
 *                   4 case 1; 5 case 2 (Le = apdu[4]); n + 5 case 3; n + 6 case 4 (Le = the last byte).
 *                   Any other length, and any APDU longer than QUARN_MAX_APDU bytes (QUARN_MAX_APDU_CRC in
 *                   CRC mode), returns 0 with nothing sent or written. An Le of 0 asks for no response
 *                   data.
 *   response        out, Le bytes (at most QUARN_MAX_SAM_RESPONSE): the SAM's response data.
 *   responseLength  out, int: Le, written in cases 2 and 4 before anything is sent, so also when the call
 *                   then fails; never written in cases 1 and 3.
 *   sw1, sw2        out, 1 byte each: the SAM's status word, which follows the Le response bytes.
 *   status          out, 1 byte: the reply's status byte as soon as a reply frame has arrived (also when it
 *                   echoes another code), then 0 on success. Unchanged when nothing valid arrives in time.
 * A reply status with bit 7 clear is success: response, sw1 and sw2 are written, status 0, result 1.
 * Status QUARN_SAM_STATUS_REFUSED: response, sw1 and sw2 are still written, status stays so, result 0.
 * Any other status with bit 7 set: only status is written, result 0. A reply too short to hold the Le
 * response bytes and the status word writes nothing but status and returns 0. A response long enough to
 * need the two-byte length form is read at that form's positions.
 */
QUARN_API int QUARN_CALL UhfSetSAM(PortHandle port, const unsigned char *apdu, int apduLength,
                                   unsigned char *response, int *responseLength, unsigned char *sw1,
                                   unsigned char *sw2, unsigned char *status, int crcFlag);

/*
 * Passes one command APDU to the SAM whose information goes into the reader's SR A (code 0x44). apdu and
 * apduLength as for UhfSetSAM, under the same refusals. Only the SAM's status word comes back:
 *   sw1, sw2  out, 1 byte each: reply data bytes 0 and 1, whatever Le the APDU asks for.
 *   status    out, 1 byte: as for UhfSetSAM.
 * The reply rule of UhfSetSAM applies: bit 7 clear is success (result 1), QUARN_SAM_STATUS_REFUSED writes
 * sw1 and sw2 and returns 0, any other status with bit 7 set writes only status.
 */
QUARN_API int QUARN_CALL UhfGetInfoSAMtoSRA(PortHandle port, const unsigned char *apdu, int apduLength,
                                            unsigned char *sw1, unsigned char *sw2, unsigned char *status,
                                            int crcFlag);

/* The same as UhfGetInfoSAMtoSRA for the reader's SR B (code 0x45). */
QUARN_API int QUARN_CALL UhfGetInfoSAMtoSRB(PortHandle port, const unsigned char *apdu, int apduLength,
                                            unsigned char *sw1, unsigned char *sw2, unsigned char *status,
                                            int crcFlag);

/*
 * Reads the reader's SR information, QUARN_SR_DATA_SIZE bytes.
 *   srSelect  its low byte is sent unchanged.
 *   srData    out, QUARN_SR_DATA_SIZE bytes: written on success only, from a reply that carries them all.
 *   status    out, 1 byte: 0 on success; the reply's status byte when it is not 0 or the reply echoes
 *             another code; unchanged when nothing valid arrives in time or the reply holds fewer data
 *             bytes.
 * Result 1 when the reply echoes the code, its status is 0 and it carries all the SR bytes; otherwise 0.
 */
QUARN_API int QUARN_CALL UhfGetSR(PortHandle port, int srSelect, unsigned char *srData, unsigned char *status,
                                  int crcFlag);

/*
 * Switches the power of the reader's PSAM.
 *   psamSelect    low byte 1 or 2; powerState: low byte QUARN_PSAM_POWER_OFF or QUARN_PSAM_POWER_ON. Any
 *                 other value returns 0 with nothing sent.
 *   answer        out, QUARN_PSAM_ANSWER_SIZE bytes: the data the reader reports with its answer (reply
 *                 status 0x01).
 *   answerLength  out, 1 byte: the number of bytes placed in answer, written with it.
 * Reply status 0x00: success, nothing written, result 1. Status 0x01: success with data; answer and
 * answerLength are written and the result is 1, except that a reply carrying more data bytes than answer
 * holds returns 0 with nothing written. Any other status, a reply that echoes another code, or nothing valid
 * in time: result 0, nothing written. The reply is read in whichever length form it arrives.
 */
QUARN_API int QUARN_CALL UhfSetPsamPowerOnOrOff(PortHandle port, int psamSelect, int powerState,
                                                unsigned char *answer, unsigned char *answerLength, int crcFlag);

/*
 * Tells the reader to write its SR data into the tag whose record is epc (code 0x70).
 *   accessPassword  QUARN_PASSWORD_SIZE bytes, sent as given.
 *   bank            memory bank code, low byte sent unchanged.
 *   wordPtr         1 or 2 bytes: the EBV word pointer; byte 1 is sent only when byte 0 has
 *                   QUARN_WORD_PTR_EXTENDED set.
 *   srParam1..4     low bytes sent unchanged, in this order (in the frame all four come before the record).
 *   epc             the tag's record: PC word then EPC, QUARN_TAG_RECORD_SIZE(epc[0]) bytes.
 *   errorCode       out, 1 byte: the reader's error code after an error reply that carries one, else
 *                   QUARN_NO_ERROR_CODE.
 *   writeStatus     out, 1 byte: QUARN_WRITE_STATUS_WRITTEN; QUARN_WRITE_STATUS_FAILED_WITH_CODE (any
 *                   reply status with bits 7 and 0 set); QUARN_WRITE_STATUS_FAILED_WITHOUT_CODE;
 *                   QUARN_WRITE_STATUS_NO_REPLY (nothing in time, a wrong echoed code, another status, or
 *                   a reply too short for its form).
 *   writtenWordCount out, 1 byte: words the reader reports as written before a failure; 0 after success
 *                   and with no usable reply.
 * errorCode, writeStatus and writtenWordCount are written on every path. Result 1 only for
 * QUARN_WRITE_STATUS_WRITTEN.
 */
QUARN_API int QUARN_CALL UhfWriteSRtoTagByEPC(PortHandle port, const unsigned char *accessPassword, int bank,
                                              const unsigned char *wordPtr, int srParam1,
                                              const unsigned char *epc, int srParam2, int srParam3,
                                              int srParam4, unsigned char *errorCode,
                                              unsigned char *writeStatus, unsigned char *writtenWordCount,
                                              int crcFlag);

/*
 * Tells the reader to write its SR data into the single tag in the field (code 0x71). accessPassword,
 * bank, wordPtr, srParam1..4, errorCode, writeStatus and writtenWordCount as for UhfWriteSRtoTagByEPC,
 * except that QUARN_WRITE_STATUS_FAILED_WITH_CODE comes from reply status 0x81 alone (0x83 and the like
 * are no usable reply).
 *   tagRecord        out, QUARN_SR_TAG_RECORD_SIZE bytes: after success the reply's data (the count its
 *                    length byte gives); after either FAILED status the answering tag's record, whose
 *                    size the caller takes as QUARN_TAG_RECORD_SIZE(tagRecord[0]). Unchanged otherwise.
 *   tagRecordLength  out, 1 byte: the number of bytes placed in tagRecord, written on success only.
 * A success reply whose length byte announces more data than arrived (or is below 3, or 5 in CRC mode)
 * counts as no usable reply. Result 1 only for QUARN_WRITE_STATUS_WRITTEN.
 */
QUARN_API int QUARN_CALL UhfWriteSRtoTagSingle(PortHandle port, const unsigned char *accessPassword, int bank,
                                               const unsigned char *wordPtr, int srParam1, int srParam2,
                                               int srParam3, int srParam4, unsigned char *tagRecord,
                                               unsigned char *tagRecordLength, unsigned char *errorCode,
                                               unsigned char *writeStatus, unsigned char *writtenWordCount,
                                               int crcFlag);

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
